#include "QtFilePicker.h"
#include "TempEnvironment.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::platform;

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

TEST(QtFilePickerTest, OpenSaveAndFolderDialogsAnswerWithThePathOrNothing) {
    test::TempEnvironment env;
    test::WriteFile(env.Path("home/secret.kdf"), "x");
    posix::QtFilePicker picker;

    DialogAnswer open;
    open.Arm(QString::fromStdString(env.Path("home/secret.kdf")));
    EXPECT_EQ(picker.PickFile(FileDialogKind::Open, "Kordex Files (*.kdf) | *.kdf"),
              env.Path("home/secret.kdf"));
    ASSERT_TRUE(open.seen);
    EXPECT_EQ(open.mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(open.filters, QStringList{QStringLiteral("Kordex Files (*.kdf *.KDF)")});

    DialogAnswer save;
    save.Arm(QString::fromStdString(env.Path("home/new.txt")));
    EXPECT_EQ(picker.PickFile(FileDialogKind::Save, "All Files (*.*) | *.*"), env.Path("home/new.txt"));
    EXPECT_EQ(save.mode, QFileDialog::AcceptSave);
    EXPECT_EQ(save.filters, QStringList{QStringLiteral("All Files (*)")});

    DialogAnswer cancel;
    cancel.Arm(QString());
    EXPECT_EQ(picker.PickFile(FileDialogKind::Open, "All Files (*.*) | *.*"), std::nullopt);
    EXPECT_TRUE(cancel.seen);

    DialogAnswer folder;
    folder.Arm(QString::fromStdString(env.Path("home")));
    EXPECT_EQ(picker.PickFolder(), env.Path("home"));
    EXPECT_EQ(folder.fileMode, QFileDialog::Directory);
}

}  // namespace
