#pragma once

#include "BrowserSettings.h"
#include "CleaningTraces.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "StepOperations.h"
#include "desktop/Clipboard.h"

namespace orvelle::cleaning {

// The run's steps, done by the erasers and the browser settings. Clearing the
// clipboard also erases the clipboard history the trace catalog finds, and writes a
// red entry only when that fails.
class CleaningSteps final : public IStepOperations {
public:
    CleaningSteps(FolderErasers& folders, HistoryErasers& histories, BrowserSettings& browser,
                  desktop::IClipboard& clipboard, CleaningTraces& traces)
        : folders_(folders),
          histories_(histories),
          browser_(browser),
          clipboard_(clipboard),
          traces_(traces) {}

    void EraseTypedURLs(const std::string& message) override;
    void EraseRecentFiles(const std::string& message) override;
    void EraseMyDocuments(const std::string& message) override;
    void EmptyRecycleBin(const std::string& message) override;
    void EraseInternetCache(const std::string& message) override;
    void EraseCookies(const std::string& message) override;
    void EraseFavorites(const std::string& message) override;
    void EraseInternetHistory(const std::string& message) override;
    void EraseWindowsTemp(const std::string& message) override;
    void ClearClipboard() override;
    void EraseRunHistory(const std::string& message) override;
    void DisableScriptDebugger() override;
    void DisableScriptDebuggerX() override;

private:
    FolderErasers& folders_;
    HistoryErasers& histories_;
    BrowserSettings& browser_;
    desktop::IClipboard& clipboard_;
    CleaningTraces& traces_;
};

}  // namespace orvelle::cleaning
