#pragma once

#include <string>

namespace orvelle::filesecurity {

// What the jobs read from and set on the File Security page.
class IFileSecurityView {
public:
    virtual ~IFileSecurityView() = default;

    // The texts of txtPassword, txtSource and txtDestination, as typed.
    [[nodiscard]] virtual std::string Password() const = 0;
    [[nodiscard]] virtual std::string Source() const = 0;
    [[nodiscard]] virtual std::string Destination() const = 0;
    // Moves the input focus to the first Browse button (cmdBrowseFileFolder(0)).
    virtual void FocusBrowse() = 0;
    // Captions of cmdEncrypt and cmdDecrypt.
    virtual void SetEncryptCaption(const std::string& caption) = 0;
    virtual void SetDecryptCaption(const std::string& caption) = 0;
    // Whether cmdEncrypt is enabled (the encrypt direction is in force).
    [[nodiscard]] virtual bool EncryptEnabled() const = 0;
    // The value of the progress bar pgb, 0 … 100.
    virtual void SetProgress(int percent) = 0;
    // Starts or stops tmrProgress.
    virtual void EnableProgressTimer(bool enabled) = 0;
    // What the last job did, said on the page (empty: nothing to say).
    virtual void ShowOutcome(const std::string& text) = 0;
};

}  // namespace orvelle::filesecurity
