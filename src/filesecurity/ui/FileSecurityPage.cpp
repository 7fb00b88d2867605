#include "FileSecurityPage.h"

#include "AgeAssociation.h"
#include "ErrorBox.h"
#include "KdfAssociation.h"
#include "Named.h"
#include "ProgramPaths.h"
#include "RegistryLayer.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace orvelle::filesecurity {

using widgets::Named;
using widgets::Text;

using os::RuntimeError;

namespace {

constexpr std::int32_t kCancelError = 32755;

}  // namespace

FileSecurityPage::FileSecurityPage(FileSecurityServices& services, QTimer& tmrProgress,
                                   std::function<void()> showAboutBox, QWidget* parent)
    : QWidget(parent),
      crpControl(services.controls, services.controlRegistration),
      services_(services),
      tmrProgress_(tmrProgress),
      showAboutBox_(std::move(showAboutBox)),
      jobs_(*this, JobServices{crpControl, services.zipControl, services.unzipControl,
                               services.files, services.temporaryFiles, services.tempPath,
                               services.process, services.messageBox}) {
    setObjectName(QStringLiteral("pageFileSecurity"));
    BuildControls();
    connect(&tmrProgress_, &QTimer::timeout, this, &FileSecurityPage::tmrProgress_Timer);
}

FileSecurityPage::~FileSecurityPage() = default;

void FileSecurityPage::BuildControls() {
    fmKordex = Named(new QGroupBox(this), "fmKordex");
    // Made in the order of the tab key.
    BuildHeading();
    QGroupBox* direction = BuildDirectionBox();
    QGroupBox* scope = BuildScopeBox();
    BuildPathFields();
    BuildPasswordFields();
    QGroupBox* keySize = BuildKeySizeBox();
    BuildActionControls();
    LayOutControls(*direction, *scope, *keySize);
    ConnectControls();
}

void FileSecurityPage::BuildHeading() {
    Label11 = Named(new QLabel(QStringLiteral("File Security"), fmKordex), "Label11");
    QFont heading = Label11->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    Label11->setFont(heading);
    lblAbountZorvak =
        Named(new QLabel(QStringLiteral("About Orvelle"), fmKordex), "lblAbountZorvak");
    lblAbountZorvak->setCursor(Qt::PointingHandCursor);
    lblAbountZorvak->setStyleSheet(QStringLiteral("color: #1f4fbf; text-decoration: underline;"));
    lblAbountZorvak->installEventFilter(this);
}

QGroupBox* FileSecurityPage::BuildDirectionBox() {
    auto* direction = Named(new QGroupBox(QStringLiteral("Direction"), fmKordex), "fraDirection");
    Option2 = Named(new QRadioButton(QStringLiteral("Encrypt"), direction), "Option2");
    Option3 = Named(new QRadioButton(QStringLiteral("Decrypt"), direction), "Option3");
    auto* directionGroup = new QButtonGroup(this);
    directionGroup->addButton(Option2);
    directionGroup->addButton(Option3);
    auto* directionLayout = new QVBoxLayout(direction);
    directionLayout->addWidget(Option2);
    directionLayout->addWidget(Option3);
    return direction;
}

QGroupBox* FileSecurityPage::BuildScopeBox() {
    auto* scope = Named(new QGroupBox(QStringLiteral("Scope"), fmKordex), "fraScope");
    Option4 =
        Named(new QRadioButton(QStringLiteral("Encrypt/Decrypt single file"), scope), "Option4");
    Option5 =
        Named(new QRadioButton(QStringLiteral("Encrypt/Decrypt entire folder"), scope), "Option5");
    auto* scopeGroup = new QButtonGroup(this);
    scopeGroup->addButton(Option4);
    scopeGroup->addButton(Option5);
    auto* scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(Option4);
    scopeLayout->addWidget(Option5);
    return scope;
}

void FileSecurityPage::BuildPathFields() {
    lblFileOrFolder = Named(new QLabel(fmKordex), "lblFileOrFolder");
    lblFileOrFolder->setStyleSheet(QStringLiteral("color: #505050; font-style: italic;"));

    lblAgeAdvice = Named(new QLabel(QString::fromUtf8(kAgeAdviceText), fmKordex), "lblAgeAdvice");
    lblAgeAdvice->setWordWrap(true);

    const FieldCaptions start = CaptionsFor(CipherScope::SingleFile, CipherDirection::Encrypt);
    lblSourceDestination[0] =
        Named(new QLabel(Text(start.source), fmKordex), "lblSourceDestination");
    lblSourceDestination[1] =
        Named(new QLabel(Text(start.destination), fmKordex), "lblSourceDestination");
    txtSource = Named(new QLineEdit(fmKordex), "txtSource");
    txtDestination = Named(new QLineEdit(fmKordex), "txtDestination");
    for (int index = 0; index < 2; ++index) {
        cmdBrowseFileFolder[static_cast<std::size_t>(index)] =
            Named(new QPushButton(QStringLiteral("Browse"), fmKordex), "cmdBrowseFileFolder");
        cmdBrowseFileFolder[static_cast<std::size_t>(index)]->setProperty("Index", index);
        lblSourceDestination[static_cast<std::size_t>(index)]->setProperty("Index", index);
        connect(cmdBrowseFileFolder[static_cast<std::size_t>(index)], &QPushButton::clicked, this,
                [this, index] { cmdBrowseFileFolder_Click(index); });
    }

    // Wide enough for every caption, so that the fields do not move when it changes.
    int captionWidth = 0;
    for (const char* caption : {"Source Folder:", "Destination Folder:"}) {
        captionWidth = std::max(
            captionWidth,
            lblSourceDestination[0]->fontMetrics().horizontalAdvance(QString::fromLatin1(caption)));
    }
    for (QLabel* label : lblSourceDestination) {
        label->setMinimumWidth(captionWidth);
    }
}

void FileSecurityPage::BuildPasswordFields() {
    Label1 = Named(new QLabel(QStringLiteral("Password:"), fmKordex), "Label1");
    txtPassword = Named(new QLineEdit(fmKordex), "txtPassword");
    Label2 = Named(new QLabel(QStringLiteral("Re-enter:"), fmKordex), "Label2");
    txtReenter = Named(new QLineEdit(fmKordex), "txtReenter");
    for (QLineEdit* box : {txtPassword, txtReenter}) {
        box->setEchoMode(QLineEdit::Password);
        // Typed characters show as "*".
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    }
}

QGroupBox* FileSecurityPage::BuildKeySizeBox() {
    // The key size is shown only: the one cipher is 64-bit, so the choice is fixed.
    auto* keySize = Named(new QGroupBox(QStringLiteral("Key"), fmKordex), "fraKeySize");
    Option1 = Named(new QRadioButton(QStringLiteral("64 bit"), keySize), "Option1");
    optBit = Named(new QRadioButton(QStringLiteral("128 bit"), keySize), "optBit");
    Option1->setChecked(true);
    keySize->setEnabled(false);
    auto* keySizeLayout = new QVBoxLayout(keySize);
    keySizeLayout->addWidget(Option1);
    keySizeLayout->addWidget(optBit);
    return keySize;
}

void FileSecurityPage::BuildActionControls() {
    cmdEncrypt = Named(new QPushButton(QStringLiteral("Encrypt"), fmKordex), "cmdEncrypt");
    cmdDecrypt = Named(new QPushButton(QStringLiteral("Decrypt"), fmKordex), "cmdDecrypt");
    cmdDecrypt->setEnabled(false);
    pgb = Named(new QProgressBar(fmKordex), "pgb");
    pgb->setRange(0, 100);
    pgb->setValue(0);
}

void FileSecurityPage::LayOutControls(QGroupBox& direction, QGroupBox& scope, QGroupBox& keySize) {
    auto* top = new QHBoxLayout;
    top->addWidget(Label11, 1);
    top->addWidget(lblAbountZorvak, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* choices = new QHBoxLayout;
    choices->addWidget(&direction);
    choices->addWidget(&scope, 1);
    choices->addWidget(&keySize);

    auto* actions = new QHBoxLayout;
    actions->addWidget(pgb, 1);
    actions->addWidget(cmdEncrypt);
    actions->addWidget(cmdDecrypt);

    auto* frame = new QVBoxLayout(fmKordex);
    frame->addLayout(top);
    frame->addLayout(choices);
    frame->addWidget(lblFileOrFolder);
    frame->addSpacing(6);
    frame->addLayout(LayOutFields());
    frame->addWidget(lblAgeAdvice);
    frame->addSpacing(6);
    frame->addLayout(actions);
    lblOutcome = Named(new QLabel(fmKordex), "lblOutcome");
    lblOutcome->setWordWrap(true);
    lblOutcome->setTextFormat(Qt::PlainText);
    lblOutcome->setVisible(false);
    frame->addWidget(lblOutcome);
    frame->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(fmKordex);
}

QGridLayout* FileSecurityPage::LayOutFields() {
    auto* fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    fields->addWidget(lblSourceDestination[0], 0, 0);
    fields->addWidget(txtSource, 0, 1, 1, 3);
    fields->addWidget(cmdBrowseFileFolder[0], 0, 4);
    fields->addWidget(lblSourceDestination[1], 1, 0);
    fields->addWidget(txtDestination, 1, 1, 1, 3);
    fields->addWidget(cmdBrowseFileFolder[1], 1, 4);
    fields->addWidget(Label1, 2, 0);
    fields->addWidget(txtPassword, 2, 1);
    fields->addWidget(Label2, 2, 2);
    fields->addWidget(txtReenter, 2, 3);
    // Said once, beside the passphrase, where the decision to trust the format is made.
    lblKdfNotice = Named(new QLabel(QString::fromUtf8(kKdfNotice), fmKordex), "lblKdfNotice");
    lblKdfNotice->setWordWrap(true);
    fields->addWidget(lblKdfNotice, 3, 1, 1, 3);
    lblKdfNotice->setVisible(false);
    fields->setColumnStretch(3, 1);
    return fields;
}

void FileSecurityPage::ConnectControls() {
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option2_Click();
        }
    });
    connect(Option3, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option3_Click();
        }
    });
    connect(Option4, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option4_Click();
        }
    });
    connect(Option5, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option5_Click();
        }
    });
    connect(txtDestination, &QLineEdit::textChanged, this, &FileSecurityPage::UpdateKdfNotice);
    connect(cmdEncrypt, &QPushButton::clicked, this, &FileSecurityPage::cmdEncrypt_Click);
    connect(cmdDecrypt, &QPushButton::clicked, this, &FileSecurityPage::cmdDecrypt_Click);
}

void FileSecurityPage::InitFileSecurityPage() {
    const std::string programPath = shell::ProgramPath(services_.process);
    shell::RegistryLayer registry(services_.registry, services_.messageBox);
    static_cast<void>(CheckKdfAssociation(registry, services_.messageBox, programPath));
    // The desktop's own record of the type, left to the package where it is installed:
    // like the registry's, a failure is not the user's to act on, and the next load
    // tries again.
    static_cast<void>(services_.fileTypes.Register(DesktopKdfAssociation(programPath)));
    static_cast<void>(services_.fileTypes.Register(DesktopAgeAssociation(programPath)));
    lblFileOrFolder->setText(QStringLiteral("Click here to encrypt/decrypt an entire folder"));
    pgb->setValue(0);
    // A control that cannot be had is reported when a job needs it.
    static_cast<void>(crpControl.Create());
    jobs_.RemoveLeftovers();
}

std::optional<CipherDirection> FileSecurityPage::DirectionInForce() const {
    if (cmdEncrypt->isEnabled()) {
        return CipherDirection::Encrypt;
    }
    if (cmdDecrypt->isEnabled()) {
        return CipherDirection::Decrypt;
    }
    return std::nullopt;
}

CipherScope FileSecurityPage::ScopeInForce() const {
    return Option5->isChecked() ? CipherScope::EntireFolder : CipherScope::SingleFile;
}

void FileSecurityPage::SetCaptions(CipherScope scope, CipherDirection direction) {
    const FieldCaptions captions = CaptionsFor(scope, direction);
    lblSourceDestination[0]->setText(Text(captions.source));
    lblSourceDestination[1]->setText(Text(captions.destination));
}

void FileSecurityPage::EmptyPathBoxes() {
    txtSource->clear();
    txtDestination->clear();
}

void FileSecurityPage::SetCipherDirection(CipherDirection direction) {
    cmdEncrypt->setEnabled(direction == CipherDirection::Encrypt);
    cmdDecrypt->setEnabled(direction == CipherDirection::Decrypt);
    EmptyPathBoxes();
    SetCaptions(ScopeInForce(), direction);
    UpdateKdfNotice();
}

void FileSecurityPage::PrepareDecryption(const std::string& path) {
    if (jobs_.IsRunning()) {
        return;  // a running job's fields stay as they are
    }
    // Each choice empties the path boxes, so they come first.
    Option3->setChecked(true);
    Option4->setChecked(true);
    SetCipherDirection(CipherDirection::Decrypt);
    txtSource->setText(Text(path));
    txtDestination->setText(Text(DecryptedFileName(path)));
    txtPassword->setFocus(Qt::OtherFocusReason);
}

void FileSecurityPage::UpdateKdfNotice() {
    lblKdfNotice->setVisible(ShowsKdfNotice(cmdEncrypt->isEnabled(), Destination()));
}

void FileSecurityPage::Option2_Click() {
    shell::RunTrapped(services_.messageBox,
                      [this] { SetCipherDirection(CipherDirection::Encrypt); });
}

void FileSecurityPage::Option3_Click() {
    shell::RunTrapped(services_.messageBox,
                      [this] { SetCipherDirection(CipherDirection::Decrypt); });
}

void FileSecurityPage::Option4_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        if (const auto direction = DirectionInForce()) {
            SetCaptions(CipherScope::SingleFile, *direction);
        }
        EmptyPathBoxes();
    });
}

void FileSecurityPage::Option5_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        if (const auto direction = DirectionInForce()) {
            SetCaptions(CipherScope::EntireFolder, *direction);
        }
        EmptyPathBoxes();
    });
}

void FileSecurityPage::cmdBrowseFileFolder_Click(int index) {
    shell::RunTrapped(services_.messageBox, [&] {
        if (index != 0 && index != 1) {
            return;
        }
        const std::string caption =
            lblSourceDestination[static_cast<std::size_t>(index)]->text().toStdString();
        QLineEdit* box = index == 0 ? txtSource : txtDestination;
        switch (BrowseTargetFor(index, caption)) {
        case BrowseTarget::Folder:
            box->setText(Text(BrowseForFolder()));
            break;
        case BrowseTarget::File:
            box->setText(Text(BrowseForFile(index == 0, cmdEncrypt->isEnabled())));
            break;
        case BrowseTarget::Nothing:
            break;
        }
    });
}

std::string FileSecurityPage::PickerFailed(const RuntimeError& error) {
    if (error.Number() != kCancelError) {
        services_.messageBox.Show(error.Description(), window()->windowTitle().toStdString(),
                                  desktop::MessageIcon::Critical);
    }
    return {};
}

std::string FileSecurityPage::BrowseForFolder() {
    try {
        const auto folder = services_.fileDialogs.PickFolder();
        return folder ? FolderFieldText(*folder, services_.process.PathSeparator()) : std::string();
    } catch (const RuntimeError& error) {
        return PickerFailed(error);
    }
}

std::string FileSecurityPage::BrowseForFile(bool isSource, bool encrypt) {
    const FileDialogChoice dialog = FileDialogFor(isSource, encrypt);
    try {
        return services_.fileDialogs.PickFile({dialog.kind, dialog.filter, "", "", ""})
            .value_or(std::string());
    } catch (const RuntimeError& error) {
        return PickerFailed(error);
    }
}

void FileSecurityPage::cmdEncrypt_Click() {
    StartJob(CipherDirection::Encrypt);
}

void FileSecurityPage::cmdDecrypt_Click() {
    StartJob(CipherDirection::Decrypt);
}

void FileSecurityPage::StartJob(CipherDirection direction) {
    // While a job runs Encrypt reads "Cancel"; no job is started on top of it.
    if (jobs_.IsRunning()) {
        return;
    }
    shell::RunTrapped(services_.messageBox, [this, direction] {
        if (!CheckPassphrases(Password(), txtReenter->text().toStdString(), services_.messageBox)) {
            return;
        }
        const bool folder = ScopeInForce() == CipherScope::EntireFolder;
        if (direction == CipherDirection::Encrypt) {
            folder ? jobs_.EncryptFolderJob() : jobs_.EncryptFileJob();
        } else {
            folder ? jobs_.DecryptFolderJob() : jobs_.DecryptFileJob();
        }
    });
}

void FileSecurityPage::lblAbountZorvak_Click() {
    shell::RunTrapped(services_.messageBox, [this] {
        if (showAboutBox_) {
            showAboutBox_();
        }
    });
}

void FileSecurityPage::tmrProgress_Timer() {
    jobs_.tmrProgress_Timer();
}

bool FileSecurityPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblAbountZorvak && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblAbountZorvak_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

std::string FileSecurityPage::Password() const {
    return txtPassword->text().toStdString();
}

std::string FileSecurityPage::Source() const {
    return txtSource->text().toStdString();
}

std::string FileSecurityPage::Destination() const {
    return txtDestination->text().toStdString();
}

void FileSecurityPage::FocusBrowse() {
    cmdBrowseFileFolder[0]->setFocus(Qt::OtherFocusReason);
}

void FileSecurityPage::SetEncryptCaption(const std::string& caption) {
    cmdEncrypt->setText(Text(caption));
}

void FileSecurityPage::SetDecryptCaption(const std::string& caption) {
    cmdDecrypt->setText(Text(caption));
}

bool FileSecurityPage::EncryptEnabled() const {
    return cmdEncrypt->isEnabled();
}

void FileSecurityPage::SetProgress(int percent) {
    pgb->setValue(percent);
}

void FileSecurityPage::ShowOutcome(const std::string& text) {
    lblOutcome->setText(Text(text));
    lblOutcome->setVisible(!text.empty());
}

void FileSecurityPage::EnableProgressTimer(bool enabled) {
    if (enabled) {
        tmrProgress_.start();
    } else {
        tmrProgress_.stop();
    }
}

}  // namespace orvelle::filesecurity
