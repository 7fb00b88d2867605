// The cipher on real files: the destination appears whole or not at all, with
// the right mode, and nothing it should not touch is touched.

#include "AgeCipher.h"
#include "Cipher.h"
#include "PosixCipherFiles.h"
#include "TempEnvironment.h"
#include "UnnamedFile.h"
#include "os/RuntimeError.h"

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>

namespace orvelle::veilor64 {
namespace {

namespace fs = std::filesystem;
using os::RuntimeError;
using test::Exists;
using test::ReadFile;
using test::WriteFile;

std::string RandomText(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string text(size, '\0');
    for (auto& c : text) {
        c = static_cast<char>(generator());
    }
    return text;
}

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// These tests look at files only.
class NullProgressSink final : public IProgressSink {
public:
    void Show() override {}
    void Point(const ProgressPoint& /*point*/) override {}
    void Close() noexcept override {}
};

unsigned ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// One operation in the format the library picks: age for a ".age" destination
// and for a source that is an age file (scrypt's work factor kept low), else ".kdf".
void Operate(ICipherFiles& files, IProgressSink& progress, bool decrypt, const std::string& pass,
             const std::string& source, const std::string& destination) {
    if (decrypt ? age::IsAgeFile(files, source) : age::IsAgeDestination(destination)) {
        AgeCipher cipher(files, progress, 10);
        decrypt ? cipher.Decrypt(pass, source, destination)
                : cipher.Encrypt(pass, source, destination);
    } else {
        Cipher cipher(files, progress);
        decrypt ? cipher.Decrypt(pass, source, destination)
                : cipher.Encrypt(pass, source, destination);
    }
}

class PosixCipherFilesTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return environment.Path("files/" + name); }

    void SetUp() override { test::MakeDirs(environment.Path("files")); }

    // Runs one operation; returns the error number (0 for success).
    std::int32_t Run(bool decrypt, const std::string& pass, const std::string& source,
                     const std::string& destination) {
        NullProgressSink progress;
        try {
            Operate(files, progress, decrypt, pass, source, destination);
            return 0;
        } catch (const RuntimeError& error) {
            lastError = error.Description();
            return error.Number();
        }
    }

    test::TempEnvironment environment;
    PosixCipherFiles files;
    std::string lastError;
};

class PosixRoundTripTest : public PosixCipherFilesTest,
                           public testing::WithParamInterface<std::size_t> {};

TEST_P(PosixRoundTripTest, FileComesBackUnchanged) {
    const std::string plain = RandomText(GetParam(), static_cast<unsigned>(GetParam()));
    WriteFile(Path("plain"), plain);
    ASSERT_EQ(Run(false, "s3cr3t", Path("plain"), Path("plain.kdf")), 0) << lastError;
    EXPECT_EQ(fs::file_size(Path("plain.kdf")), plain.size() + 8);
    ASSERT_EQ(Run(true, "s3cr3t", Path("plain.kdf"), Path("back")), 0) << lastError;
    EXPECT_EQ(ReadFile(Path("back")), plain);
    EXPECT_EQ(Listing(environment.Path("files")),
              (std::set<std::string>{"plain", "plain.kdf", "back"}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, PosixRoundTripTest,
                         testing::Values(0, 1, 7, 8, 9, 7167, 7168, 7169, 5 * 1024 * 1024 + 3));

TEST_F(PosixCipherFilesTest, EveryOutputIsForItsOwnerOnlyWhateverTheUmaskAndTheOldMode) {
    WriteFile(Path("plain"), "text");
    fs::permissions(Path("plain"), fs::perms(0600));
    WriteFile(Path("existing"), "old content");
    fs::permissions(Path("existing"), fs::perms(0644));
    const mode_t old = ::umask(0);
    const int encrypted = Run(false, "abc", Path("plain"), Path("new.kdf"));
    const int decrypted = Run(true, "abc", Path("new.kdf"), Path("back"));
    const int replaced = Run(true, "abc", Path("new.kdf"), Path("existing"));
    const int encryptedAge = Run(false, "abc", Path("plain"), Path("new.age"));
    const int decryptedAge = Run(true, "abc", Path("new.age"), Path("back-age"));
    ::umask(old);
    ASSERT_EQ(encrypted + decrypted + replaced + encryptedAge + decryptedAge, 0) << lastError;
    for (const char* name : {"new.kdf", "back", "existing", "new.age", "back-age"}) {
        EXPECT_EQ(ModeOf(Path(name)), 0600u) << name;
    }
    EXPECT_EQ(ReadFile(Path("existing")), "text");
}

TEST_F(PosixCipherFilesTest, WrongPassPhraseLeavesTheExistingDestinationUntouched) {
    WriteFile(Path("plain"), RandomText(30000, 1));
    ASSERT_EQ(Run(false, "right", Path("plain"), Path("plain.kdf")), 0);
    WriteFile(Path("out"), "keep me");
    EXPECT_EQ(Run(true, "wrong", Path("plain.kdf"), Path("out")), 64101);
    EXPECT_EQ(ReadFile(Path("out")), "keep me");
    EXPECT_EQ(Run(true, "wrong", Path("plain.kdf"), Path("absent")), 64101);
    EXPECT_FALSE(Exists(Path("absent")));
    EXPECT_EQ(Listing(environment.Path("files")),
              (std::set<std::string>{"plain", "plain.kdf", "out"}));
}

TEST_F(PosixCipherFilesTest, WriteFailingMidwayLeavesNeitherPartialFileNorTemporary) {
    WriteFile(Path("plain"), RandomText(3 * 1024 * 1024, 2));
    WriteFile(Path("out"), "the old destination");
    // The file size limit makes the kernel refuse a write partway through,
    // the way a full disk does.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1024 * 1024 + 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::int32_t number = Run(false, "abc", Path("plain"), Path("out"));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(number, 75);
    EXPECT_EQ(lastError, "Path/File access error");
    EXPECT_EQ(ReadFile(Path("out")), "the old destination");
    EXPECT_EQ(Listing(environment.Path("files")), (std::set<std::string>{"plain", "out"}));
}

TEST_F(PosixCipherFilesTest, SymbolicLinkAtTheDestinationIsReplacedNotFollowed) {
    WriteFile(Path("plain"), "text");
    WriteFile(Path("target"), "must stay");
    fs::create_symlink(Path("target"), Path("link"));
    ASSERT_EQ(Run(false, "abc", Path("plain"), Path("link")), 0) << lastError;
    EXPECT_FALSE(fs::is_symlink(Path("link")));
    EXPECT_EQ(fs::file_size(Path("link")), 12u);
    EXPECT_EQ(ReadFile(Path("target")), "must stay");
}

TEST_F(PosixCipherFilesTest, EncryptingAFileOntoItselfWorks) {
    const std::string plain = RandomText(100000, 3);
    WriteFile(Path("same"), plain);
    ASSERT_EQ(Run(false, "abc", Path("same"), Path("same")), 0) << lastError;
    EXPECT_EQ(fs::file_size(Path("same")), plain.size() + 8);
    ASSERT_EQ(Run(true, "abc", Path("same"), Path("same")), 0) << lastError;
    EXPECT_EQ(ReadFile(Path("same")), plain);
}

// A decryption killed by SIGKILL halfway leaves no trace of the plain text in
// the destination's folder or in the temporary folder, in either format.
class PosixKilledTest : public PosixCipherFilesTest,
                        public testing::WithParamInterface<const char*> {};

TEST_P(PosixKilledTest, AKilledDecryptionLeavesNoPlainTextAnywhere) {
    const std::string encrypted = std::string("plain") + GetParam();
    const std::string marker = "PLAINTEXT-MARKER-5f1c9e";
    std::string plain;
    while (plain.size() < 4 * 1024 * 1024) {
        plain += marker;
    }
    WriteFile(Path("plain"), plain);
    ASSERT_EQ(Run(false, "abc", Path("plain"), Path(encrypted)), 0) << lastError;
    fs::remove(Path("plain"));

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Halfway through, with the first megabytes written, tell the parent and wait.
        class StopHalfway final : public IProgressSink {
        public:
            explicit StopHalfway(int fd) : fd_(fd) {}
            void Show() override {}
            void Point(const ProgressPoint& point) override {
                if (point.position > point.total / 2) {
                    static_cast<void>(::write(fd_, "x", 1));
                    while (true) {
                        ::pause();
                    }
                }
            }
            void Close() noexcept override {}

        private:
            int fd_;
        } progress(ready[1]);
        PosixCipherFiles childFiles;
        try {
            Operate(childFiles, progress, true, "abc", Path(encrypted), Path("back.txt"));
        } catch (...) {
        }
        ::_exit(3);
    }
    ::close(ready[1]);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1) << "the child never got halfway";
    ::close(ready[0]);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    for (const std::string& folder : {environment.Path("files"), environment.Path("tmp")}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                EXPECT_EQ(ReadFile(entry.path().string()).find(marker), std::string::npos)
                    << entry.path();
            }
        }
    }
    EXPECT_EQ(Listing(environment.Path("files")), (std::set<std::string>{encrypted}));
}

INSTANTIATE_TEST_SUITE_P(Formats, PosixKilledTest, testing::Values(".kdf", ".age"));

// A replacement killed between its last two file-system calls (the complete plain
// text linked under a hidden name, not yet renamed over the old file) leaves the
// old destination and a recorded hidden copy, which the next start removes: no
// plain text outlives the kill.
TEST_P(PosixKilledTest, AKillBetweenTheLastTwoStepsOfAReplacementLeavesNoPlainTextCopy) {
    const std::string encrypted = std::string("plain") + GetParam();
    const std::string marker = "PLAINTEXT-MARKER-77ad01";
    std::string plain;
    while (plain.size() < 200000) {
        plain += marker;
    }
    WriteFile(Path("plain"), plain);
    ASSERT_EQ(Run(false, "abc", Path("plain"), Path(encrypted)), 0) << lastError;
    fs::remove(Path("plain"));
    WriteFile(Path("back.txt"), "the old destination");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        os::posix::UnnamedFile::BetweenReplaceSteps() = [] { ::raise(SIGKILL); };
        class Quiet final : public IProgressSink {
        public:
            void Show() override {}
            void Point(const ProgressPoint&) override {}
            void Close() noexcept override {}
        } progress;
        PosixCipherFiles childFiles;
        try {
            Operate(childFiles, progress, true, "abc", Path(encrypted), Path("back.txt"));
        } catch (...) {
        }
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the kill was not injected between the two steps";
    // The kill came with the hidden copy in place: it is recorded, and it goes.
    EXPECT_EQ(Listing(environment.Path("files")).size(), 3U);
    EXPECT_FALSE(fs::is_empty(os::posix::LeftoversFolder()));
    EXPECT_EQ(os::posix::RemoveLeftovers(), 1);
    EXPECT_EQ(Listing(environment.Path("files")), (std::set<std::string>{encrypted, "back.txt"}));
    EXPECT_EQ(ReadFile(Path("back.txt")), "the old destination");
    for (const auto& entry : fs::recursive_directory_iterator(environment.Path("files"))) {
        EXPECT_EQ(ReadFile(entry.path().string()).find(marker), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(fs::is_empty(os::posix::LeftoversFolder()));

    // Without the kill the same replacement leaves no record behind.
    ASSERT_EQ(Run(true, "abc", Path(encrypted), Path("back.txt")), 0) << lastError;
    EXPECT_EQ(ReadFile(Path("back.txt")), plain);
    EXPECT_TRUE(fs::is_empty(os::posix::LeftoversFolder()));
}

// Where the file system has no unnamed files, the output is a hidden 0600 file
// until it is complete, and one that a killed process left is removed the next
// time round.
TEST_F(PosixCipherFilesTest, WithoutUnnamedFilesAHiddenFileServesAndALeftOverOneIsRemoved) {
    struct Disabled {
        Disabled() { os::posix::UnnamedFile::UnnamedFilesDisabled() = true; }
        ~Disabled() { os::posix::UnnamedFile::UnnamedFilesDisabled() = false; }
    } disabled;
    WriteFile(Path("plain"), RandomText(20000, 4));
    ASSERT_EQ(Run(false, "abc", Path("plain"), Path("plain.kdf")), 0) << lastError;
    ASSERT_EQ(Run(true, "abc", Path("plain.kdf"), Path("back")), 0) << lastError;
    EXPECT_EQ(ReadFile(Path("back")), ReadFile(Path("plain")));
    EXPECT_EQ(ModeOf(Path("back")), 0600u);
    EXPECT_EQ(Listing(environment.Path("files")),
              (std::set<std::string>{"plain", "plain.kdf", "back"}));

    // A child that dies with its hidden file open leaves it and its record.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int dir = ::open(environment.Path("files").c_str(), O_RDONLY | O_DIRECTORY);
        os::posix::UnnamedFile file;
        ::_exit(dir >= 0 && file.Open(dir, environment.Path("files")) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Listing(environment.Path("files")).size(), 4U);
    EXPECT_EQ(os::posix::RemoveLeftovers(), 1);
    EXPECT_EQ(Listing(environment.Path("files")),
              (std::set<std::string>{"plain", "plain.kdf", "back"}));
    EXPECT_TRUE(fs::is_empty(os::posix::LeftoversFolder()));
}

struct BadPath {
    const char* name;
    bool decrypt;
    std::string source;       // relative to the files folder
    std::string destination;  // relative to the files folder
    std::int32_t number;
    std::string description;
};

// Test names show the row, not its bytes.
void PrintTo(const BadPath& row, std::ostream* out) {
    *out << row.name;
}

class PosixBadPathTest : public PosixCipherFilesTest, public testing::WithParamInterface<BadPath> {
protected:
    void SetUp() override {
        PosixCipherFilesTest::SetUp();
        WriteFile(Path("plain"), "text");
        ASSERT_EQ(Run(false, "abc", Path("plain"), Path("plain.kdf")), 0);
        test::MakeDirs(Path("folder"));
        ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
        WriteFile(Path("readonly"), "protected");
        fs::permissions(Path("readonly"), fs::perms(0444));
    }
};

TEST_P(PosixBadPathTest, FailsWithTheRunTimesErrorAndChangesNothing) {
    const BadPath& row = GetParam();
    const auto before = Listing(environment.Path("files"));
    EXPECT_EQ(Run(row.decrypt, "abc", Path(row.source), Path(row.destination)), row.number);
    EXPECT_EQ(lastError, row.description);
    EXPECT_EQ(Listing(environment.Path("files")), before);
    EXPECT_EQ(ReadFile(Path("readonly")), "protected");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PosixBadPathTest,
    testing::Values(
        BadPath{"SourceIsAFolder", false, "folder", "out", 64201, "File Not Found"},
        BadPath{"SourceBelowAFile", true, "plain/x", "out", 64201, "File Not Found."},
        BadPath{"SourceIsAFifo", false, "fifo", "out", 75, "Path/File access error"},
        BadPath{"DestinationIsAFolder", false, "plain", "folder", 75, "Path/File access error"},
        BadPath{"DestinationEndsInASlash", false, "plain", "folder/", 75, "Path/File access error"},
        BadPath{"DestinationFolderMissing", true, "plain.kdf", "missing/out", 76, "Path not found"},
        BadPath{"ReadOnlyDestination", false, "plain", "readonly", 70, "Permission denied"}),
    [](const testing::TestParamInfo<BadPath>& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
}  // namespace orvelle::veilor64
