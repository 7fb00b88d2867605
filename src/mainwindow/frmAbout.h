#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace orvelle::shell {

// The About box: caption "About " + the version text, the legal notice, OK.
class frmAbout final : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* lblCopyRight;
    QFrame* Line1;
    QPushButton* cmdOK;

    // The legal paragraph, two line breaks, and the rights-reserved line.
    static QString CopyRightText();

private:
    void Form_Load();
    void cmdOK_Click();
};

}  // namespace orvelle::shell
