#pragma once

#include "CipherFiles.h"
#include "Progress.h"
#include "StatusWindow.h"

#include <functional>
#include <memory>
#include <string>

namespace orvelle::veilor64 {

// The control class: Encrypt and Decrypt with the progress window. It keeps no
// state between calls. Failures throw os::RuntimeError. A call made while
// another operation of the library waits at a progress point on the same
// thread fails with error 5 instead of nesting.
class Veilor {
public:
    // Told of every progress point, after the window showed it.
    using ProgressHandler = std::function<void(const ProgressPoint&)>;

    explicit Veilor(
        std::unique_ptr<ICipherFiles> files = nullptr,
        std::chrono::steady_clock::duration windowInterval = StatusWindow::kDefaultInterval);
    ~Veilor();
    Veilor(const Veilor&) = delete;
    Veilor& operator=(const Veilor&) = delete;

    void Encrypt(const std::string& strPassPhrase, const std::string& strSourceFile,
                 const std::string& strDestinationFile);
    void Decrypt(const std::string& strPassPhrase, const std::string& strSourceFile,
                 const std::string& strDestinationFile);

    void SetProgressHandler(ProgressHandler handler) { handler_ = std::move(handler); }

    // The progress window of the running operation (for tests and hosts that look).
    [[nodiscard]] const StatusWindow& Window() const noexcept { return window_; }

private:
    class Progress;
    template <typename Operation>
    void Run(Operation operation);

    std::unique_ptr<ICipherFiles> files_;
    StatusWindow window_;
    ProgressHandler handler_;
};

}  // namespace orvelle::veilor64
