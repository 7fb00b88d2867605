#include "CleaningPages.h"

#include "BrowserSettings.h"
#include "CleanComputerPage.h"
#include "CleanInternetPage.h"
#include "CleaningLog.h"
#include "CleaningMainPanel.h"
#include "CleaningOptions.h"
#include "CleaningRun.h"
#include "CleaningSteps.h"
#include "CleaningTraces.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "LineEditTextField.h"
#include "QTextEditLogSink.h"
#include "RegistryLayer.h"
#include "ThrottledEventPump.h"
#include "VbCheckBox.h"

#include <QPushButton>
#include <QTextEdit>

namespace orvelle::cleaning::ui {

CleaningPages::CleaningPages(CleaningServices& services, QWidget* parent)
    : QObject(parent), services_(services) {
    setObjectName(QStringLiteral("cleaningPages"));
    mainPanel_ = new CleaningMainPanel(chkSettings, parent);
    cleanInternet_ = new CleanInternetPage(chkSettings, parent);
    cleanComputer_ = new CleanComputerPage(chkSettings, parent);

    registry_ = std::make_unique<shell::RegistryLayer>(services.registry, services.messageBox);
    options_ = std::make_unique<CleaningOptions>(services.settings, services.messageBox, *registry_,
                                                 services.process.ProgramFolder(), services.traces);
    browser_ = std::make_unique<BrowserSettings>(services.settings, services.messageBox, *registry_,
                                                 services.traces);
    logSink_ = std::make_unique<QTextEditLogSink>(*mainPanel_->rtfMessage);
    log_ = std::make_unique<CleaningLog>(*logSink_);
    traces_ = std::make_unique<CleaningTraces>(services.traces, *log_);
    homePageField_ = std::make_unique<LineEditTextField>(*mainPanel_->txtHomePageURL);
    walkYield_ = std::make_unique<ThrottledEventPump>(services.eventPump, *logSink_);
    folderErasers_ = std::make_unique<FolderErasers>(services.folderTree, services.shellFolders,
                                                     services.tempPath, services.messageBox, *log_,
                                                     *walkYield_, host_, *traces_);
    historyErasers_ = std::make_unique<HistoryErasers>(services.registry, services.recycleBin,
                                                       services.messageBox, *log_, *traces_);
    steps_ = std::make_unique<CleaningSteps>(*folderErasers_, *historyErasers_, *browser_,
                                             services.clipboard, *traces_);
    run_ = std::make_unique<CleaningRun>(*options_, *steps_, host_, *log_, services.clock,
                                         services.eventPump, services.messageBox,
                                         services.cleaningLock);
    BindOptionBoxes();

    connect(mainPanel_->cmdBasicClean, &QPushButton::clicked, this,
            &CleaningPages::cmdBasicClean_Click);
    connect(mainPanel_->cmdHomePage, &QPushButton::clicked, this,
            &CleaningPages::cmdHomePage_Click);
    connect(cleanInternet_->Command2, &QPushButton::clicked, this, &CleaningPages::Command2_Click);
    connect(cleanInternet_->cmdDefaultSettings, &QPushButton::clicked, this,
            &CleaningPages::cmdDefaultSettings_Click);
    connect(cleanComputer_->Command3, &QPushButton::clicked, this, &CleaningPages::Command3_Click);
    connect(cleanComputer_->cmdDefaultSettings1, &QPushButton::clicked, this,
            &CleaningPages::cmdDefaultSettings1_Click);
}

CleaningPages::~CleaningPages() = default;

void CleaningPages::BindOptionBoxes() {
    for (int index = 0; index < CleaningOptions::kCount; ++index) {
        connect(chkSettings[static_cast<std::size_t>(index)], &widgets::VbCheckBox::valueChanged,
                this, [this, index](int value) { options_->SetValue(index, value); });
    }
    connect(cleanInternet_->chkWebAddress, &widgets::VbCheckBox::valueChanged, this,
            [this](int value) { options_->SetWebAddressValue(value); });
    // The data holds the values; a box follows every change made by code. The box's
    // own signal then finds the value unchanged and raises no second click.
    options_->SetOnValueChanged([this](int index, int value) {
        widgets::VbCheckBox* box = index == CleaningOptions::kWebAddress
                                       ? cleanInternet_->chkWebAddress
                                       : chkSettings[static_cast<std::size_t>(index)];
        box->SetValue(value);
    });
}

void CleaningPages::AttachMainWindow(MainWindowControls controls) {
    host_.Attach(std::move(controls));
}

void CleaningPages::cmdBasicClean_Click() {
    run_->cmdBasicClean_Click();
}

void CleaningPages::Command2_Click() {
    cmdBasicClean_Click();
}

void CleaningPages::Command3_Click() {
    cmdBasicClean_Click();
}

void CleaningPages::cmdDefaultSettings_Click() {
    options_->cmdDefaultSettings_Click();
}

void CleaningPages::cmdDefaultSettings1_Click() {
    options_->cmdDefaultSettings1_Click();
}

void CleaningPages::cmdHomePage_Click() {
    browser_->cmdHomePage_Click(*homePageField_);
}

void CleaningPages::SetSettingsReady(bool ready) {
    options_->bSettingsReady = ready;
}

void CleaningPages::LoadCleaningOptions() {
    options_->LoadCleaningOptions();
}

void CleaningPages::LoadWebAddressBox() {
    options_->LoadWebAddressBox();
}

void CleaningPages::RestoreStartPage() {
    browser_->RestoreStartPage(*homePageField_);
}

}  // namespace orvelle::cleaning::ui
