#include "CleaningMainPanel.h"

#include "VbCheckBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>

namespace orvelle::cleaning::ui {

CleaningMainPanel::CleaningMainPanel(OptionBoxes& chkSettings, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlCleaning"));
    cmdBasicClean = new QPushButton(QStringLiteral("Clean Computer and Internet"), this);
    cmdBasicClean->setObjectName(QStringLiteral("cmdBasicClean"));
    cmdBasicClean->setMinimumHeight(36);
    cmdPreview = new QPushButton(QStringLiteral("Preview"), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreview"));
    cmdPreview->setMinimumHeight(36);
    rtfMessage = new QTextEdit(this);
    rtfMessage->setObjectName(QStringLiteral("rtfMessage"));
    rtfMessage->setReadOnly(true);
    rtfMessage->setAcceptRichText(false);
    rtfMessage->setLineWrapMode(QTextEdit::WidgetWidth);
    // Lines break between words only: a long path runs on (the box scrolls sideways)
    // rather than being cut in the middle of a name.
    rtfMessage->setWordWrapMode(QTextOption::WordWrap);
    widgets::VbCheckBox* preventHomePage = AddOptionBox(chkSettings, 0, this);
    auto* homePageLabel = new QLabel(QStringLiteral("Home page:"), this);
    txtHomePageURL = new QLineEdit(this);
    txtHomePageURL->setObjectName(QStringLiteral("txtHomePageURL"));
    homePageLabel->setBuddy(txtHomePageURL);
    cmdHomePage = new QPushButton(QStringLiteral("Set Home Page"), this);
    cmdHomePage->setObjectName(QStringLiteral("cmdHomePage"));

    auto* homePage = new QHBoxLayout;
    homePage->addWidget(homePageLabel);
    homePage->addWidget(txtHomePageURL, 1);
    homePage->addWidget(cmdHomePage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* clean = new QHBoxLayout;
    clean->addWidget(cmdBasicClean, 1);
    clean->addWidget(cmdPreview);
    layout->addLayout(clean);
    layout->addWidget(rtfMessage, 1);
    layout->addWidget(preventHomePage);
    layout->addLayout(homePage);
}

}  // namespace orvelle::cleaning::ui
