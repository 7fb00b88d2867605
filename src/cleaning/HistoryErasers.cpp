#include "HistoryErasers.h"

#include "ErrorBox.h"

namespace orvelle::cleaning {

void HistoryErasers::DeleteUserKey(const std::string& keyPath, int option,
                                   const std::string& message) {
    shell::RunTrapped(messageBox_, [&] {
        log_.SetColour(kLogBlue);
        const traces::TraceFindings found = traces_.Find(option);
        traces_.PathEntries("HKEY_CURRENT_USER\\" + keyPath, found);
        log_.StartEntry(message);
        // Not checked: a key that is not there is already erased.
        static_cast<void>(registry_.RegDeleteKeyA(store::HKEY_CURRENT_USER, keyPath));
        static_cast<void>(traces_.Apply(found));  // its failures are in the log already
        log_.FinishEntry(message);
    });
}

void HistoryErasers::EraseTypedURLs(const std::string& message) {
    DeleteUserKey(kTypedURLsKey, 2, message);
}

void HistoryErasers::EraseRunHistory(const std::string& message) {
    DeleteUserKey(kRunMRUKey, 13, message);
}

void HistoryErasers::EmptyRecycleBin(const std::string& message) {
    try {
        log_.SetColour(kLogBlue);
        log_.PathEntry(recycleBin_.Location());
        log_.StartEntry(message);
        // Not checked, as the shell's answer is not: what stays (a file in use) stays
        // the way it does in a folder walk.
        static_cast<void>(recycleBin_.EmptyAll());
        // What stays by the walk's rules (a file in use) stays silently; what the
        // system refused to delete is named.
        for (const os::DeleteFailure& failure : recycleBin_.TakeFailures()) {
            log_.NotErased(failure.path, failure.reason);
        }
        log_.FinishEntry(message);
    } catch (const std::exception&) {
        log_.StepError(message);
    }
}

}  // namespace orvelle::cleaning
