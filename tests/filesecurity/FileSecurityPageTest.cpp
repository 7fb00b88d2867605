#include "FakeAppServices.h"
#include "FakeDesktop.h"
#include "FakeFileSecurity.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FileSecurityPage.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "frmAbout.h"
#include "frmMain.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::filesecurity;
using filesecurity::FileSecurityPage;

namespace {

class FileSecurityPageTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    FileSecurityPageTest() {
        tempPath.path = "/tmp/u/";
        factory.onCreate = [](filesecurity::fake::FakeCipherControl& control) {
            control.transformFiles = false;
        };
        tmrProgress.setInterval(10);
    }

    std::unique_ptr<FileSecurityPage> MakePage() {
        auto page = std::make_unique<FileSecurityPage>(services.fileSecurity, tmrProgress,
                                                       [this] { ++aboutBoxes; });
        page->InitFileSecurityPage();
        return page;
    }
    static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static void Type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    filesecurity::fake::FakeCipherControl& Cipher() { return *factory.created.back(); }

    filesecurity::fake::FakeControlFactory& factory = controls;
    filesecurity::fake::FakeControlRegistration& registration = controlRegistration;
    filesecurity::fake::FakeArchiveWriter& zip = zipControl;
    filesecurity::fake::FakeArchiveReader& unzip = unzipControl;
    desktop::fake::FakeFileDialogs& picker = fileDialogs;
    QTimer tmrProgress;
    int aboutBoxes = 0;
};

TEST_F(FileSecurityPageTest, StartsInEncryptDirectionSingleFileScopeWithItsCaptions) {
    const auto page = MakePage();
    for (const char* name : {"fmKordex",
                             "Label11",
                             "Option2",
                             "Option3",
                             "Option4",
                             "Option5",
                             "lblSourceDestination",
                             "txtSource",
                             "txtDestination",
                             "cmdBrowseFileFolder",
                             "Label1",
                             "txtPassword",
                             "Label2",
                             "txtReenter",
                             "cmdEncrypt",
                             "cmdDecrypt",
                             "pgb",
                             "Option1",
                             "optBit",
                             "lblFileOrFolder",
                             "lblAbountZorvak"}) {
        EXPECT_NE(page->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(page->findChildren<QPushButton*>(QStringLiteral("cmdBrowseFileFolder")).size(), 2);
    EXPECT_EQ(page->cmdBrowseFileFolder[1]->property("Index").toInt(), 1);
    EXPECT_EQ(page->Label11->text(), QStringLiteral("File Security"));
    EXPECT_EQ(page->Option2->text(), QStringLiteral("Encrypt"));
    EXPECT_EQ(page->Option3->text(), QStringLiteral("Decrypt"));
    EXPECT_EQ(page->Option4->text(), QStringLiteral("Encrypt/Decrypt single file"));
    EXPECT_EQ(page->Option5->text(), QStringLiteral("Encrypt/Decrypt entire folder"));
    for (QRadioButton* option : {page->Option2, page->Option3, page->Option4, page->Option5}) {
        EXPECT_FALSE(option->isChecked()) << option->objectName().toStdString();
    }
    EXPECT_EQ(page->lblSourceDestination[0]->text(), QStringLiteral("Source File:"));
    EXPECT_EQ(page->lblSourceDestination[1]->text(), QStringLiteral("Destination File:"));
    EXPECT_EQ(page->Label1->text(), QStringLiteral("Password:"));
    EXPECT_EQ(page->Label2->text(), QStringLiteral("Re-enter:"));
    EXPECT_EQ(page->txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page->txtReenter->echoMode(), QLineEdit::Password);
    // What a .kdf file is worth, beside the passphrase fields, once a ".kdf" file is
    // the destination of an encryption, and only then.
    ASSERT_NE(page->lblKdfNotice, nullptr);
    EXPECT_EQ(
        page->lblKdfNotice->text(),
        QStringLiteral(".kdf files keep out casual readers only; they do not resist an attacker"));
    EXPECT_FALSE(page->lblKdfNotice->isVisibleTo(page.get()));
    EXPECT_EQ(page->lblKdfNotice->parentWidget(), page->txtPassword->parentWidget());
    Type(page->txtDestination, QStringLiteral("/home/u/a.kdf"));
    EXPECT_TRUE(page->lblKdfNotice->isVisibleTo(page.get()));
    Type(page->txtDestination, QStringLiteral("/home/u/a.age"));
    EXPECT_FALSE(page->lblKdfNotice->isVisibleTo(page.get()));
    Type(page->txtDestination, QStringLiteral("/home/u/a.kdf"));
    Click(page->Option3);
    Type(page->txtDestination, QStringLiteral("/home/u/a.kdf"));
    EXPECT_FALSE(page->lblKdfNotice->isVisibleTo(page.get())) << "shown while decrypting";
    Click(page->Option2);
    page->txtDestination->clear();
    EXPECT_TRUE(page->cmdEncrypt->isEnabled());
    EXPECT_FALSE(page->cmdDecrypt->isEnabled());
    EXPECT_EQ(page->cmdEncrypt->text(), QStringLiteral("Encrypt"));
    EXPECT_EQ(page->cmdDecrypt->text(), QStringLiteral("Decrypt"));
    EXPECT_EQ(page->pgb->minimum(), 0);
    EXPECT_EQ(page->pgb->maximum(), 100);
    EXPECT_EQ(page->pgb->value(), 0);
    EXPECT_EQ(page->Option1->text(), QStringLiteral("64 bit"));
    EXPECT_EQ(page->optBit->text(), QStringLiteral("128 bit"));
    EXPECT_EQ(page->lblFileOrFolder->text(),
              QStringLiteral("Click here to encrypt/decrypt an entire folder"));
    EXPECT_FALSE(tmrProgress.isActive());
    EXPECT_TRUE(messageBox.shown.empty());

    // Browse for the source right after start: the open dialog with every file.
    picker.answer = "/home/u/a.txt";
    Click(page->cmdBrowseFileFolder[0]);
    ASSERT_EQ(picker.calls.size(), 1U);
    EXPECT_EQ(picker.calls[0].what, "open");
    EXPECT_EQ(picker.calls[0].request.filter, "All Files (*.*) | *.*");
    EXPECT_EQ(page->txtSource->text(), QStringLiteral("/home/u/a.txt"));
}

TEST_F(FileSecurityPageTest, DirectionAndScopeSetTheCaptionsEmptyThePathsAndKeepThePassphrase) {
    const auto page = MakePage();
    page->show();
    const struct {
        QRadioButton* FileSecurityPage::*click;
        const char* source;
        const char* destination;
        bool encryptEnabled;
    } steps[] = {
        {&FileSecurityPage::Option3, "Source File:", "Destination File:", false},
        {&FileSecurityPage::Option5, "Source File:", "Destination Folder:", false},
        {&FileSecurityPage::Option2, "Source Folder:", "Destination File:", true},
        {&FileSecurityPage::Option4, "Source File:", "Destination File:", true},
        {&FileSecurityPage::Option5, "Source Folder:", "Destination File:", true},
        {&FileSecurityPage::Option3, "Source File:", "Destination Folder:", false},
        {&FileSecurityPage::Option4, "Source File:", "Destination File:", false},
    };
    Type(page->txtPassword, QStringLiteral("pass"));
    for (const auto& step : steps) {
        page->txtSource->setText(QStringLiteral("/s"));
        page->txtDestination->setText(QStringLiteral("/d"));
        QRadioButton* button = (*page).*step.click;
        Click(button);
        const std::string name = button->objectName().toStdString();
        EXPECT_TRUE(button->isChecked()) << name;
        EXPECT_EQ(page->lblSourceDestination[0]->text().toStdString(), step.source) << name;
        EXPECT_EQ(page->lblSourceDestination[1]->text().toStdString(), step.destination) << name;
        EXPECT_EQ(page->cmdEncrypt->isEnabled(), step.encryptEnabled) << name;
        EXPECT_NE(page->cmdDecrypt->isEnabled(), step.encryptEnabled) << name;
        EXPECT_TRUE(page->txtSource->text().isEmpty()) << name;
        EXPECT_TRUE(page->txtDestination->text().isEmpty()) << name;
        EXPECT_EQ(page->txtPassword->text(), QStringLiteral("pass")) << name;
    }
}

TEST_F(FileSecurityPageTest, BrowseOpensThePickerOfItsFieldAndACancelEmptiesTheBox) {
    const auto page = MakePage();
    const struct {
        QRadioButton* FileSecurityPage::*direction;
        QRadioButton* FileSecurityPage::*scope;
        int index;
        const char* what;
        const char* filter;
        const char* answer;
        const char* shown;
    } rows[] = {
        {&FileSecurityPage::Option2, &FileSecurityPage::Option4, 0, "open", "All Files (*.*) | *.*",
         "/a.txt", "/a.txt"},
        {&FileSecurityPage::Option2, &FileSecurityPage::Option4, 1, "save",
         filesecurity::kEncryptedFilesFilter, "/a.kdf", "/a.kdf"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option4, 0, "open",
         filesecurity::kEncryptedSourcesFilter, "/a.kdf", "/a.kdf"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option4, 1, "save", "All Files (*.*) | *.*",
         "/b.txt", "/b.txt"},
        {&FileSecurityPage::Option2, &FileSecurityPage::Option5, 0, "folder", "", "/home/u/docs/",
         "/home/u/docs"},
        {&FileSecurityPage::Option2, &FileSecurityPage::Option5, 1, "save",
         filesecurity::kEncryptedFilesFilter, "/d.age", "/d.age"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option5, 0, "open",
         filesecurity::kEncryptedSourcesFilter, "/d.age", "/d.age"},
        {&FileSecurityPage::Option3, &FileSecurityPage::Option5, 1, "folder", "", "/", "/"},
    };
    for (const auto& row : rows) {
        ((*page).*row.direction)->click();
        ((*page).*row.scope)->click();
        QLineEdit* box = row.index == 0 ? page->txtSource : page->txtDestination;
        picker.calls.clear();
        picker.answer = row.answer;
        Click(page->cmdBrowseFileFolder[static_cast<std::size_t>(row.index)]);
        ASSERT_EQ(picker.calls.size(), 1U) << row.what << row.index;
        EXPECT_EQ(picker.calls[0].what, row.what) << row.index << row.answer;
        EXPECT_EQ(picker.calls[0].request.filter, row.filter) << row.index << row.answer;
        EXPECT_EQ(box->text().toStdString(), row.shown);

        picker.answer.reset();
        Click(page->cmdBrowseFileFolder[static_cast<std::size_t>(row.index)]);
        EXPECT_TRUE(box->text().isEmpty()) << "a cancelled picker empties its box";
    }
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(FileSecurityPageTest, AFailingPickerIsShownTitledWithTheWindowCaption) {
    const auto page = MakePage();
    page->setWindowTitle(QStringLiteral("Orvelle v2.1"));
    page->txtSource->setText(QStringLiteral("/old"));
    picker.failWith = RuntimeError(20476, "Buffer too small");
    Click(page->cmdBrowseFileFolder[0]);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Buffer too small");
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle v2.1");
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(page->txtSource->text().isEmpty());
}

TEST_F(FileSecurityPageTest, AFieldProblemMovesTheFocusToTheFirstBrowseButton) {
    const auto page = MakePage();
    page->show();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    Type(page->txtPassword, QStringLiteral("pw"));
    Type(page->txtReenter, QStringLiteral("pw"));
    page->txtSource->setText(QStringLiteral("/d/a.txt"));
    page->txtDestination->setFocus();
    Click(page->cmdEncrypt);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Specify destination file.");
    EXPECT_EQ(QApplication::focusWidget(), page->cmdBrowseFileFolder[0]);
}

TEST_F(FileSecurityPageTest, PassphraseChecksComeFirstAndTheScopePicksTheJob) {
    const auto page = MakePage();
    files.files["/d/in.kdf"] = "enc";
    Type(page->txtPassword, QStringLiteral("   "));
    Type(page->txtReenter, QStringLiteral("   "));
    page->txtSource->setText(QStringLiteral("/d/a.txt"));
    page->txtDestination->setText(QStringLiteral("/d/a.kdf"));
    Click(page->cmdEncrypt);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].text, "Empty is not valid.");
    EXPECT_TRUE(Cipher().calls.empty());

    Type(page->txtPassword, QStringLiteral(" ab"));
    Type(page->txtReenter, QStringLiteral("ab  "));
    Click(page->cmdEncrypt);
    EXPECT_EQ(messageBox.shown.size(), 1U);
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].method, "Encrypt");
    EXPECT_EQ(Cipher().calls[0].passPhrase, " ab") << "untrimmed for the cipher";
    EXPECT_TRUE(zip.calls.empty()) << "single-file scope";

    page->Option5->click();
    page->txtSource->setText(QStringLiteral("/home/u/docs"));
    page->txtDestination->setText(QStringLiteral("/d/docs.kdf"));
    Click(page->cmdEncrypt);
    EXPECT_EQ(zip.calls.size(), 1U);

    page->Option3->click();
    page->txtSource->setText(QStringLiteral("/d/in.kdf"));
    page->txtDestination->setText(QStringLiteral("/home/u/out"));
    Click(page->cmdDecrypt);
    EXPECT_EQ(unzip.calls.size(), 1U);
    EXPECT_EQ(Cipher().calls.back().method, "Decrypt");
    EXPECT_EQ(messageBox.shown.size(), 1U);
}

TEST_F(FileSecurityPageTest, WhileAFolderIsPackedTheTimerDrivesTheBarAndClicksStartNothing) {
    const auto page = MakePage();
    page->show();
    page->Option5->click();
    Type(page->txtPassword, QStringLiteral("pw"));
    Type(page->txtReenter, QStringLiteral("pw"));
    page->txtSource->setText(QStringLiteral("/home/u/docs"));
    page->txtDestination->setText(QStringLiteral("/d/docs.kdf"));
    zip.progressPoints = {0, 37, 100};
    std::vector<int> barDuringWork;
    zip.duringWork = [&](int percent) {
        if (percent != 37) {
            return;
        }
        EXPECT_EQ(page->cmdEncrypt->text(), QStringLiteral("Cancel"));
        EXPECT_TRUE(tmrProgress.isActive());
        // The 10 ms timer ticks while the user interface has its turn.
        static_cast<void>(QTest::qWaitFor([&] { return page->pgb->value() == 37; }, 5000));
        barDuringWork.push_back(page->pgb->value());
        // "Cancel" and the passphrase boxes stay live, but no second job starts.
        Type(page->txtReenter, QStringLiteral("different"));
        Click(page->cmdEncrypt);
        EXPECT_TRUE(messageBox.shown.empty());
    };
    Click(page->cmdEncrypt);
    EXPECT_EQ(barDuringWork, std::vector<int>{37});
    EXPECT_EQ(zip.calls.size(), 1U);
    EXPECT_EQ(page->cmdEncrypt->text(), QStringLiteral("Encrypt"));
    EXPECT_FALSE(tmrProgress.isActive());
    EXPECT_EQ(page->pgb->value(), 0);
    EXPECT_TRUE(messageBox.shown.empty());
}

// A file job: the page's own bar follows the cipher, and the page says what was done.
TEST_F(FileSecurityPageTest, TheBarFollowsTheCipherAndThePageSaysWhatWasDone) {
    const auto page = MakePage();
    page->show();
    files.files["/d/a.txt"] = "the source";
    Type(page->txtPassword, QStringLiteral("pw"));
    Type(page->txtReenter, QStringLiteral("pw"));
    const struct {
        QRadioButton* direction;
        QPushButton* button;
        const char* method;
        QString destination;
        QString outcome;
    } rows[] = {
        {page->Option2, page->cmdEncrypt, "Encrypt", QStringLiteral("/d/a.age"),
         QStringLiteral("Encrypted /d/a.txt into /d/a.age.")},
        {page->Option3, page->cmdDecrypt, "Decrypt", QStringLiteral("/d/back.txt"),
         QStringLiteral("Decrypted /d/a.txt into /d/back.txt.")},
    };
    for (const auto& row : rows) {
        row.direction->click();
        page->txtSource->setText(QStringLiteral("/d/a.txt"));
        page->txtDestination->setText(row.destination);
        std::vector<int> bar;
        Cipher().onCall = [&](const filesecurity::fake::FakeCipherControl::Call& call) {
            EXPECT_EQ(call.method, row.method);
            ASSERT_TRUE(Cipher().progressHandler) << "the page does not follow the cipher";
            for (const int percent : {12, 57, 100}) {
                Cipher().progressHandler(percent);
                bar.push_back(page->pgb->value());
            }
            EXPECT_FALSE(page->lblOutcome->isVisibleTo(page.get()));
        };
        Click(row.button);
        EXPECT_EQ(bar, (std::vector<int>{12, 57, 100})) << row.method;
        EXPECT_EQ(page->pgb->value(), 0);
        EXPECT_FALSE(Cipher().progressHandler) << "the handler outlived the job";
        EXPECT_TRUE(page->lblOutcome->isVisibleTo(page.get()));
        EXPECT_EQ(page->lblOutcome->text(), row.outcome);
        EXPECT_TRUE(messageBox.shown.empty());
    }

    // A failing job says nothing of success.
    Cipher().onCall = [](const filesecurity::fake::FakeCipherControl::Call&) {
        throw RuntimeError(64101, "Incorrect Password.");
    };
    Click(page->cmdDecrypt);
    EXPECT_FALSE(page->lblOutcome->isVisibleTo(page.get()));
    ASSERT_EQ(messageBox.shown.size(), 1U);
}

// An encrypted file opened from the file manager: the page is set to decrypt it, and
// nothing more happens until the user types the passphrase and clicks.
TEST_F(FileSecurityPageTest, AnOpenedFileSetsThePageToDecryptItAndStartsNothing) {
    const auto page = MakePage();
    page->show();
    page->Option5->click();
    page->txtSource->setText(QStringLiteral("/elsewhere"));
    page->PrepareDecryption("/home/u/report.pdf.age");
    EXPECT_TRUE(page->Option3->isChecked());
    EXPECT_TRUE(page->Option4->isChecked());
    EXPECT_TRUE(page->cmdDecrypt->isEnabled());
    EXPECT_FALSE(page->cmdEncrypt->isEnabled());
    EXPECT_EQ(page->lblSourceDestination[0]->text(), QStringLiteral("Source File:"));
    EXPECT_EQ(page->lblSourceDestination[1]->text(), QStringLiteral("Destination File:"));
    EXPECT_EQ(page->txtSource->text(), QStringLiteral("/home/u/report.pdf.age"));
    EXPECT_EQ(page->txtDestination->text(), QStringLiteral("/home/u/report.pdf"));
    EXPECT_FALSE(page->lblKdfNotice->isVisibleTo(page.get()));
    EXPECT_TRUE(Cipher().calls.empty()) << "opening a file decrypted it";
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(FileSecurityPageTest, AnAgePassphraseOfAnyLengthAndScriptReachesTheCipherWhole) {
    const auto page = MakePage();
    QString passphrase;
    while (passphrase.size() < 300) {
        passphrase += QString::fromUtf8("\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC ");
    }
    // setText keeps at most the box's maximum length.
    page->txtPassword->setText(passphrase);
    page->txtReenter->setText(passphrase);
    page->txtSource->setText(QStringLiteral("/d/a.txt"));
    page->txtDestination->setText(QStringLiteral("/d/a.age"));
    Click(page->cmdEncrypt);
    ASSERT_EQ(Cipher().calls.size(), 1U);
    EXPECT_EQ(Cipher().calls[0].passPhrase, passphrase.toStdString());
    EXPECT_TRUE(page->lblAgeAdvice->text().contains(QStringLiteral("\".age\"")));
}

TEST_F(FileSecurityPageTest, TheAboutLinkOpensTheAboutBox) {
    const auto page = MakePage();
    page->show();
    QTest::mouseClick(page->lblAbountZorvak, Qt::LeftButton);
    EXPECT_EQ(aboutBoxes, 1);
}

TEST_F(FileSecurityPageTest, LoadingRegistersTheAssociationAndTheControl) {
    factory.registered.clear();
    const auto page = MakePage();
    shell::RegistryLayer layer(registry, messageBox);
    EXPECT_EQ(layer.QueryMachineValue("SOFTWARE\\Classes\\kdf_auto_file", ""), "Kordex File");
    ASSERT_EQ(fileTypes.requests.size(), 2U);
    EXPECT_EQ(fileTypes.requests[1].mimeType, "application/x-age");
    EXPECT_EQ(fileTypes.requests[1].glob, "*.age");
    EXPECT_EQ(fileTypes.requests[1].programPath, "/opt/orvelle/orvelle");
    EXPECT_NE(fileTypes.requests[1].id, fileTypes.requests[0].id);
    EXPECT_EQ(fileTypes.requests[0].mimeType, "application/x-kordex");
    EXPECT_EQ(fileTypes.requests[0].glob, "*.kdf");
    EXPECT_EQ(fileTypes.requests[0].description, "Kordex File");
    EXPECT_EQ(fileTypes.requests[0].programPath, "/opt/orvelle/orvelle");
    EXPECT_EQ(registration.registeredLibraries,
              std::vector<std::string>{"/opt/orvelle/libveilor64.so"});
    EXPECT_TRUE(page->crpControl.IsCreated());
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(FileSecurityPageTest, AControlThatCannotBeHadIsReportedByTheJobNotAtLoad) {
    factory.registered.clear();
    registration.works = false;
    const auto page = MakePage();
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_FALSE(page->crpControl.IsCreated());
    Type(page->txtPassword, QStringLiteral("pw"));
    Type(page->txtReenter, QStringLiteral("pw"));
    page->txtSource->setText(QStringLiteral("/d/a.txt"));
    page->txtDestination->setText(QStringLiteral("/d/a.kdf"));
    Click(page->cmdEncrypt);
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Critical);
    EXPECT_NE(messageBox.shown[0].text.find("Veilor64.Veilor"), std::string::npos);
}

TEST_F(FileSecurityPageTest, TheMainWindowHostsThePageAndItsLoadStep) {
    shell::frmMain window(services);
    ASSERT_EQ(window.tabMain->widget(shell::frmMain::kFileSecurityPage), window.pageFileSecurity);
    EXPECT_EQ(window.tabMain->tabText(shell::frmMain::kFileSecurityPage),
              QStringLiteral("File Security"));
    EXPECT_EQ(window.pageFileSecurity->objectName(), QStringLiteral("pageFileSecurity"));
    EXPECT_EQ(window.tabMain->count(), 6);
    EXPECT_TRUE(fileTypes.requests.empty()) << "nothing before the load step";

    window.Form_Load();
    EXPECT_EQ(fileTypes.requests.size(), 2U) << ".kdf and .age";
    EXPECT_EQ(window.pageFileSecurity->lblFileOrFolder->text(),
              QStringLiteral("Click here to encrypt/decrypt an entire folder"));

    // The page drives the main window's own timer.
    window.pageFileSecurity->EnableProgressTimer(true);
    EXPECT_TRUE(window.tmrProgress->isActive());
    window.pageFileSecurity->EnableProgressTimer(false);

    QString seenCaption;
    QTimer::singleShot(0, [&] {
        if (auto* about = qobject_cast<shell::frmAbout*>(QApplication::activeModalWidget())) {
            seenCaption = about->windowTitle();
            about->cmdOK->click();
        }
    });
    window.pageFileSecurity->lblAbountZorvak_Click();
    EXPECT_EQ(seenCaption, QStringLiteral("About Orvelle v2.1"));
}

}  // namespace
