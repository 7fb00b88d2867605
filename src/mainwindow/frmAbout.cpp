#include "frmAbout.h"

#include "Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvelle::shell {

frmAbout::frmAbout(QWidget* parent, popup::HotKeyStatus hotKey, std::string hotKeyName)
    : QDialog(parent),
      lblCopyRight(new QLabel(this)),
      Line1(new QFrame(this)),
      cmdOK(new QPushButton(QStringLiteral("&OK"), this)),
      hotKey_(hotKey),
      hotKeyName_(std::move(hotKeyName)) {
    setObjectName(QStringLiteral("frmAbout"));
    lblCopyRight->setObjectName(QStringLiteral("lblCopyRight"));
    Line1->setObjectName(QStringLiteral("Line1"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));

    auto* title = new QLabel(QString::fromStdString(VersionText()), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgIcon"));
    icon->setPixmap(windowIcon().pixmap(48, 48));

    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    lblCopyRight->setWordWrap(true);
    lblCopyRight->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdOK->setDefault(true);

    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(title, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(Line1);
    layout->addWidget(lblCopyRight, 1);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    Form_Load();
}

QString frmAbout::CopyRightText(popup::HotKeyStatus hotKey, const std::string& hotKeyName,
                                bool x11) {
    const QString key = QString::fromStdString(hotKeyName);
    QString hiding;
    if (hotKey == popup::HotKeyStatus::Active && !key.isEmpty()) {
        hiding = QStringLiteral(
                     " and hides every window when you press %1 (press it again to "
                     "show them).")
                     .arg(key);
    } else if (hotKey == popup::HotKeyStatus::Taken) {
        hiding = QStringLiteral(
            ". Its hot key, which hides every window, is off: another "
            "program holds that key combination.");
    } else if (!x11) {
        hiding = QStringLiteral(
            ". Its hot key, which hides every window, is off: it needs an "
            "X11 display, and Orvelle runs without one here.");
    } else {
        hiding = QStringLiteral(
            ". Its hot key, which hides every window, is off: its library "
            "libMSHook.so could not be loaded from the program folder.");
    }
    const QString paragraph =
        QStringLiteral(
            "Orvelle erases the traces that browsing and everyday use leave on this "
            "computer, blocks pop-up browser windows, encrypts files and folders with "
            "a passphrase") +
        hiding +
        QStringLiteral(
            " It is provided as is, without warranty of any kind; keep copies of "
            "files that matter to you before you encrypt or erase them.");
    return paragraph + QStringLiteral("\n\nAll rights reserved. ") +
           QString::fromUtf8(kLegalCopyright) + QLatin1Char(' ') + QString::fromUtf8(kCompanyName);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + QString::fromStdString(VersionText()));
    lblCopyRight->setText(CopyRightText(hotKey_, hotKeyName_,
                                        QGuiApplication::platformName() == QLatin1String("xcb")));
}

void frmAbout::cmdOK_Click() {
    accept();
}

}  // namespace orvelle::shell
