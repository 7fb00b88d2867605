// The preview window over the program's own services: it lists, per checked option,
// what the terminal preview's finder finds (the trace catalog's items, the folders'
// files, the profiles left alone, a warning where the user's own files go) and it
// changes nothing in the home.

#include "CleanComputerPage.h"
#include "CleaningMainPanel.h"
#include "CleaningOptions.h"
#include "CleaningPages.h"
#include "FakeAppServices.h"
#include "FakeTraceCatalog.h"
#include "TempEnvironment.h"
#include "VbCheckBox.h"
#include "frmMain.h"
#include "frmPreview.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::traces;
using orvelle::test::MakeDirs;
using orvelle::test::TempEnvironment;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

void Put(const std::string& path, const std::string& content) {
    MakeDirs(fs::path(path).parent_path().string());
    orvelle::test::WriteFile(path, content);
}

// Every entry below `root` with its kind, size, times and content: what "not a byte
// changed" compares.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        EXPECT_EQ(lstat(entry.path().c_str(), &info), 0) << entry.path();
        std::ostringstream shown;
        shown << info.st_mode << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec << '.'
              << info.st_mtim.tv_nsec << ' ' << info.st_ctim.tv_sec << '.' << info.st_ctim.tv_nsec;
        if (S_ISREG(info.st_mode)) {
            std::ifstream file(entry.path(), std::ios::binary);
            shown << ' ' << file.rdbuf();
        }
        entries[entry.path().string()] = shown.str();
    }
    return entries;
}

class frmPreviewTest : public ::testing::Test, protected test::FakeAppServices {
protected:
    void SetUp() override {
        temp = environment.Path("tmp");
        documents = environment.Path("home/Documents");
        MakeDirs(temp);
        ASSERT_EQ(chmod(temp.c_str(), 0700), 0);
        tempPath.path = temp + "/";
        shellFolders.folders[CSIDL_PERSONAL] = documents;
        Put(temp + "/report.tmp", "12345");
        Put(temp + "/cache/a.bin", "a");
        Put(temp + "/cache/b.bin", "b");
        Put(documents + "/letter.odt", "dear");
        cookies = environment.Path("config/chromium/Default/Cookies");
        Put(cookies, "sqlite");
        traces.findings[7].items.push_back({7, TraceKind::File, TraceContent::WholeFile, cookies,
                                            "", 6, 0, "Chromium", "Default", "", ""});
        traces.findings[9].skipped.push_back({9, "Firefox", "default-esr",
                                              environment.Path("mozilla/x.default-esr"),
                                              "in use by process 4242"});
    }

    // The option items of the window, by option index.
    std::map<int, QTreeWidgetItem*> Options(shell::frmPreview& preview) {
        std::map<int, QTreeWidgetItem*> options;
        for (int i = 0; i < preview.tvwPreview->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = preview.tvwPreview->topLevelItem(i);
            options[item->data(0, Qt::UserRole).toInt()] = item;
        }
        return options;
    }
    static std::vector<std::string> Lines(QTreeWidgetItem* option) {
        std::vector<std::string> lines;
        for (int i = 0; i < option->childCount(); ++i) {
            lines.push_back(option->child(i)->text(0).toStdString());
        }
        return lines;
    }

    TempEnvironment environment;
    std::string temp;
    std::string documents;
    std::string cookies;
};

TEST_F(frmPreviewTest, ItListsWhatTheFinderFindsForEachCheckedOptionAndChangesNothing) {
    shell::frmMain window(services);
    window.Form_Load();
    window.cleaningPages->chkSettings[4]->SetValue(1);  // My Documents
    window.cleaningPages->chkSettings[5]->SetValue(0);  // the machine's own recycle bins
    const auto before = Snapshot(environment.Root());

    QTest::mouseClick(window.cleaningPages->CleanComputer()->cmdPreview, Qt::LeftButton);
    shell::frmPreview* preview = window.PreviewWindow();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    QElapsedTimer waited;
    waited.start();
    while (preview->Filling() && waited.elapsed() < 20000) {
        QApplication::processEvents();
    }
    ASSERT_FALSE(preview->Filling());

    // The checked options that have a step, in run order.
    auto options = Options(*preview);
    std::vector<int> indexes;
    for (const auto& [index, item] : options) {
        indexes.push_back(index);
    }
    EXPECT_THAT(indexes, ElementsAre(2, 3, 4, 7, 9, 11));
    EXPECT_THAT(Lines(options[7]), ElementsAre(cookies)) << "the catalog's item";
    EXPECT_EQ(options[7]->child(0)->text(1).toStdString(), "file; Chromium \"Default\"");
    EXPECT_THAT(Lines(options[9]),
                ElementsAre(HasSubstr("Skipped: Firefox profile \"default-esr\"")));
    EXPECT_THAT(Lines(options[4]), ElementsAre(HasSubstr("Warning: Erases your own files"),
                                               documents + "/letter.odt"));
    EXPECT_THAT(Lines(options[11]), ElementsAre(temp + "/cache", temp + "/report.tmp"))
        << "a private temporary folder: everything in it, no warning";
    EXPECT_EQ(options[11]->child(0)->text(1).toStdString(), "folder; 2 files");
    for (const auto& [index, found] : traces.findings) {
        if (options.count(index) == 0) {
            continue;
        }
        for (const TraceItem& item : found.items) {
            EXPECT_THAT(Lines(options[index]), Contains(item.path)) << index;
        }
    }
    EXPECT_THAT(preview->lblPreviewStatus->text().toStdString(), HasSubstr("Nothing was changed."));
    EXPECT_EQ(Snapshot(environment.Root()), before) << "not a byte of the home changed";
    EXPECT_TRUE(traces.applied.empty());

    // A second press while it is open shows the same window, filled again.
    QTest::mouseClick(window.cleaningPages->MainPanel()->cmdPreview, Qt::LeftButton);
    EXPECT_TRUE(window.PreviewWindow()->isVisible());
}

TEST_F(frmPreviewTest, ASharedTemporaryFolderIsPreviewedWithItsWarningAndOnlyOldEntries) {
    ASSERT_EQ(chmod(temp.c_str(), 01777), 0);
    shell::frmPreview preview(
        {11},
        [&](int index, const cleancli::ScanProgress& progress) {
            cleancli::PreviewSources sources{traces,   registry, shellFolders,
                                             tempPath, {},       progress};
            return cleancli::BuildPreview({index}, sources);
        },
        nullptr);
    preview.Start();
    while (preview.Filling()) {
        QApplication::processEvents();
    }
    auto options = Options(preview);
    ASSERT_EQ(options.count(11), 1U);
    EXPECT_THAT(Lines(options[11]), ElementsAre(HasSubstr("Warning: Shared with other users")))
        << "the files made a moment ago stay";
}

}  // namespace
