#include "CleanInternetPage.h"

#include "VbCheckBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvelle::cleaning::ui {

CleanInternetPage::CleanInternetPage(OptionBoxes& chkSettings, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageCleanInternet"));
    fmSettings = new QGroupBox(QStringLiteral("Internet traces to clean"), this);
    fmSettings->setObjectName(QStringLiteral("fmSettings"));
    auto* frame = new QVBoxLayout(fmSettings);
    for (const int index : {2, 3, 6, 7, 9}) {
        frame->addWidget(AddOptionBox(chkSettings, index, fmSettings));
    }
    chkWebAddress =
        new widgets::VbCheckBox(QString::fromUtf8(CleaningOptions::kWebAddressCaption), fmSettings);
    chkWebAddress->setObjectName(QStringLiteral("chkWebAddress"));
    frame->addWidget(chkWebAddress);
    for (const int index : {15, 14}) {
        frame->addWidget(AddOptionBox(chkSettings, index, fmSettings));
    }
    // Index 8 takes part in defaults, storing and the run, but nobody may change it.
    AddOptionBox(chkSettings, 8, fmSettings)->setVisible(false);
    frame->addStretch(1);

    cmdDefaultSettings = new QPushButton(QStringLiteral("&Default"), this);
    cmdDefaultSettings->setObjectName(QStringLiteral("cmdDefaultSettings"));
    Command2 = new QPushButton(QStringLiteral("Clean Internet"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefaultSettings);
    buttons->addStretch(1);
    cmdPreview = new QPushButton(QStringLiteral("Preview"), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreviewInternet"));
    buttons->addWidget(cmdPreview);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fmSettings, 1);
    layout->addLayout(buttons);
}

}  // namespace orvelle::cleaning::ui
