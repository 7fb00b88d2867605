#include "PopupKillerPage.h"

#include "ErrorBox.h"
#include "Named.h"
#include "Settings.h"
#include "VbCheckBox.h"
#include "Version.h"
#include "WavPathFile.h"
#include "WindowLog.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>
#include <string>
#include <vector>

namespace orvelle::popup::ui {

using widgets::Named;
using widgets::Text;

using os::RuntimeError;

PopupKillerPage::PopupKillerPage(PopupServices& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    setObjectName(QStringLiteral("pagePopupKiller"));
    Frame1 = Named(new QGroupBox(QStringLiteral("Popup Killer"), this), "Frame1");
    chkPopupKillerActivate =
        Named(new widgets::VbCheckBox(QStringLiteral("Activate Popup Killer"), Frame1),
              "chkPopupKillerActivate");
    Command1 = Named(new QPushButton(QStringLiteral("Change Wav File"), Frame1), "Command1");
    Label14 = Named(new QLabel(Frame1), "Label14");
    Label14->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label14->setWordWrap(true);
    vindows = Named(new QTreeWidget(Frame1), "vindows");
    vindows->setColumnCount(3);
    vindows->setHeaderLabels(
        {QStringLiteral("Location"), QStringLiteral("URL"), QStringLiteral("Time")});
    vindows->setRootIsDecorated(false);
    vindows->setUniformRowHeights(true);
    vindows->setAllColumnsShowFocus(true);
    vindows->header()->setStretchLastSection(false);
    vindows->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    vindows->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    vindows->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    vindows->setColumnWidth(0, 220);
    lblBrowsers = Named(new QLabel(Frame1), "lblBrowsers");
    lblBrowsers->setWordWrap(true);
    ShowConnectedBrowsers();

    auto* soundRow = new QHBoxLayout;
    soundRow->addWidget(Command1);
    soundRow->addWidget(Label14, 1);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(chkPopupKillerActivate);
    frameLayout->addLayout(soundRow);
    frameLayout->addWidget(vindows, 1);
    frameLayout->addWidget(lblBrowsers);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);

    connect(chkPopupKillerActivate, &widgets::VbCheckBox::valueChanged, this,
            &PopupKillerPage::chkPopupKillerActivate_Click);
    connect(Command1, &QPushButton::clicked, this, &PopupKillerPage::Command1_Click);
}

void PopupKillerPage::AttachMenuItem(QAction* menuItem) {
    mnuPoupKiller_ = menuItem;
    mnuPoupKiller_->setCheckable(true);
    connect(mnuPoupKiller_, &QAction::triggered, this, [this](bool checked) {
        // Qt ticks a checkable item by itself; the tick is the handler's to set.
        mnuPoupKiller_->setChecked(!checked);
        mnuPoupKiller_Click();
    });
}

void PopupKillerPage::LoadSoundPath() {
    try {
        state_.SetSoundPath(ReadWavPathFile(services_.files, services_.process));
    } catch (const RuntimeError& error) {
        // An unreadable file must not keep the window from loading: the default sound is used.
        state_.SetSoundPath({});
        shell::ShowErrorBox(services_.messageBox, error);
    }
}

void PopupKillerPage::LoadPopupKillerSwitch() {
    const std::string stored = services_.settings.GetSetting(
        shell::ApplicationTitle(), shell::settings::kPopupKiller, shell::settings::kIsActive, "1");
    if (!PopupKillerState::IsActiveText(stored)) {
        chkPopupKillerActivate->SetValue(0);
        state_.SetActive(false);
        services_.browsers.SetPopupBlocking(false);
    } else {
        chkPopupKillerActivate->SetValue(1);
        state_.SetActive(true);
    }
}

void PopupKillerPage::ShowSoundPath() {
    Label14->setText(Text(state_.SoundPath()));
}

void PopupKillerPage::UpdateMenuTick() {
    if (mnuPoupKiller_ != nullptr) {
        mnuPoupKiller_->setChecked(chkPopupKillerActivate->Value() == 1);
    }
}

void PopupKillerPage::SwitchPopupKiller(bool on) {
    services_.settings.SaveSetting(shell::ApplicationTitle(), shell::settings::kPopupKiller,
                                   shell::settings::kIsActive, PopupKillerState::ActiveText(on));
    state_.SetActive(on);
    // The browsers decide in the page, at once: they are told the switch now.
    services_.browsers.SetPopupBlocking(on);
}

void PopupKillerPage::chkPopupKillerActivate_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        const bool on = chkPopupKillerActivate->Value() == 1;
        SwitchPopupKiller(on);
        if (mnuPoupKiller_ != nullptr) {
            mnuPoupKiller_->setChecked(on);
        }
    });
}

void PopupKillerPage::mnuPoupKiller_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        const bool ticked = mnuPoupKiller_ != nullptr && mnuPoupKiller_->isChecked();
        // The box's handler saves again and sets the tick: the menu never sets its own.
        SwitchPopupKiller(!ticked);
        chkPopupKillerActivate->SetValue(ticked ? 0 : 1);
    });
}

void PopupKillerPage::Command1_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        // The dialog opens where the program's own sound lies: the program folder in the
        // build tree, the data folder once installed (the program folder holds no sound).
        const auto chosen = services_.fileDialogs.PickFile(
            {desktop::FileDialogKind::Open, "Wav files |*.wav", "Choose a Wav file to open",
             services_.process.DataFolder(), state_.SoundPath()});
        // A cancelled dialog keeps the previous name, which is written again.
        const std::string fileName = chosen.value_or(state_.SoundPath());
        if (!IsStorableSoundPath(fileName)) {
            throw RuntimeError(os::errors::kInvalidProcedureCall,
                               "The sound file name holds a line break; choose another file");
        }
        state_.SetSoundPath(fileName);
        Label14->setText(Text(fileName));
        // The chosen sound is used from now on even when it cannot be kept for the next start.
        WriteWavPathFile(services_.files, services_.process, fileName);
    });
}

void PopupKillerPage::ShowConnectedBrowsers() {
    std::vector<std::string> names;
    std::string hint;
    try {
        names = services_.browsers.ConnectedBrowsers();
        if (names.empty()) {
            hint = services_.browsers.ConnectionHint();
        }
    } catch (const std::exception&) {
        // A source that cannot tell counts as none connected.
    }
    if (names.empty()) {
        lblBrowsers->setText(
            hint.empty() ? QStringLiteral("No browser is connected: install Orvelle's package and "
                                          "restart the browser.")
                         : Text(hint));
        return;
    }
    QStringList shown;
    for (const std::string& name : names) {
        shown << Text(name);
    }
    lblBrowsers->setText(QStringLiteral("Connected: %1. Hold Ctrl to let a pop-up open.")
                             .arg(shown.join(QStringLiteral(", "))));
}

void PopupKillerPage::RefreshWindowLog(const cIEWindows& windows) {
    ShowConnectedBrowsers();
    vindows->clear();
    const QLocale locale = QLocale::system();
    const std::string time = FormatTimeAmPm(services_.clock.Now(), locale.amText().toStdString(),
                                            locale.pmText().toStdString());
    for (const WindowLogRow& row : WindowLogRows(windows, time)) {
        const QString key = Text(row.key);
        if (FindRow(key) != nullptr) {
            continue;  // keys are unique: a second row with the same key cannot be added
        }
        auto* item =
            new QTreeWidgetItem(vindows, {Text(row.location), Text(row.url), Text(row.time)});
        item->setData(0, kRowKeyRole, key);
        item->setToolTip(1, Text(row.url));
    }
}

QTreeWidgetItem* PopupKillerPage::FindRow(const QString& key) const {
    for (int index = 0; index < vindows->topLevelItemCount(); ++index) {
        QTreeWidgetItem* item = vindows->topLevelItem(index);
        if (item->data(0, kRowKeyRole).toString() == key) {
            return item;
        }
    }
    return nullptr;
}

}  // namespace orvelle::popup::ui
