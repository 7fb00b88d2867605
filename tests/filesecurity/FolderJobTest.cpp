#include "ArchiveTestSupport.h"
#include "EncryptionJobs.h"
#include "FakeFileSecurity.h"
#include "FakePlatform.h"
#include "LibArchiveReader.h"
#include "LibArchiveWriter.h"
#include "PosixFileSystem.h"
#include "PosixTempPath.h"
#include "PosixTemporaryFiles.h"
#include "RecordingView.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "veilor64/VeilorControlFactory.h"

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::platform;
using filesecurity::EncryptionJobs;

namespace fs = std::filesystem;

namespace {

// The folder jobs on the real file system, the real archive components and the
// cipher's file format (the fake control writes it), inside a private TMPDIR.
class FolderJobTest : public ::testing::Test {
protected:
    FolderJobTest() {
        factory.onCreate = [this](fake::FakeCipherControl& control) {
            control.onCall = [this](const fake::FakeCipherControl::Call&) {
                struct stat info {};
                archiveModeDuringCipher = ::lstat(TempArchive().c_str(), &info) == 0
                                              ? static_cast<int>(info.st_mode & 07777)
                                              : -1;
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
    fake::FakeControlFactory factory;
    fake::FakeControlRegistration registration{factory};
    filesecurity::CipherControlSource crpControl{factory, registration};
    fake::FakeEventPump pump;
    posix::LibArchiveWriter zip{pump};
    posix::LibArchiveReader unzip{pump};
    posix::PosixFileSystem files;
    posix::PosixTemporaryFiles temporaryFiles;
    posix::PosixTempPath tempPath;
    fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    fake::FakeMessageBox messageBox;
    EncryptionJobs jobs{
        view, {crpControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
    int archiveModeDuringCipher = -2;
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
    EXPECT_EQ(encrypted.substr(0, 8), fake::FakeCipherControl::Header("k3y-----"));
    EXPECT_NE(encrypted.find("PK"), 8U) << "the archive is stored encrypted";

    view.encryptEnabled = false;
    DecryptFolder(env.Path("home/docs.kdf"), env.Path("home/restored"));
    EXPECT_TRUE(messageBox.shown.empty()) << messageBox.shown[0].text;
    EXPECT_EQ(archiveModeDuringCipher, 0600);
    EXPECT_FALSE(test::Exists(TempArchive()));
    EXPECT_EQ(test::Snapshot(env.Path("home/restored")), test::Snapshot(env.Path("home/docs")));
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

TEST_F(FolderJobTest, AFolderInTheWayOfTheArchiveStopsTheJobWithAClearMessage) {
    test::MakeSampleTree(env.Path("home/docs"));
    test::MakeDirs(TempArchive());
    EncryptFolder(env.Path("home/docs"), env.Path("home/docs.kdf"));
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_NE(messageBox.shown[0].text.find(TempArchive()), std::string::npos)
        << messageBox.shown[0].text;
    EXPECT_TRUE(fs::is_directory(TempArchive())) << "a folder is never removed";
    EXPECT_FALSE(test::Exists(env.Path("home/docs.kdf")));
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
    posix::SqliteRegistry registry(posix::SqliteRegistry::DefaultPath());
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

}  // namespace
