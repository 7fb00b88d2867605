#include "CleaningSteps.h"

namespace orvelle::cleaning {

void CleaningSteps::EraseTypedURLs(const std::string& message) {
    histories_.EraseTypedURLs(message);
}

void CleaningSteps::EraseRecentFiles(const std::string& message) {
    folders_.EraseRecentFiles(message);
}

void CleaningSteps::EraseMyDocuments(const std::string& message) {
    folders_.EraseMyDocuments(message);
}

void CleaningSteps::EmptyRecycleBin(const std::string& message) {
    histories_.EmptyRecycleBin(message);
}

void CleaningSteps::EraseInternetCache(const std::string& message) {
    folders_.EraseInternetCache(message);
}

void CleaningSteps::EraseCookies(const std::string& message) {
    folders_.EraseCookies(message);
}

void CleaningSteps::EraseFavorites(const std::string& message) {
    folders_.EraseFavorites(message);
}

void CleaningSteps::EraseInternetHistory(const std::string& message) {
    folders_.EraseInternetHistory(message);
}

void CleaningSteps::EraseWindowsTemp(const std::string& message) {
    folders_.EraseWindowsTemp(message);
}

void CleaningSteps::ClearClipboard() {
    clipboard_.Clear();
    static_cast<void>(traces_.Apply(traces_.Find(12)));  // failures are logged in red
}

void CleaningSteps::EraseRunHistory(const std::string& message) {
    histories_.EraseRunHistory(message);
}

void CleaningSteps::DisableScriptDebugger() {
    browser_.DisableScriptDebugger();
}

void CleaningSteps::DisableScriptDebuggerX() {
    browser_.DisableScriptDebuggerX();
}

}  // namespace orvelle::cleaning
