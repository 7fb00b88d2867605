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
#include "TempEnvironment.h"

#include <sys/stat.h>

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

}  // namespace
