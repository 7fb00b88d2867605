#include "EncryptionJobs.h"
#include "FakeDesktop.h"
#include "FakeFileSecurity.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "RecordingView.h"

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::desktop;
using namespace orvelle::filesecurity;
using filesecurity::EncryptionJobs;

namespace {

constexpr const char* kTempArchive = "/tmp/u/CRY9999.TMP";
// The path the fake hands out for the first unnamed file of a test.
constexpr const char* kUnnamedArchive = "/proc/self/fd/101";

class EncryptionJobsTest : public ::testing::Test {
protected:
    EncryptionJobsTest() {
        // The jobs' own behaviour is under test here; files stay in the fake file system.
        factory.onCreate = [](filesecurity::fake::FakeCipherControl& control) {
            control.transformFiles = false;
        };
    }

    filesecurity::fake::FakeCipherControl& Cipher() {
        static_cast<void>(crpControl.Control());
        return *factory.created.back();
    }
    void Run(void (EncryptionJobs::*job)()) { (jobs.*job)(); }

    test::RecordingView view;
    filesecurity::fake::FakeControlFactory factory;
    filesecurity::fake::FakeControlRegistration registration{factory};
    filesecurity::CipherControlSource crpControl{factory, registration};
    filesecurity::fake::FakeArchiveWriter zip;
    filesecurity::fake::FakeArchiveReader unzip;
    os::fake::FakeFileSystem files;
    os::fake::FakeTemporaryFiles temporaryFiles;
    os::fake::FakeTempPath tempPath{"/tmp/u/"};
    os::fake::FakeProcessInfo process{"/opt/orvelle", "orvelle"};
    desktop::fake::FakeMessageBox messageBox;
    EncryptionJobs jobs{
        view, {crpControl, zip, unzip, files, temporaryFiles, tempPath, process, messageBox}};
};

struct FieldCase {
    const char* name;
    void (EncryptionJobs::*job)();
    const char* source;
    const char* destination;
    const char* text;
    const char* title;
};

class FieldChecks : public EncryptionJobsTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FieldChecks, ReportTheFirstProblemMoveFocusToBrowseAndTouchNothing) {
    const FieldCase& row = GetParam();
    files.files["/d/old.kdf"] = "old";
    files.files["/d/old.txt"] = "old";
    view.source = row.source;
    view.destination = row.destination;
    Run(row.job);

    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, row.text);
    EXPECT_EQ(messageBox.shown[0].title, row.title);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(view.focusBrowseCalls, 1);
    EXPECT_TRUE(files.deleted.empty());
    EXPECT_EQ(files.files.size(), 2U);
    EXPECT_TRUE(zip.calls.empty());
    EXPECT_TRUE(unzip.calls.empty());
    EXPECT_TRUE(temporaryFiles.removed.empty());
    for (const auto* control : factory.created) {
        EXPECT_TRUE(control->calls.empty());
    }
    EXPECT_FALSE(jobs.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    EveryJob, FieldChecks,
    ::testing::Values(
        FieldCase{"EncryptFileBlankSourceBeforeBlankDestination", &EncryptionJobs::EncryptFileJob,
                  "   ", "", "Source folder can not be blank.", "Invalid Source"},
        FieldCase{"EncryptFileBlankDestination", &EncryptionJobs::EncryptFileJob, "/d/a.txt", "  ",
                  "Specify destination file.", "Invalid Destination File"},
        FieldCase{"DecryptFileBlankSourceBeforeBlankDestination", &EncryptionJobs::DecryptFileJob,
                  "", "", "Source file can not be blank.", "Orvelle"},
        FieldCase{"DecryptFileBlankDestination", &EncryptionJobs::DecryptFileJob, "/d/old.kdf", " ",
                  "Destination file can not be blank.", "Orvelle"},
        FieldCase{"DecryptFileMissingSource", &EncryptionJobs::DecryptFileJob, "/d/none.kdf",
                  "/d/old.txt", "Source file not found.", "Orvelle"},
        FieldCase{"EncryptFolderBlankSourceBeforeBlankDestination",
                  &EncryptionJobs::EncryptFolderJob, " ", " ", "Source folder can not be blank.",
                  "Invalid Source"},
        FieldCase{"EncryptFolderBlankDestination", &EncryptionJobs::EncryptFolderJob, "/d", "",
                  "Specify destination file.", "Invalid Destination File"},
        FieldCase{"DecryptFolderBlankSourceBeforeBlankDestination",
                  &EncryptionJobs::DecryptFolderJob, "", "", "Source file can not be blank.",
                  "Orvelle"},
        FieldCase{"DecryptFolderBlankDestination", &EncryptionJobs::DecryptFolderJob, "/d/old.kdf",
                  "", "Destination folder can not be blank.", "Orvelle"},
        FieldCase{"DecryptFolderMissingSource", &EncryptionJobs::DecryptFolderJob, "/d/x.kdf",
                  "/d/out", "Source file not found.", "Orvelle"}),
    [](const ::testing::TestParamInfo<FieldCase>& row) { return std::string(row.param.name); });

TEST_F(EncryptionJobsTest, ThePassphraseReachesTheCipherAsTypedBlanksIncluded) {
    view.password = " pa ss ";
    view.source = " /d/a.txt";
    view.destination = "/d/a.kdf ";
    Run(&EncryptionJobs::EncryptFileJob);
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].method, "Encrypt");
    EXPECT_EQ(Cipher().calls[0].passPhrase, " pa ss ");
    EXPECT_EQ(Cipher().calls[0].source, " /d/a.txt");
    EXPECT_EQ(Cipher().calls[0].destination, "/d/a.kdf ");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(EncryptionJobsTest, NoJobDeletesAnExistingDestinationTheCipherReplacesIt) {
    files.files["/d/a.txt"] = "plain";
    files.files["/d/a.kdf"] = "old";
    view.source = "/d/a.txt";
    view.destination = "/d/a.kdf";
    int calls = 0;
    factory.onCreate = [&](filesecurity::fake::FakeCipherControl& control) {
        control.transformFiles = false;
        control.onCall = [&](const filesecurity::fake::FakeCipherControl::Call&) {
            ++calls;
            EXPECT_EQ(files.files.count("/d/a.kdf"), 1U) << "the old destination is still there";
        };
    };
    Run(&EncryptionJobs::EncryptFileJob);
    view.source = "/home/u/docs";
    Run(&EncryptionJobs::EncryptFolderJob);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(files.deleted.empty());
}

TEST_F(EncryptionJobsTest, FileDecryptionLeavesAnExistingDestinationToTheCipher) {
    files.files["/d/a.kdf"] = "enc";
    files.files["/d/a.txt"] = "old";
    view.source = "/d/a.kdf";
    view.destination = "/d/a.txt";
    Run(&EncryptionJobs::DecryptFileJob);
    EXPECT_TRUE(files.deleted.empty());
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].method, "Decrypt");
}

TEST_F(EncryptionJobsTest, FolderEncryptionDeletesTheDestinationPacksThenEncryptsTheArchive) {
    files.files["/d/out.kdf"] = "old";
    view.source = "/home/u/docs";
    view.destination = "/d/out.kdf";
    zip.progressPoints = {0, 40, 100};
    std::vector<std::string> seen;
    zip.duringWork = [&](int percent) {
        EXPECT_EQ(view.encryptCaption, "Cancel");
        EXPECT_TRUE(view.timerRunning);
        EXPECT_EQ(temporaryFiles.existing.count(kUnnamedArchive), 1U) << "created before packing";
        jobs.tmrProgress_Timer();
        EXPECT_EQ(view.progress, percent) << "the tick shows the build's figure";
        // A click on "Cancel", or on any button, while the job runs starts nothing.
        jobs.EncryptFolderJob();
        jobs.EncryptFileJob();
        jobs.DecryptFolderJob();
        seen.push_back(view.encryptCaption);
    };
    Run(&EncryptionJobs::EncryptFolderJob);

    EXPECT_EQ(seen.size(), 3U);
    ASSERT_EQ(zip.calls.size(), 1U);
    EXPECT_EQ(zip.calls[0].folder, "/home/u/docs");
    EXPECT_EQ(zip.calls[0].archivePath, kUnnamedArchive);
    EXPECT_EQ(jobs.TempArchivePath(), kTempArchive);
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].method, "Encrypt");
    EXPECT_EQ(Cipher().calls[0].source, kUnnamedArchive);
    EXPECT_EQ(Cipher().calls[0].destination, "/d/out.kdf");
    EXPECT_TRUE(messageBox.shown.empty());
    // Completion: caption back, timer off, bar empty; the unencrypted archive is gone.
    EXPECT_EQ(view.encryptCaption, "Encrypt");
    EXPECT_FALSE(view.timerRunning);
    EXPECT_EQ(view.progress, 0);
    EXPECT_TRUE(temporaryFiles.existing.empty());
    EXPECT_EQ(temporaryFiles.created, std::vector<std::string>{kTempArchive});
    EXPECT_FALSE(jobs.IsRunning());
}

TEST_F(EncryptionJobsTest, AFailedBuildRestoresTheButtonStopsTheTimerAndRemovesTheArchive) {
    view.source = "/home/u/docs";
    view.destination = "/d/out.kdf";
    zip.failWith = RuntimeError(61, std::string("Disk full: ") + kUnnamedArchive);
    Run(&EncryptionJobs::EncryptFolderJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Disk full: /tmp/u/CRY9999.TMP") << "named, not by handle";
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(view.encryptCaption, "Encrypt");
    EXPECT_FALSE(view.timerRunning);
    EXPECT_EQ(view.progress, 0);
    EXPECT_TRUE(Cipher().calls.empty());
    EXPECT_TRUE(temporaryFiles.existing.empty());

    // The next click works again.
    zip.failWith.reset();
    Run(&EncryptionJobs::EncryptFolderJob);
    EXPECT_EQ(Cipher().calls.size(), 1U);
}

TEST_F(EncryptionJobsTest, WithoutATemporaryFolderTheMessageIsTitledWithTheProgramFolder) {
    tempPath.path = "";
    files.files["/d/in.kdf"] = "enc";
    for (auto job : {&EncryptionJobs::EncryptFolderJob, &EncryptionJobs::DecryptFolderJob}) {
        messageBox.shown.clear();
        view.source = job == &EncryptionJobs::EncryptFolderJob ? "/home/u/docs" : "/d/in.kdf";
        view.destination = "/d/out";
        Run(job);
        ASSERT_EQ(messageBox.shown.size(), 1U);
        EXPECT_EQ(messageBox.shown[0].text, "Can not create file.");
        EXPECT_EQ(messageBox.shown[0].title, "/opt/orvelle");
        EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Information);
    }
    EXPECT_TRUE(zip.calls.empty());
    EXPECT_TRUE(unzip.calls.empty());
    EXPECT_TRUE(temporaryFiles.created.empty());
    EXPECT_TRUE(Cipher().calls.empty());
}

TEST_F(EncryptionJobsTest, AWrongPassphraseStartsNoExtraction) {
    files.files["/d/in.kdf"] = "enc";
    view.source = "/d/in.kdf";
    view.destination = "/home/u/restored";
    factory.onCreate = [](filesecurity::fake::FakeCipherControl& control) {
        control.transformFiles = false;
        control.failWith = RuntimeError(64101, "Incorrect Password.");
    };
    Run(&EncryptionJobs::DecryptFolderJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Incorrect Password.");
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(unzip.calls.empty());
    EXPECT_FALSE(view.timerRunning);
    EXPECT_TRUE(temporaryFiles.existing.empty()) << "the archive never outlives its job";
}

TEST_F(EncryptionJobsTest, FolderDecryptionDecryptsToTheArchiveThenExtractsIt) {
    files.files["/d/in.kdf"] = "enc";
    view.source = "/d/in.kdf";
    view.destination = "/home/u/restored";
    view.encryptEnabled = false;
    unzip.duringWork = [&](int percent) {
        EXPECT_TRUE(view.timerRunning);
        jobs.tmrProgress_Timer();
        EXPECT_EQ(view.progress, percent) << "with Decrypt in force the tick reads the extraction";
        jobs.DecryptFolderJob();
    };
    view.decryptCaption = "stale";
    Run(&EncryptionJobs::DecryptFolderJob);
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].method, "Decrypt");
    EXPECT_EQ(Cipher().calls[0].source, "/d/in.kdf");
    EXPECT_EQ(Cipher().calls[0].destination, kUnnamedArchive);
    ASSERT_EQ(unzip.calls.size(), 1U);
    EXPECT_EQ(unzip.calls[0].archivePath, kUnnamedArchive);
    EXPECT_EQ(unzip.calls[0].folder, "/home/u/restored");
    EXPECT_EQ(unzip.calls[0].existing, ExistingFiles::Replace) << "nothing there to ask about";
    EXPECT_TRUE(messageBox.asked.empty());
    EXPECT_EQ(view.decryptCaption, "Decrypt");
    EXPECT_FALSE(view.timerRunning);
    EXPECT_EQ(view.progress, 0);
    EXPECT_TRUE(temporaryFiles.existing.empty());
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(EncryptionJobsTest, ExtractionOverExistingFilesAsksOnceAndDoesWhatTheUserSays) {
    files.files["/d/in.kdf"] = "enc";
    view.source = "/d/in.kdf";
    view.destination = "/home/u";
    unzip.existingEntries = 3;
    for (const bool replace : {false, true}) {
        messageBox.answer = replace;
        Run(&EncryptionJobs::DecryptFolderJob);
    }
    ASSERT_EQ(messageBox.asked.size(), 2U);
    EXPECT_EQ(messageBox.asked[0].text,
              "3 entries of this archive already exist in /home/u.\n\nReplace them with the ones "
              "from the archive, or keep the existing ones?");
    EXPECT_EQ(messageBox.asked[0].title, "Orvelle");
    EXPECT_EQ(messageBox.asked[0].yes, "Replace");
    EXPECT_EQ(messageBox.asked[0].no, "Keep them");
    ASSERT_EQ(unzip.counted.size(), 2U);
    EXPECT_EQ(unzip.counted[0].folder, "/home/u");
    ASSERT_EQ(unzip.calls.size(), 2U);
    EXPECT_EQ(unzip.calls[0].existing, ExistingFiles::Keep);
    EXPECT_EQ(unzip.calls[1].existing, ExistingFiles::Replace);
}

TEST_F(EncryptionJobsTest, AtLoadLeftoversAndAnOldNamedArchiveAreRemoved) {
    jobs.RemoveLeftovers();
    EXPECT_EQ(temporaryFiles.leftoverSweeps, 1);
    EXPECT_EQ(temporaryFiles.removed, std::vector<std::string>{kTempArchive});
}

TEST_F(EncryptionJobsTest, FailuresShowTheirDescriptionExceptTheSilentCancel) {
    files.files["/d/in.kdf"] = "enc";
    view.source = "/d/in.kdf";
    view.destination = "/d/out.txt";
    static_cast<void>(Cipher());
    factory.created.back()->failWith = RuntimeError(32755, "Cancel was selected.");
    Run(&EncryptionJobs::DecryptFileJob);
    EXPECT_TRUE(messageBox.shown.empty());

    view.password = "123456789";
    view.destination = "/d/out.kdf";
    factory.created.back()->failWith.reset();
    Run(&EncryptionJobs::EncryptFileJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Password must be less than 8 characters");
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
}

TEST_F(EncryptionJobsTest, AnArchiveThatCannotBeCreatedSafelyStopsTheJobBeforePacking) {
    temporaryFiles.foreign.insert(kTempArchive);
    view.source = "/home/u/docs";
    view.destination = "/d/out.kdf";
    Run(&EncryptionJobs::EncryptFolderJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_NE(messageBox.shown[0].text.find(kTempArchive), std::string::npos);
    EXPECT_TRUE(zip.calls.empty());
    EXPECT_EQ(view.encryptCaption, "Encrypt");
    EXPECT_FALSE(view.timerRunning);
}

TEST_F(EncryptionJobsTest, EntriesLeftOutAreNamedAfterTheJob) {
    files.files["/d/in.kdf"] = "enc";
    view.source = "/d/in.kdf";
    view.destination = "/home/u/restored";
    unzip.skipped = {{"../evil.txt", "its path contains \"..\""},
                     {"link", "it is a link leading outside the destination folder (to \"/etc\")"}};
    Run(&EncryptionJobs::DecryptFolderJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messageBox.shown[0].text,
              "These entries were not extracted:\n\n../evil.txt: its path contains \"..\"\n"
              "link: it is a link leading outside the destination folder (to \"/etc\")");
}

TEST_F(EncryptionJobsTest, AMissingControlIsReportedWhenAJobStartsAndTouchesNothing) {
    factory.registered.clear();
    registration.works = false;
    EXPECT_FALSE(crpControl.Create()) << "at load: no message, only a remembered failure";
    files.files["/d/out.kdf"] = "old";
    view.source = "/home/u/docs";
    view.destination = "/d/out.kdf";
    Run(&EncryptionJobs::EncryptFolderJob);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_NE(messageBox.shown[0].text.find("Veilor64.Veilor"), std::string::npos);
    EXPECT_NE(messageBox.shown[0].text.find("/opt/orvelle/libveilor64.so"), std::string::npos);
    EXPECT_EQ(files.files.count("/d/out.kdf"), 1U);
    EXPECT_TRUE(zip.calls.empty());
}

TEST_F(EncryptionJobsTest, AnUnregisteredControlIsRegisteredFromTheProgramFolderAndCreated) {
    factory.registered.clear();
    EXPECT_TRUE(crpControl.Create());
    EXPECT_EQ(registration.registeredLibraries,
              std::vector<std::string>{"/opt/orvelle/libveilor64.so"});
    EXPECT_EQ(factory.requested, (std::vector<std::string>{"Veilor64.Veilor", "Veilor64.Veilor"}));
    EXPECT_TRUE(crpControl.Create());
    EXPECT_EQ(factory.requested.size(), 2U) << "one control for the page's lifetime";
}

}  // namespace
