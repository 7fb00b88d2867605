#include "QtFileDialogs.h"
#include "TempEnvironment.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::desktop;

namespace {

// Answers the next modal file dialog the way a user would, noting how it was set up.
struct DialogAnswer {
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QStringList filters;
    bool seen = false;

    void Arm(const QString& choose) {
        QTimer::singleShot(0, [this, choose] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            seen = true;
            mode = dialog->acceptMode();
            fileMode = dialog->fileMode();
            filters = dialog->nameFilters();
            if (choose.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(choose);
                static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept is protected
            }
        });
    }
};

TEST(QtFileDialogsTest, OpenSaveAndFolderDialogsAnswerWithThePathOrNothing) {
    test::TempEnvironment env;
    test::WriteFile(env.Path("home/secret.kdf"), "x");
    desktop::qt::QtFileDialogs dialogs;

    DialogAnswer open;
    open.Arm(QString::fromStdString(env.Path("home/secret.kdf")));
    EXPECT_EQ(dialogs.PickFile({FileDialogKind::Open, "Kordex Files (*.kdf) | *.kdf", "", "", ""}),
              env.Path("home/secret.kdf"));
    ASSERT_TRUE(open.seen);
    EXPECT_EQ(open.mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(open.filters, QStringList{QStringLiteral("Kordex Files (*.kdf *.KDF)")});

    DialogAnswer save;
    save.Arm(QString::fromStdString(env.Path("home/new.txt")));
    EXPECT_EQ(dialogs.PickFile({FileDialogKind::Save, "All Files (*.*) | *.*", "", "", ""}),
              env.Path("home/new.txt"));
    EXPECT_EQ(save.mode, QFileDialog::AcceptSave);
    EXPECT_EQ(save.filters, QStringList{QStringLiteral("All Files (*)")});

    DialogAnswer cancel;
    cancel.Arm(QString());
    EXPECT_EQ(dialogs.PickFile({FileDialogKind::Open, "All Files (*.*) | *.*", "", "", ""}),
              std::nullopt);
    EXPECT_TRUE(cancel.seen);

    DialogAnswer folder;
    folder.Arm(QString::fromStdString(env.Path("home")));
    EXPECT_EQ(dialogs.PickFolder(), env.Path("home"));
    EXPECT_EQ(folder.fileMode, QFileDialog::Directory);
}

TEST(QtFileDialogsTest, FiltersAreWrittenAsQtWritesThem) {
    const struct {
        const char* filter;
        const char* qt;
    } rows[] = {
        {"All Files (*.*) | *.*", "All Files (*)"},
        {"Kordex Files (*.kdf) | *.kdf", "Kordex Files (*.kdf *.KDF)"},
        {"Wav files |*.wav", "Wav files (*.wav *.WAV)"},
        {"Wav files |*.wav|All files|*.*", "Wav files (*.wav *.WAV);;All files (*)"},
        {"Sounds|*.wav;*.WAV", "Sounds (*.wav *.WAV)"},
        {"Pictures|*.png;*.JPG", "Pictures (*.png *.PNG *.jpg *.JPG)"},
        {"", ""},
        {"Lonely description", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(desktop::qt::QtFileDialogs::QtFilter(row.filter), QString::fromUtf8(row.qt))
            << row.filter;
    }
}

TEST(QtFileDialogsTest, TheDialogOpensAtThePreviousFileElseInTheInitialFolder) {
    test::TempEnvironment environment;
    test::MakeDirs(environment.Path("sounds"));
    const std::string initial = environment.Path("program");
    const auto start = [&](const std::string& fileName) {
        return desktop::qt::QtFileDialogs::StartPath(
                   {FileDialogKind::Open, "", "", initial, fileName})
            .toStdString();
    };
    EXPECT_EQ(start(""), initial);
    EXPECT_EQ(start(environment.Path("sounds/pop.wav")), environment.Path("sounds/pop.wav"));
    EXPECT_EQ(start(environment.Path("gone/pop.wav")), initial) << "a folder that went away";
}

}  // namespace
