#pragma once

#include <string>

namespace orvelle::cleaning {

// The steps of the cleaning run. Every eraser takes the message of its step and
// handles its own errors; only ClearClipboard lets an error end the run.
class IStepOperations {
public:
    virtual ~IStepOperations() = default;

    virtual void EraseTypedURLs(const std::string& message) = 0;
    virtual void EraseRecentFiles(const std::string& message) = 0;
    virtual void EraseMyDocuments(const std::string& message) = 0;
    virtual void EmptyRecycleBin(const std::string& message) = 0;
    virtual void EraseInternetCache(const std::string& message) = 0;
    virtual void EraseCookies(const std::string& message) = 0;
    virtual void EraseFavorites(const std::string& message) = 0;
    virtual void EraseInternetHistory(const std::string& message) = 0;
    virtual void EraseWindowsTemp(const std::string& message) = 0;
    // Empties the clipboard; throws RuntimeError when another program holds it.
    virtual void ClearClipboard() = 0;
    virtual void EraseRunHistory(const std::string& message) = 0;
    virtual void DisableScriptDebugger() = 0;
    virtual void DisableScriptDebuggerX() = 0;
};

}  // namespace orvelle::cleaning
