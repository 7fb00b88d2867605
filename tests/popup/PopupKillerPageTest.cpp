// The Popup Killer page inside the main window: the switch and the tray menu item,
// the sound file and "wavpath.txt", and the window log, over fake platform services.

#include "FakeAppServices.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "PopupKillerPage.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "VbCheckBox.h"
#include "frmMain.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace orvelle;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::browsers;

namespace {

// The real settings store, counting the writes.
class CountingSettings final : public ISettingsStore {
public:
    explicit CountingSettings(ISettingsStore& inner) : inner_(inner) {}
    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        return inner_.GetSetting(application, section, key, defaultValue);
    }
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override {
        saves.push_back(section + "/" + key + "=" + value);
        inner_.SaveSetting(application, section, key, value);
    }
    std::vector<std::string> saves;

private:
    ISettingsStore& inner_;
};

class PopupKillerPageTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    std::unique_ptr<shell::frmMain> Load() {
        auto window = std::make_unique<shell::frmMain>(countedServices);
        window->Form_Load();
        return window;
    }
    std::string Stored() {
        return store.GetSetting("Orvelle", "PopupKiller", "IsActive", "(none)");
    }
    static popup::ui::PopupKillerPage& Page(shell::frmMain& window) {
        return *window.pagePopupKiller;
    }
    static std::vector<QStringList> Rows(shell::frmMain& window) {
        std::vector<QStringList> rows;
        QTreeWidget* list = window.pagePopupKiller->vindows;
        for (int index = 0; index < list->topLevelItemCount(); ++index) {
            QTreeWidgetItem* item = list->topLevelItem(index);
            rows.push_back({item->data(0, popup::ui::PopupKillerPage::kRowKeyRole).toString(),
                            item->text(0), item->text(1), item->text(2)});
        }
        return rows;
    }

    RegistrySettingsStore& store = FakeAppServices::settings;
    CountingSettings counting{store};
    shell::AppServices countedServices = WithSettings(counting);
};

}  // namespace

TEST_F(PopupKillerPageTest, ThePageHasItsControlsWithTheirTexts) {
    auto window = Load();
    ASSERT_EQ(window->tabMain->widget(shell::frmMain::kPopupKillerPage), window->pagePopupKiller);
    EXPECT_EQ(window->tabMain->tabText(shell::frmMain::kPopupKillerPage).trimmed(),
              QStringLiteral("Popup Killer"));
    auto& page = Page(*window);
    for (const char* name :
         {"Frame1", "chkPopupKillerActivate", "Command1", "Label14", "vindows"}) {
        EXPECT_NE(window->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(page.chkPopupKillerActivate->text(), QStringLiteral("Activate Popup Killer"));
    EXPECT_EQ(page.Command1->text(), QStringLiteral("Change Wav File"));
    ASSERT_EQ(page.vindows->columnCount(), 3);
    const QTreeWidgetItem* header = page.vindows->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Location"));
    EXPECT_EQ(header->text(1), QStringLiteral("URL"));
    EXPECT_EQ(header->text(2), QStringLiteral("Time"));
}

TEST_F(PopupKillerPageTest, TheStoredSwitchSetsBoxMenuAndKiller) {
    const struct {
        const char* stored;  // null: no PopupKiller section
        bool on;
        std::vector<std::string> saves;
    } rows[] = {
        {nullptr, true, {"PopupKiller/IsActive=1"}},
        {"1", true, {"PopupKiller/IsActive=1"}},
        {"", true, {"PopupKiller/IsActive=1"}},
        {"no", true, {"PopupKiller/IsActive=1"}},
        {"0", false, {}},  // the box starts cleared: clearing it runs no handler
    };
    for (const auto& row : rows) {
        const std::string what = row.stored == nullptr ? "(missing)" : row.stored;
        registry.RegDeleteTreeA(HKEY_CURRENT_USER, RegistrySettingsStore::kRoot);
        if (row.stored != nullptr) {
            store.SaveSetting("Orvelle", "PopupKiller", "IsActive", row.stored);
        }
        counting.saves.clear();
        auto window = Load();
        auto& page = Page(*window);
        EXPECT_EQ(page.chkPopupKillerActivate->Value(), row.on ? 1 : 0) << what;
        EXPECT_EQ(window->mnuPoupKiller->isChecked(), row.on) << what;
        EXPECT_EQ(page.State().IsActive(), row.on) << what;
        EXPECT_EQ(counting.saves, row.saves) << what;
        EXPECT_EQ(Stored(), row.on ? "1" : "0") << what;
    }
}

TEST_F(PopupKillerPageTest, TheMenuItemAndTheCheckBoxGoRoundTogether) {
    auto window = Load();
    auto& page = Page(*window);
    ASSERT_TRUE(window->mnuPoupKiller->isChecked());
    counting.saves.clear();

    window->mnuPoupKiller->trigger();  // chosen while ticked
    EXPECT_FALSE(window->mnuPoupKiller->isChecked());
    EXPECT_EQ(page.chkPopupKillerActivate->Value(), 0);
    EXPECT_FALSE(page.State().IsActive());
    EXPECT_EQ(Stored(), "0");
    EXPECT_EQ(counting.saves,
              (std::vector<std::string>{"PopupKiller/IsActive=0", "PopupKiller/IsActive=0"}))
        << "the menu saves, then the box's handler saves again";

    window->mnuPoupKiller->trigger();
    EXPECT_TRUE(window->mnuPoupKiller->isChecked());
    EXPECT_EQ(page.chkPopupKillerActivate->Value(), 1);
    EXPECT_TRUE(page.State().IsActive());
    EXPECT_EQ(Stored(), "1");

    // The user clicks the box: the menu follows.
    window->show();
    window->tabMain->setCurrentIndex(shell::frmMain::kPopupKillerPage);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::mouseClick(page.chkPopupKillerActivate, Qt::LeftButton, {},
                      QPoint(6, page.chkPopupKillerActivate->height() / 2));
    EXPECT_EQ(page.chkPopupKillerActivate->Value(), 0);
    EXPECT_FALSE(window->mnuPoupKiller->isChecked());
    EXPECT_FALSE(page.State().IsActive());
    EXPECT_EQ(Stored(), "0");
}

TEST_F(PopupKillerPageTest, TheSwitchDecidesWhetherAPopupIsBlocked) {
    auto opener =
        std::make_shared<browsers::fake::FakeBrowserWindow>(300, "Opener", "http://opener/");
    browsers.windows.push_back(opener);
    files.files["/opt/orvelle/wavpath.txt"] = "/snd/pop.wav\r\n";
    auto window = Load();
    EXPECT_TRUE(opener->FireNewWindow2());
    EXPECT_EQ(sound.played, std::vector<std::string>{"/snd/pop.wav"});
    window->mnuPoupKiller->trigger();
    EXPECT_FALSE(opener->FireNewWindow2());
    EXPECT_EQ(sound.played.size(), 1U);
}

TEST_F(PopupKillerPageTest, TheSwitchIsPushedToTheBrowsersAsItChanges) {
    store.SaveSetting("Orvelle", "PopupKiller", "IsActive", "0");
    auto window = Load();
    EXPECT_EQ(browsers.blockingPushed, std::vector<bool>{false});
    Page(*window).chkPopupKillerActivate->SetValue(1);
    window->mnuPoupKiller->trigger();
    // The menu item switches, then its box's handler switches again to the same state.
    EXPECT_EQ(browsers.blockingPushed, (std::vector<bool>{false, true, false, false}));
    EXPECT_EQ(Stored(), "0");
}

TEST_F(PopupKillerPageTest, ThePageNamesTheConnectedBrowsersOrTellsHowToConnectOne) {
    browsers.hint = "No browser is connected: restart Firefox.";
    auto window = Load();
    QLabel* label = Page(*window).lblBrowsers;
    EXPECT_EQ(label->text(), QStringLiteral("No browser is connected: restart Firefox."));

    browsers.connected = {"Firefox 153.8.0", "Chromium 156"};
    browsers.Register(0x200000, "Opener Page", "http://127.0.0.1/opener.html");
    EXPECT_EQ(label->text(), QStringLiteral("Connected: Firefox 153.8.0, Chromium 156. Hold Ctrl "
                                            "to let a pop-up open."));

    browsers.connected.clear();
    browsers.hint.clear();
    browsers.Revoke(0x200000);
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("No browser is connected")));
}

TEST_F(PopupKillerPageTest, TheSoundFileIsReadAtStartAndShownInLabel14) {
    files.files["/opt/orvelle/wavpath.txt"] = "/home/u/my sound.wav\r\n";
    auto window = Load();
    EXPECT_EQ(Page(*window).Label14->text(), QStringLiteral("/home/u/my sound.wav"));
    EXPECT_EQ(window->PopupSoundPath(), "/home/u/my sound.wav");

    files.files.clear();
    auto fresh = Load();
    EXPECT_EQ(Page(*fresh).Label14->text(), QString());
    EXPECT_TRUE(messageBox.shown.empty()) << "a missing file only means the default sound";
}

TEST_F(PopupKillerPageTest, ChangeWavFileAsksTheDialogAndKeepsTheChoiceInWavpath) {
    files.files["/opt/orvelle/wavpath.txt"] = "/snd/old.wav\r\n";
    auto window = Load();
    auto& page = Page(*window);
    fileDialogs.answer = "/home/u/sounds/new ding.wav";
    page.Command1->click();

    ASSERT_EQ(fileDialogs.calls.size(), 1U);
    EXPECT_EQ(fileDialogs.calls[0].what, "open");
    const FileDialogRequest& request = fileDialogs.calls[0].request;
    EXPECT_EQ(request.initialFolder, "/opt/orvelle");
    EXPECT_EQ(request.filter, "Wav files |*.wav");
    EXPECT_EQ(request.title, "Choose a Wav file to open");
    EXPECT_EQ(request.fileName, "/snd/old.wav");
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/home/u/sounds/new ding.wav\r\n");
    EXPECT_EQ(page.Label14->text(), QStringLiteral("/home/u/sounds/new ding.wav"));
    EXPECT_EQ(page.State().SoundPath(), "/home/u/sounds/new ding.wav");

    // Cancelled: the previous name is written again.
    fileDialogs.answer.reset();
    page.Command1->click();
    EXPECT_EQ(fileDialogs.calls.back().request.fileName, "/home/u/sounds/new ding.wav");
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/home/u/sounds/new ding.wav\r\n");
    EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(PopupKillerPageTest, InstalledTheChoiceLivesInTheUsersFolderAndTheDefaultInTheDataFolder) {
    process.folder = "/usr/lib/x86_64-linux-gnu/orvelle";
    process.dataFolder = "/usr/share/orvelle";
    process.keepsUserFiles = false;
    files.files["/home/u/.config/orvelle/wavpath.txt"] = "/snd/mine.wav\r\n";
    auto window = Load();
    auto& page = Page(*window);
    EXPECT_EQ(page.Label14->text(), QStringLiteral("/snd/mine.wav"));

    fileDialogs.answer = "/snd/new.wav";
    page.Command1->click();
    EXPECT_EQ(fileDialogs.calls.back().request.initialFolder, "/usr/share/orvelle")
        << "where the program's own sound lies";
    EXPECT_EQ(files.files.at("/home/u/.config/orvelle/wavpath.txt"), "/snd/new.wav\r\n");
    EXPECT_FALSE(files.FileExists("/usr/lib/x86_64-linux-gnu/orvelle/wavpath.txt"));
    EXPECT_TRUE(messageBox.shown.empty());

    auto opener =
        std::make_shared<browsers::fake::FakeBrowserWindow>(300, "Opener", "http://opener/");
    browsers.windows.push_back(opener);
    files.files.clear();
    auto fresh = Load();
    EXPECT_TRUE(opener->FireNewWindow2());
    EXPECT_EQ(sound.played, std::vector<std::string>{"/usr/share/orvelle/ding.wav"});
}

TEST_F(PopupKillerPageTest, ACancelledDialogAfterTheDefaultWasTakenStoresTheDefault) {
    auto opener =
        std::make_shared<browsers::fake::FakeBrowserWindow>(300, "Opener", "http://opener/");
    browsers.windows.push_back(opener);
    auto window = Load();
    EXPECT_TRUE(opener->FireNewWindow2());
    EXPECT_EQ(sound.played, std::vector<std::string>{"/opt/orvelle/ding.wav"});
    EXPECT_FALSE(files.FileExists("/opt/orvelle/wavpath.txt")) << "the default is not saved";
    Page(*window).Command1->click();
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/opt/orvelle/ding.wav\r\n");
}

TEST_F(PopupKillerPageTest, AWavpathThatCannotBeWrittenIsReportedAndTheChoiceStillHolds) {
    auto window = Load();
    auto& page = Page(*window);
    files.failWrites = true;
    fileDialogs.answer = "/snd/new.wav";
    page.Command1->click();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(messageBox.shown[0].title, "Orvelle");
    EXPECT_EQ(messageBox.shown[0].text.rfind("Error: 70 - ", 0), 0U) << messageBox.shown[0].text;
    EXPECT_EQ(page.State().SoundPath(), "/snd/new.wav") << "used until the program ends";
    EXPECT_EQ(page.Label14->text(), QStringLiteral("/snd/new.wav"));
}

TEST_F(PopupKillerPageTest, AFileNameWithALineBreakIsRefusedAndNothingChanges) {
    files.files["/opt/orvelle/wavpath.txt"] = "/snd/old.wav\r\n";
    auto window = Load();
    auto& page = Page(*window);
    fileDialogs.answer = "/snd/two\nlines.wav";
    page.Command1->click();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_NE(messageBox.shown[0].text.find("line break"), std::string::npos);
    EXPECT_EQ(page.State().SoundPath(), "/snd/old.wav");
    EXPECT_EQ(page.Label14->text(), QStringLiteral("/snd/old.wav"));
    EXPECT_EQ(files.files.at("/opt/orvelle/wavpath.txt"), "/snd/old.wav\r\n");
}

TEST_F(PopupKillerPageTest, AnUnreadableWavpathIsReportedAndTheWindowLoadsAllTheSame) {
    files.files["/opt/orvelle/wavpath.txt"] = "/snd/a.wav\r\n";
    files.failReads = true;
    auto window = Load();
    ASSERT_EQ(messageBox.shown.size(), 1U);
    EXPECT_EQ(window->PopupSoundPath(), "");
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("Ready"));
    EXPECT_TRUE(window->mnuPoupKiller->isChecked());
}

TEST_F(PopupKillerPageTest, TheWindowLogFollowsTheWindowListButNotTheStart) {
    browsers.windows.push_back(
        std::make_shared<browsers::fake::FakeBrowserWindow>(5000, "Start page", "http://start/"));
    browsers.windows.push_back(
        std::make_shared<browsers::fake::FakeBrowserWindow>(42, "News", "http://news/"));
    clock.now.hour = 15;
    clock.now.minute = 4;
    clock.now.second = 5;
    auto window = Load();
    ASSERT_NE(window->IEWin, nullptr);
    EXPECT_EQ(window->IEWin->Count(), 2) << "the collection is built at start";
    EXPECT_TRUE(Rows(*window).empty()) << "start-up itself does not fill the log";

    browsers.Register(43, "Weather", "http://weather/");
    const std::vector<QStringList> expected = {
        {QStringLiteral("5000K"), QStringLiteral("Start page"), QStringLiteral("http://start/"),
         QStringLiteral("03:04:05 PM")},
        {QStringLiteral("42K"), QStringLiteral("News"), QStringLiteral("http://news/"),
         QStringLiteral("03:04:05 PM")},
        {QStringLiteral("43K"), QStringLiteral("Weather"), QStringLiteral("http://weather/"),
         QStringLiteral("03:04:05 PM")},
    };
    EXPECT_EQ(Rows(*window), expected);
    EXPECT_NE(Page(*window).FindRow(QStringLiteral("5000K")), nullptr);

    clock.now.hour = 9;
    browsers.Revoke(42);
    const auto rows = Rows(*window);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0][0], QStringLiteral("5000K"));
    EXPECT_EQ(rows[1][0], QStringLiteral("43K"));
    EXPECT_EQ(rows[0][3], QStringLiteral("09:04:05 AM")) << "every row shows the latest refresh";
    EXPECT_EQ(rows[1][3], QStringLiteral("09:04:05 AM"));
}
