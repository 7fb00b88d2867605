#include "CleanComputerPage.h"

#include "VbCheckBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvelle::cleaning::ui {

CleanComputerPage::CleanComputerPage(OptionBoxes& chkSettings, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageCleanComputer"));
    fmComputerSettings = new QGroupBox(QStringLiteral("Computer traces to clean"), this);
    fmComputerSettings->setObjectName(QStringLiteral("fmComputerSettings"));
    auto* frame = new QVBoxLayout(fmComputerSettings);
    for (const int index : {1, 5, 10, 11, 4, 12, 13}) {
        frame->addWidget(AddOptionBox(chkSettings, index, fmComputerSettings));
    }
    frame->addStretch(1);

    cmdDefaultSettings1 = new QPushButton(QStringLiteral("&Default"), this);
    cmdDefaultSettings1->setObjectName(QStringLiteral("cmdDefaultSettings1"));
    Command3 = new QPushButton(QStringLiteral("Clean Computer"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefaultSettings1);
    buttons->addStretch(1);
    cmdPreview = new QPushButton(QStringLiteral("Preview"), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreviewComputer"));
    buttons->addWidget(cmdPreview);
    buttons->addWidget(Command3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fmComputerSettings, 1);
    layout->addLayout(buttons);
}

}  // namespace orvelle::cleaning::ui
