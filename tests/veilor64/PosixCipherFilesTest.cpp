// The cipher on real files: the destination appears whole or not at all, with
// the right mode, and nothing it should not touch is touched.

#include "Cipher.h"
#include "PosixCipherFiles.h"
#include "TempEnvironment.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>

#include <ostream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>

namespace orvelle::veilor64 {
namespace {

namespace fs = std::filesystem;
using platform::RuntimeError;
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

class PosixCipherFilesTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return environment.Path("files/" + name); }

    void SetUp() override { test::MakeDirs(environment.Path("files")); }

    // Runs one operation; returns the error number (0 for success).
    std::int32_t Run(bool decrypt, const std::string& pass, const std::string& source,
                     const std::string& destination) {
        NullProgressSink progress;
        Cipher cipher(files, progress);
        try {
            if (decrypt) {
                cipher.Decrypt(pass, source, destination);
            } else {
                cipher.Encrypt(pass, source, destination);
            }
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

TEST_F(PosixCipherFilesTest, NewDestinationTakesTheUmaskAndAnOldOneKeepsItsMode) {
    WriteFile(Path("plain"), "text");
    const mode_t old = ::umask(027);
    const int created = Run(false, "abc", Path("plain"), Path("new.kdf"));
    ::umask(old);
    ASSERT_EQ(created, 0) << lastError;
    EXPECT_EQ(ModeOf(Path("new.kdf")), 0640u);

    WriteFile(Path("existing"), "old content");
    fs::permissions(Path("existing"), fs::perms(0604));
    ASSERT_EQ(Run(false, "abc", Path("plain"), Path("existing")), 0) << lastError;
    EXPECT_EQ(ModeOf(Path("existing")), 0604u);
    EXPECT_EQ(fs::file_size(Path("existing")), 12u);
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
