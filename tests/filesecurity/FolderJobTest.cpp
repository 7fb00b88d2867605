#include "ArchiveTestSupport.h"
#include "EncryptionJobs.h"
#include "FakeDesktop.h"
#include "FakeFileSecurity.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "LibArchiveReader.h"
#include "LibArchiveWriter.h"
#include "PosixFileSystem.h"
#include "PosixTempPath.h"
#include "PosixTemporaryFiles.h"
#include "RecordingView.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "UnnamedFile.h"
#include "veilor64/VeilorControlFactory.h"

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <optional>
#include <random>

#include <filesystem>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::filesecurity;
using filesecurity::EncryptionJobs;

namespace fs = std::filesystem;

namespace {

// The folder jobs on the real file system, the real archive components and the
// cipher's file format (the fake control writes it), inside a private TMPDIR.
class FolderJobTest : public ::testing::Test {
protected:
    FolderJobTest() {
        factory.onCreate = [this](filesecurity::fake::FakeCipherControl& control) {
            control.onCall = [this](const filesecurity::fake::FakeCipherControl::Call& call) {
                // The archive is the source of an encryption, the destination of a decryption.
                const std::string& archive =
                    call.method == "Encrypt" ? call.source : call.destination;
                struct stat info {};
                archiveModeDuringCipher = ::stat(archive.c_str(), &info) == 0 &&
                                                  info.st_nlink == 0 && !test::Exists(TempArchive())
                                              ? static_cast<int>(info.st_mode & 07777)
                                              : -1;
                if (onCipher) {
                    onCipher(call);
                }
            };
        };
    }

    std::string TempArchive() const { return env.Path("tmp/CRY9999.TMP"); }

    void EncryptFolder(const std::string& source, const std::string& destination) {
        view.source = source;
        view.destination = destination;
        jobs.EncryptFolderJob();
    }
    void DecryptFolder(const std::string& source, const std::string& destination) {
        view.source = source;
        view.destination = destination;
        jobs.DecryptFolderJob();
    }

    test::TempEnvironment env;
    test::RecordingView view;
    filesecurity::fake::FakeControlFactory factory;
    filesecurity::fake::FakeControlRegistration registration{factory};
    filesecurity::CipherControlSource crpControl{factory, registration};
    os::fake::FakeEventPump pump;
    filesecurity::libarchive::LibArchiveWriter zip{pump};
    filesecurity::libarchive::LibArchiveReader unzip{pump};
    os::posix::PosixFileSystem files;
    os::posix::PosixTemporaryFiles temporaryFiles;
    os::posix::PosixTempPath tempPath;
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    desktop::fake::FakeMessageBox messageBox;
    EncryptionJobs jobs{
        view, {crpControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    // The archive's mode while the cipher works on it, when it has no name; else -1.
    int archiveModeDuringCipher = -2;
    std::function<void(const filesecurity::fake::FakeCipherControl::Call&)> onCipher;
};

TEST_F(FolderJobTest, AFolderRoundTripsThroughAnEncryptedFileAndNoArchiveSurvives) {
    test::MakeSampleTree(env.Path("home/docs"));
    test::WriteFile(env.Path("home/docs.kdf"), "an older encrypted file");
    view.password = "k3y";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    EXPECT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(archiveModeDuringCipher, 0600);
    EXPECT_FALSE(test::Exists(TempArchive()));
    const std::string encrypted = test::ReadFile(env.Path("home/docs.kdf"));
    ASSERT_GT(encrypted.size(), 8U);
    EXPECT_EQ(encrypted.substr(0, 8), filesecurity::fake::FakeCipherControl::Header("k3y-----"));
    EXPECT_NE(encrypted.find("PK"), 8U) << "the archive is stored encrypted";
    EXPECT_EQ(view.outcome, "Encrypted the folder " + env.Path("home/docs") + " into " +
                                env.Path("home/docs.kdf") + ".");

    view.encryptEnabled = false;
    DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/restored"));
    EXPECT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(archiveModeDuringCipher, 0600);
    EXPECT_FALSE(test::Exists(TempArchive()));
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));
    EXPECT_EQ(view.outcome, "Decrypted " + env.Path("home/docs.kdf") + " into the folder " +
                                env.Path("home/restored") + ".");
}

TEST_F(FolderJobTest, AWrongPassphraseExtractsNothingAndLeavesNoArchive) {
    test::MakeSampleTree(env.Path("home/docs"));
    view.password = "right";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    ASSERT_TRUE(messageBox.shown.empty());

    view.password = "wrong";
    DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/restored"));
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Incorrect Password.");
    EXPECT_EQ(view.outcome, "") << "a failed job said it succeeded";
    EXPECT_FALSE(test::Exists(env.Path("home/restored")));
    EXPECT_FALSE(test::Exists(TempArchive()));
}

TEST_F(FolderJobTest, ALinkPlantedAtTheArchivePathIsNeverFollowed) {
    test::MakeSampleTree(env.Path("home/docs"));
    test::WriteFile(env.Path("victim.txt"), "precious");
    for (const bool encrypt : {true, false}) {
        fs::create_symlink(env.Path("victim.txt"), TempArchive());
        if (encrypt) {
            EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
        } else {
            DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/restored"));
        }
        EXPECT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
        EXPECT_EQ(test::ReadFile(env.Path("victim.txt")), "precious");
        EXPECT_FALSE(test::Exists(TempArchive()));
    }
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));
}

TEST_F(FolderJobTest, AFailingCipherStillRemovesTheArchive) {
    test::MakeSampleTree(env.Path("home/docs"));
    view.password = "much too long";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Password must be less than 8 characters");
    EXPECT_FALSE(test::Exists(TempArchive()));
    EXPECT_FALSE(test::Exists(env.Path("home/docs.kdf")));
    EXPECT_EQ(view.encryptCaption, "Encrypt");
}

TEST_F(FolderJobTest, AFolderAtTheArchivesNameIsLeftAloneAndOnlyInTheWayWithoutUnnamedFiles) {
    test::MakeSampleTree(env.Path("home/docs"));
    test::MakeDirs(TempArchive());
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    EXPECT_TRUE(messageBox.shown.empty()) << "an unnamed archive needs no name";
    EXPECT_TRUE(test::Exists(env.Path("home/docs.kdf")));

    struct Disabled {
        Disabled() { os::posix::UnnamedFile::UnnamedFilesDisabled() = true; }
        ~Disabled() { os::posix::UnnamedFile::UnnamedFilesDisabled() = false; }
    } disabled;
    EncryptFolder(env.Path("home/docs"), env.Path("home/other.kdf"));
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_NE(messageBox.shown[0].text.find(TempArchive()), std::string::npos)
        << messageBox.shown[0].text;
    EXPECT_TRUE(fs::is_directory(TempArchive())) << "a folder is never removed";
    EXPECT_FALSE(test::Exists(env.Path("home/other.kdf")));

    // Without unnamed files the archive is CRY9999.TMP itself, 0600, gone afterwards.
    fs::remove(TempArchive());
    messageBox.shown.clear();
    factory.onCreate = [this](filesecurity::fake::FakeCipherControl& control) {
        control.onCall = [this](const filesecurity::fake::FakeCipherControl::Call& call) {
            EXPECT_EQ(call.source, TempArchive());
            struct stat info {};
            EXPECT_EQ(::lstat(TempArchive().c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600U);
        };
    };
    factory.created.clear();
    filesecurity::CipherControlSource freshControl{factory, registration};
    EncryptionJobs fallbackJobs{
        view, {freshControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    view.source = env.Path("home/docs");
    view.destination = env.Path("home/other.kdf");
    fallbackJobs.EncryptFolderJob();
    EXPECT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_FALSE(test::Exists(TempArchive()));
    EXPECT_TRUE(test::Exists(env.Path("home/other.kdf")));
}

// Every way a job can fail after its fields passed leaves an existing
// destination exactly as it was.
TEST_F(FolderJobTest, TheOldDestinationIsIntactAfterEveryFailingCheck) {
    test::MakeSampleTree(env.Path("home/docs"));
    test::WriteFile(env.Path("home/a.txt"), "plain");
    const struct {
        const char* name;
        void (EncryptionJobs::*job)();
        std::string source;
        std::string password;
        std::optional<RuntimeError> cipherFails;
    } rows[] = {
        {"NineCharacterPassphrase", &EncryptionJobs::EncryptFolderJob, env.Path("home/docs"),
         "123456789", std::nullopt},
        {"MissingSourceFolder", &EncryptionJobs::EncryptFolderJob, env.Path("home/none"), "k",
         std::nullopt},
        {"FullDisk", &EncryptionJobs::EncryptFolderJob, env.Path("home/docs"), "k",
         RuntimeError(61, "Disk full")},
        {"SourceFileIsAFolder", &EncryptionJobs::EncryptFileJob, env.Path("home/docs"), "k",
         RuntimeError(64201, "File Not Found")},
        {"UnreadableFile", &EncryptionJobs::EncryptFileJob, env.Path("home/a.txt"), "k",
         RuntimeError(70, "Permission denied")},
    };
    for (const auto& row : rows) {
        test::WriteFile(env.Path("home/backup.kdf"), "the old backup");
        messageBox.shown.clear();
        factory.onCreate = [&](filesecurity::fake::FakeCipherControl& control) {
            control.failWith = row.cipherFails;
        };
        factory.created.clear();
        filesecurity::CipherControlSource control{factory, registration};
        EncryptionJobs rowJobs{
            view, {control, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
        view.password = row.password;
        view.source = row.source;
        view.destination = env.Path("home/backup.kdf");
        (rowJobs.*row.job)();
        EXPECT_EQ(messageBox.shown.size(), 1U) << row.name;
        EXPECT_EQ(test::ReadFile(env.Path("home/backup.kdf")), "the old backup") << row.name;
        EXPECT_FALSE(test::Exists(TempArchive())) << row.name;
    }
}

// The source named differently as the destination is the same file: a job never
// deletes it, whatever the spelling.
TEST_F(FolderJobTest, TheSameFileUnderAnotherSpellingOrALinkIsNeverLost) {
    test::MakeDirs(env.Path("home/dir"));
    const std::string plain = "the only copy";
    fs::create_symlink(env.Path("home/dir/a.txt"), env.Path("home/link.txt"));
    for (const std::string& destination :
         {env.Path("home/dir//a.txt"), env.Path("home/dir/./a.txt"),
          env.Path("home/dir/../dir/a.txt"), env.Path("home/link.txt")}) {
        test::WriteFile(env.Path("home/dir/a.txt"), plain);
        messageBox.shown.clear();
        view.password = "k";
        view.source = env.Path("home/dir/a.txt");
        view.destination = destination;
        jobs.EncryptFileJob();
        EXPECT_TRUE(messageBox.shown.empty()) << destination << ": " << messageBox.shown[0].text;
        // Encrypted in place: the content is there, under the cipher.
        const std::string now = test::ReadFile(env.Path("home/dir/a.txt"));
        EXPECT_EQ(now.size(), plain.size() + 8) << destination;
    }
}

TEST_F(FolderJobTest, AnOlderDestinationInsideTheFolderIsNotPackedUnderAnySpelling) {
    test::MakeSampleTree(env.Path("home/docs"));
    const test::Tree tree = test::Snapshot(env.Path("home/docs"));
    test::WriteFile(env.Path("home/docs/docs.kdf"), "the old backup");
    view.password = "k";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs/./docs.kdf"));
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    view.encryptEnabled = false;
    DecryptFolder(env.Path("home/docs/docs.kdf"), env.Path("home/restored"));
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), tree);
}

TEST_F(FolderJobTest, ExtractionOverExistingFilesAsksAndKeepsThemUnlessTold) {
    test::MakeDirs(env.Path("home/docs/sub"));
    test::WriteFile(env.Path("home/docs/.bashrc"), "from the archive");
    test::WriteFile(env.Path("home/docs/sub/a.txt"), "from the archive");
    test::WriteFile(env.Path("home/docs/new.txt"), "new");
    view.password = "k";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    ASSERT_TRUE(messageBox.shown.empty());

    for (const bool replace : {false, true}) {
        test::RemoveTree(env.Path("home/target"));
        test::MakeDirs(env.Path("home/target/sub"));
        test::WriteFile(env.Path("home/target/.bashrc"), "mine");
        test::WriteFile(env.Path("home/target/sub/a.txt"), "mine");
        messageBox.asked.clear();
        messageBox.answer = replace;
        DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/target"));
        ASSERT_EQ(messageBox.asked.size(), 1U);
        EXPECT_EQ(messageBox.asked[0].text.rfind(
                      "2 entries of this archive already exist in " + env.Path("home/target"), 0),
                  0U)
            << messageBox.asked[0].text;
        const std::string expected = replace ? "from the archive" : "mine";
        EXPECT_EQ(test::ReadFile(env.Path("home/target/.bashrc")), expected);
        EXPECT_EQ(test::ReadFile(env.Path("home/target/sub/a.txt")), expected);
        EXPECT_EQ(test::ReadFile(env.Path("home/target/new.txt")), "new");
        EXPECT_TRUE(messageBox.shown.empty()) << "kept entries are no surprise to report";
    }
}

// A folder job killed with SIGKILL while it packs, or while the cipher works on
// the finished archive, leaves no plain text in the temporary folder or beside
// the destination: the marker is a file name, which the archive stores as it is.
TEST_F(FolderJobTest, AKilledFolderEncryptionLeavesNoPlainTextAnywhere) {
    const std::string marker = "PLAINTEXT-MARKER-b3e71d.txt";
    // Nearly all of the tree is the marked file, so that a third of the packing is
    // well inside it.
    std::mt19937 generator(7);
    std::string noise(6 << 20, '\0');
    for (auto& c : noise) {
        c = static_cast<char>(generator());
    }
    test::MakeDirs(env.Path("home/docs"));
    test::MakeDirs(env.Path("out"));
    test::WriteFile(env.Path("home/docs/" + marker), noise);
    test::WriteFile(env.Path("home/docs/small.txt"), "small");
    for (const bool duringCipher : {false, true}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto stop = [&] {
                static_cast<void>(::write(ready[1], "x", 1));
                while (true) {
                    ::pause();
                }
            };
            if (duringCipher) {
                onCipher = [&](const filesecurity::fake::FakeCipherControl::Call&) { stop(); };
            } else {
                pump.onDoEvents = [&] {
                    jobs.tmrProgress_Timer();
                    if (view.progress >= 30) {
                        stop();
                    }
                };
            }
            view.password = "k";
            EncryptFolder(env.Path("home/docs"), env.Path("out/docs.kdf"));
            ::_exit(3);
        }
        ::close(ready[1]);
        char signal = 0;
        ASSERT_EQ(::read(ready[0], &signal, 1), 1) << "the child never got there";
        ::close(ready[0]);
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        for (const std::string& folder : {env.Path("tmp"), env.Path("out")}) {
            if (!test::Exists(folder)) {
                continue;
            }
            for (const auto& entry : fs::recursive_directory_iterator(folder)) {
                EXPECT_EQ(entry.path().filename().string().find("PLAINTEXT-MARKER"),
                          std::string::npos);
                if (entry.is_regular_file()) {
                    EXPECT_EQ(test::ReadFile(entry.path().string()).find(marker), std::string::npos)
                        << (duringCipher ? "during the cipher: " : "while packing: ")
                        << entry.path();
                }
            }
        }
    }
}

// Runs Debian's age tool on a pseudo-terminal (it reads passphrases only from a
// terminal), answering each prompt; its exit status, or -1 when it hangs.
int RunAgeOnTerminal(std::vector<std::string> arguments, const std::string& passphrase) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    std::string said;
    std::size_t answered = 0;
    for (int waited = 0; waited < 1200; ++waited) {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        said.append(buffer, static_cast<std::size_t>(got));
        std::size_t prompts = 0;
        for (auto at = said.find("assphrase"); at != std::string::npos;
             at = said.find("assphrase", at + 1)) {
            ++prompts;
        }
        for (; answered < prompts; ++answered) {
            const std::string line = passphrase + "\r";
            EXPECT_EQ(::write(terminal, line.data(), line.size()),
                      static_cast<ssize_t>(line.size()));
        }
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The folder jobs with the real library: the archive is encrypted as age when the
// destination says ".age", and Debian's age tool reads it; what age writes, the
// folder job opens.
TEST_F(FolderJobTest, AnAgeFolderRoundTripsThroughDebiansAgeTool) {
    veilor64::RegisterServer(VEILOR64_LIBRARY_PATH);
    store::SqliteRegistry registry(store::SqliteRegistry::DefaultPath());
    veilor64::VeilorControlFactory realFactory(registry);
    filesecurity::CipherControlSource realControl{realFactory, registration};
    EncryptionJobs realJobs{
        view, {realControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    test::MakeSampleTree(env.Path("home/docs"));
    view.password = "a passphrase well over eight characters \xE2\x80\x94 s\xC3\xBBr";
    view.source = env.Path("home/docs");
    view.destination = env.Path("home/docs.AGE");
    realJobs.EncryptFolderJob();
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(test::ReadFile(env.Path("home/docs.AGE")).rfind("age-encryption.org/v1\n", 0), 0U);
    EXPECT_FALSE(test::Exists(TempArchive()));

    // age opens our file; age's own encryption of that archive comes back through
    // the decryption job as the same folder.
    ASSERT_EQ(
        RunAgeOnTerminal({"age", "-d", "-o", env.Path("archive.zip"), env.Path("home/docs.AGE")},
                         view.password),
        0);
    EXPECT_EQ(test::ReadFile(env.Path("archive.zip")).substr(0, 2), "PK");
    ASSERT_EQ(RunAgeOnTerminal({"age", "-p", "-o", env.Path("theirs.age"), env.Path("archive.zip")},
                               view.password),
              0);
    view.encryptEnabled = false;
    view.source = env.Path("theirs.age");
    view.destination = env.Path("home/restored");
    realJobs.DecryptFolderJob();
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));
    EXPECT_FALSE(test::Exists(TempArchive()));
}

// Names that are not UTF-8 (an old Latin-1 folder) come back under the same bytes
// through the page's folder jobs.
void AddLatin1Names(const std::string& root) {
    test::MakeDirs(root + "/d\xFCr");
    test::WriteFile(root + "/caf\xE9.txt", "a Latin-1 name");
    test::WriteFile(root + "/d\xFCr/\xE0 la carte.bin", "another");
}

TEST_F(FolderJobTest, NamesThatAreNotUtf8RoundTripThroughAKdfFile) {
    test::MakeSampleTree(env.Path("home/docs"));
    AddLatin1Names(env.Path("home/docs"));
    view.password = "k3y";
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    view.encryptEnabled = false;
    DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/restored"));
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));
}

TEST_F(FolderJobTest, NamesThatAreNotUtf8RoundTripThroughAnAgeFileAndAgePlusUnzip) {
    veilor64::RegisterServer(VEILOR64_LIBRARY_PATH);
    store::SqliteRegistry registry(store::SqliteRegistry::DefaultPath());
    veilor64::VeilorControlFactory realFactory(registry);
    filesecurity::CipherControlSource realControl{realFactory, registration};
    EncryptionJobs realJobs{
        view, {realControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    AddLatin1Names(env.Path("home/docs"));
    view.password = "an age passphrase";
    view.source = env.Path("home/docs");
    view.destination = env.Path("home/docs.age");
    realJobs.EncryptFolderJob();
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    view.encryptEnabled = false;
    view.source = env.Path("home/docs.age");
    view.destination = env.Path("home/restored");
    realJobs.DecryptFolderJob();
    ASSERT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));

    ASSERT_EQ(
        RunAgeOnTerminal({"age", "-d", "-o", env.Path("archive.zip"), env.Path("home/docs.age")},
                         view.password),
        0);
    ASSERT_TRUE(
        test::RunQuietly({"unzip", "-q", env.Path("archive.zip"), "-d", env.Path("unzipped")}));
    EXPECT_EQ(test::Snapshot(env.Path("unzipped")), test::Snapshot(env.Path("home/docs")));
}

// An entry that disappears while the folder is packed fails the job with a message
// that names it; the half-made archive is never encrypted and the old destination stays.
TEST_F(FolderJobTest, AnEntryThatVanishesMidJobFailsTheJobNamingItAndEncryptsNothing) {
    filesecurity::libarchive::LibArchiveWriter eagerZip{pump, std::chrono::milliseconds(0)};
    EncryptionJobs eagerJobs{
        view, {crpControl, eagerZip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    const std::string docs = env.Path("home/docs");
    test::MakeSampleTree(docs);
    test::WriteFile(docs + "/last.txt", "packed after the big file");
    test::WriteFile(env.Path("home/docs.kdf"), "the older encrypted folder");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(docs)) {
        ++entries;
    }
    // The writer gives the interface a turn once per entry while it counts the bytes,
    // then for every entry and block while it packs: this turn falls inside packing,
    // before "last.txt" (which sorts after "big", whose file takes dozens of blocks).
    pump.onDoEvents = [&] {
        if (pump.calls == entries + 5) {
            fs::remove(docs + "/last.txt");
        }
    };
    bool ciphered = false;
    onCipher = [&](const filesecurity::fake::FakeCipherControl::Call&) { ciphered = true; };
    view.password = "k3y";
    view.source = docs;
    view.destination = env.Path("home/docs.kdf");
    eagerJobs.EncryptFolderJob();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_NE(messageBox.shown[0].text.find(docs + "/last.txt disappeared"), std::string::npos)
        << messageBox.shown[0].text;
    EXPECT_FALSE(ciphered);
    EXPECT_EQ(test::ReadFile(env.Path("home/docs.kdf")), "the older encrypted folder");
    EXPECT_FALSE(test::Exists(TempArchive()));
}

}  // namespace
