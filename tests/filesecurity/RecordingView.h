#pragma once

#include "FileSecurityView.h"

#include <string>
#include <vector>

namespace orvelle::test {

// The page as the jobs see it, recording what they set.
class RecordingView final : public filesecurity::IFileSecurityView {
public:
    [[nodiscard]] std::string Password() const override { return password; }
    [[nodiscard]] std::string Source() const override { return source; }
    [[nodiscard]] std::string Destination() const override { return destination; }
    void FocusBrowse() override { ++focusBrowseCalls; }
    void SetEncryptCaption(const std::string& caption) override { encryptCaption = caption; }
    void SetDecryptCaption(const std::string& caption) override { decryptCaption = caption; }
    [[nodiscard]] bool EncryptEnabled() const override { return encryptEnabled; }
    void SetProgress(int percent) override {
        progress = percent;
        progressSeen.push_back(percent);
    }
    void EnableProgressTimer(bool enabled) override { timerRunning = enabled; }
    void ShowOutcome(const std::string& text) override { outcome = text; }

    std::string password = "secret";
    std::string source;
    std::string destination;
    std::string encryptCaption = "Encrypt";
    std::string decryptCaption = "Decrypt";
    bool encryptEnabled = true;
    bool timerRunning = false;
    int progress = 0;
    std::vector<int> progressSeen;
    std::string outcome;
    int focusBrowseCalls = 0;
};

}  // namespace orvelle::test
