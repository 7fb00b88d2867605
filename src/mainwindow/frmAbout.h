#pragma once

#include "popup/HookLibrary.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace orvelle::shell {

// The About box: caption "About " + the version text, the legal notice, OK.
class frmAbout final : public QDialog {
    Q_OBJECT

public:
    // `hotKey` and `hotKeyName`: what became of the hot key, which the box names only
    // while it really works.
    explicit frmAbout(QWidget* parent = nullptr,
                      popup::HotKeyStatus hotKey = popup::HotKeyStatus::Unavailable,
                      std::string hotKeyName = {});

    QLabel* lblCopyRight;
    QFrame* Line1;
    QPushButton* cmdOK;

    // The legal paragraph, two line breaks, and the rights-reserved line. `x11` tells a
    // hot key missing for want of an X11 display from one whose library is missing.
    static QString CopyRightText(popup::HotKeyStatus hotKey, const std::string& hotKeyName,
                                 bool x11);

private:
    popup::HotKeyStatus hotKey_;
    std::string hotKeyName_;

    void Form_Load();
    void cmdOK_Click();
};

}  // namespace orvelle::shell
