#pragma once

#include "CipherControlSource.h"
#include "EncryptionJobs.h"
#include "FileSecurityServices.h"
#include "FileSecurityView.h"
#include "PanelRules.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QButtonGroup;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace orvelle::filesecurity {

// The "File Security" page: direction and scope, source and destination with their
// Browse buttons, the passphrase typed twice, Encrypt and Decrypt, and the bar that
// shows the archive step of a folder job. It holds the cipher control `crpControl`
// and starts the jobs; the main window lends it tmrProgress and the About box.
class FileSecurityPage final : public QWidget, public IFileSecurityView {
    Q_OBJECT

public:
    FileSecurityPage(FileSecurityServices& services, QTimer& tmrProgress,
                     std::function<void()> showAboutBox, QWidget* parent = nullptr);
    ~FileSecurityPage() override;
    FileSecurityPage(const FileSecurityPage&) = delete;
    FileSecurityPage& operator=(const FileSecurityPage&) = delete;

    // The page's part of the main window's load step: the association test, the
    // caption of lblFileOrFolder, the bar at 0, and the cipher control.
    void InitFileSecurityPage();

    // Enables the chosen direction's button and disables the other, empties both
    // path boxes and sets the field captions for the scope in force.
    void SetCipherDirection(CipherDirection direction);
    // The direction whose button is enabled (none only if neither is).
    [[nodiscard]] std::optional<CipherDirection> DirectionInForce() const;
    // "entire folder" while Option5 is selected, else "single file".
    [[nodiscard]] CipherScope ScopeInForce() const;

    // Sets the page to decrypt one file, `path`, into the same name without its
    // ".kdf" or ".age" (or with ".decrypted" added), and puts the focus on the
    // passphrase. Starts nothing.
    void PrepareDecryption(const std::string& path);

    // Handlers.
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Option5_Click();
    void cmdBrowseFileFolder_Click(int index);
    void cmdEncrypt_Click();
    void cmdDecrypt_Click();
    void lblAbountZorvak_Click();
    void tmrProgress_Timer();

    // The pickers: the chosen path, or "" when cancelled or failed.
    std::string BrowseForFolder();
    std::string BrowseForFile(bool isSource, bool encrypt);

    [[nodiscard]] EncryptionJobs& Jobs() noexcept { return jobs_; }

    // IFileSecurityView.
    [[nodiscard]] std::string Password() const override;
    [[nodiscard]] std::string Source() const override;
    [[nodiscard]] std::string Destination() const override;
    void FocusBrowse() override;
    void SetEncryptCaption(const std::string& caption) override;
    void SetDecryptCaption(const std::string& caption) override;
    [[nodiscard]] bool EncryptEnabled() const override;
    void SetProgress(int percent) override;
    void EnableProgressTimer(bool enabled) override;
    void ShowOutcome(const std::string& text) override;

    // Controls, named as the system names them (each one's objectName is the same;
    // the two members of a control array share it and carry their index in the
    // property "Index").
    QGroupBox* fmKordex = nullptr;
    QLabel* Label11 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    std::array<QLabel*, 2> lblSourceDestination{};
    QLineEdit* txtSource = nullptr;
    QLineEdit* txtDestination = nullptr;
    std::array<QPushButton*, 2> cmdBrowseFileFolder{};
    QLabel* Label1 = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtReenter = nullptr;
    QPushButton* cmdEncrypt = nullptr;
    QPushButton* cmdDecrypt = nullptr;
    QProgressBar* pgb = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* optBit = nullptr;
    QLabel* lblFileOrFolder = nullptr;
    QLabel* lblAbountZorvak = nullptr;
    // What a ".kdf" file is worth, shown beside the passphrase fields while the
    // destination of an encryption is a ".kdf" file.
    QLabel* lblKdfNotice = nullptr;
    // Points to ".age" for real protection.
    QLabel* lblAgeAdvice = nullptr;
    // What the last job did.
    QLabel* lblOutcome = nullptr;
    // The cipher control, created by its identifier.
    CipherControlSource crpControl;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The checks of both buttons, then the job of the direction and the scope in force.
    void StartJob(CipherDirection direction);
    void BuildControls();
    void BuildHeading();
    QGroupBox* BuildDirectionBox();
    QGroupBox* BuildScopeBox();
    void BuildPathFields();
    void BuildPasswordFields();
    QGroupBox* BuildKeySizeBox();
    void BuildActionControls();
    void LayOutControls(QGroupBox& direction, QGroupBox& scope, QGroupBox& keySize);
    QGridLayout* LayOutFields();
    void ConnectControls();
    void SetCaptions(CipherScope scope, CipherDirection direction);
    void EmptyPathBoxes();
    // Shows the ".kdf" notice only while a ".kdf" destination is being encrypted to.
    void UpdateKdfNotice();
    std::string PickerFailed(const os::RuntimeError& error);

    FileSecurityServices& services_;
    QTimer& tmrProgress_;
    std::function<void()> showAboutBox_;
    EncryptionJobs jobs_;
};

}  // namespace orvelle::filesecurity
