// The program's own services for real, in a private home: the File Security page
// drives the cipher library found by its identifier (registered from the program
// folder on first use) and the ZIP components.

#include "CleanInternetPage.h"
#include "CleaningPages.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "FileSecurityPage.h"
#include "ProgramServices.h"
#include "TempEnvironment.h"
#include "frmMain.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

using namespace orvelle;
using orvelle::test::ReadFile;
using orvelle::test::WriteFile;

namespace {

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        posix_ = std::make_unique<wiring::ProgramServices>(&messageBox_);
        window_ = std::make_unique<shell::frmMain>(posix_->services);
        window_->Form_Load();
    }
    void TearDown() override {
        window_.reset();
        posix_.reset();
    }

    filesecurity::FileSecurityPage& Page() { return *window_->pageFileSecurity; }

    void Fill(const std::string& source, const std::string& destination, const char* passphrase) {
        Page().txtSource->setText(QString::fromStdString(source));
        Page().txtDestination->setText(QString::fromStdString(destination));
        Page().txtPassword->setText(QString::fromUtf8(passphrase));
        Page().txtReenter->setText(QString::fromUtf8(passphrase));
    }
    // Jobs yield while they work; wait until the buttons carry their captions again.
    void WaitForJob() {
        for (int i = 0; i < 500 && (Page().cmdEncrypt->text() != QStringLiteral("Encrypt") ||
                                    Page().cmdDecrypt->text() != QStringLiteral("Decrypt"));
             ++i) {
            QTest::qWait(10);
        }
    }

    test::TempEnvironment environment_;
    desktop::fake::FakeMessageBox messageBox_;
    std::unique_ptr<wiring::ProgramServices> posix_;
    std::unique_ptr<shell::frmMain> window_;
};

}  // namespace

TEST_F(EndToEndTest, AFileIsEncryptedIntoTheFormatAndDecryptedBack) {
    const std::string plain = environment_.Path("home/letter.txt");
    const std::string encrypted = environment_.Path("home/letter.kdf");
    const std::string restored = environment_.Path("home/restored.txt");
    WriteFile(plain, "Dear diary");

    Page().Option2->click();
    Page().Option4->click();
    Fill(plain, encrypted, "abc");
    Page().cmdEncrypt->click();
    WaitForJob();
    ASSERT_TRUE(messageBox_.shown.empty()) << messageBox_.shown.front().text;
    // Header: p(k) ^ p(9-k) of "abc-----"; body: the text XORed with the padded key.
    const std::string key = "abc-----";
    std::string expected;
    for (int k = 0; k < 8; ++k) {
        expected += static_cast<char>(key[static_cast<std::size_t>(k)] ^
                                      key[static_cast<std::size_t>(7 - k)]);
    }
    const std::string text = "Dear diary";
    for (std::size_t j = 0; j < text.size(); ++j) {
        expected += static_cast<char>(text[j] ^ key[j % 8]);
    }
    EXPECT_EQ(ReadFile(encrypted), expected);

    Page().Option3->click();
    Fill(encrypted, restored, "wrong");
    Page().cmdDecrypt->click();
    WaitForJob();
    ASSERT_EQ(messageBox_.shown.size(), 1U);
    EXPECT_EQ(messageBox_.shown[0].text, "Incorrect Password.");
    EXPECT_FALSE(test::Exists(restored));

    Fill(encrypted, restored, "abc");
    Page().cmdDecrypt->click();
    WaitForJob();
    EXPECT_EQ(messageBox_.shown.size(), 1U);
    EXPECT_EQ(ReadFile(restored), "Dear diary");
}

TEST_F(EndToEndTest, AFolderTravelsThroughOneEncryptedArchive) {
    const std::string folder = environment_.Path("home/Documents");
    test::MakeDirs(folder + "/Année/empty");
    WriteFile(folder + "/top.txt", "top");
    WriteFile(folder + "/Année/notes é.txt", std::string(300000, 'x'));
    WriteFile(folder + "/Année/zero.bin", "");
    const std::string archive = environment_.Path("home/Documents.kdf");
    const std::string restored = environment_.Path("home/Restored");

    Page().Option2->click();
    Page().Option5->click();
    Fill(folder, archive, "k8chars!");
    Page().cmdEncrypt->click();
    WaitForJob();
    ASSERT_TRUE(messageBox_.shown.empty()) << messageBox_.shown.front().text;
    ASSERT_TRUE(test::Exists(archive));
    EXPECT_FALSE(test::Exists(environment_.Path("tmp/CRY9999.TMP")))
        << "the unencrypted archive does not outlive its job";

    Page().Option3->click();
    Page().Option5->click();
    Fill(archive, restored, "k8chars!");
    Page().cmdDecrypt->click();
    WaitForJob();
    ASSERT_TRUE(messageBox_.shown.empty()) << messageBox_.shown.front().text;
    EXPECT_EQ(ReadFile(restored + "/top.txt"), "top");
    EXPECT_EQ(ReadFile(restored + "/Année/notes é.txt"), std::string(300000, 'x'));
    EXPECT_TRUE(test::Exists(restored + "/Année/zero.bin"));
    EXPECT_TRUE(std::filesystem::is_directory(restored + "/Année/empty"));
    EXPECT_FALSE(test::Exists(environment_.Path("tmp/CRY9999.TMP")));
}

// A store overwritten with garbage: the program and orvelle-reg both name it.
TEST(DamagedStoreTest, TheBoxNamesItTheCopyStaysANewStoreWorksAndTheToolFails) {
    test::TempEnvironment environment;
    const std::string path = environment.Path("config/orvelle/registry.db");
    test::MakeDirs(environment.Path("config/orvelle"));
    const std::string garbage(8192, '\x7f');
    test::WriteFile(path, garbage);

    const auto tool = [] {
        const std::string command = std::string(ORVELLE_REG) + " query \"HKCU\\Software\" 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string output;
        char buffer[256];
        while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        const int status = pipe != nullptr ? ::pclose(pipe) : -1;
        return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    };
    const auto [code, output] = tool();
    EXPECT_EQ(code, 1);
    EXPECT_NE(output.find(path), std::string::npos) << output;
    EXPECT_EQ(test::ReadFile(path), garbage) << "the tool only reports";

    desktop::fake::FakeMessageBox messageBox;
    {
        wiring::ProgramServices posix(&messageBox);
        EXPECT_TRUE(messageBox.shown.empty()) << "the main window says it, once";
        ASSERT_TRUE(posix.damagedStore.has_value());
        shell::frmMain window(posix.services);
        window.Form_Load();
        window.ShowStoreNotice(posix.StoreNotice(), posix.StoreUnreadable());
        ASSERT_EQ(messageBox.shown.size(), 1U) << "one box";
        const std::string& text = messageBox.shown[0].text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_NE(text.find(posix.damagedStore->copy), std::string::npos) << text;
        EXPECT_EQ(window.tabMain->currentWidget(),
                  static_cast<QWidget*>(window.cleaningPages->CleanInternet()))
            << "the cleaning options are shown";
        EXPECT_FALSE(window.IsScheduleHeld()) << "the new store can be read";
        EXPECT_EQ(test::ReadFile(posix.damagedStore->copy), garbage);
        ASSERT_TRUE(posix.core.registry.IsOpen());
        EXPECT_TRUE(posix.core.registry.OptionsUnconfirmed());
        posix.core.settings.SaveSetting("Orvelle", "Options", "StartUp", "1");
        EXPECT_EQ(posix.core.settings.GetSetting("Orvelle", "Options", "StartUp", "0"), "1");
        posix.OptionsShown();
        EXPECT_FALSE(posix.core.registry.OptionsUnconfirmed());
    }
    desktop::fake::FakeMessageBox secondBox;
    wiring::ProgramServices again(&secondBox);
    EXPECT_TRUE(secondBox.shown.empty()) << "the new store is sound";
    EXPECT_EQ(again.StoreNotice(), "");
    EXPECT_EQ(tool().first, 0);
}
