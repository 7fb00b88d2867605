#pragma once

#include "CleaningLog.h"
#include "CleaningTraces.h"
#include "desktop/MessageBox.h"
#include "os/RecycleBin.h"
#include "store/Registry.h"

#include <string>

namespace orvelle::cleaning {

// The steps that erase histories which are not plain folders: the browser's typed
// addresses and the Run dialog's history in the current user's registry, and the
// recycle bins.
class HistoryErasers {
public:
    static constexpr const char* kTypedURLsKey =
        "Software\\Microsoft\\Internet Explorer\\TypedURLs";
    static constexpr const char* kRunMRUKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

    HistoryErasers(store::IRegistry& registry, os::IRecycleBin& recycleBin,
                   desktop::IMessageBox& messageBox, CleaningLog& log, CleaningTraces& traces)
        : registry_(registry),
          recycleBin_(recycleBin),
          messageBox_(messageBox),
          log_(log),
          traces_(traces) {}

    // Deletes HKCU\...\TypedURLs, and the browsers' typed addresses the trace
    // catalog finds; a missing key is no error. An unexpected error shows the error
    // box and the step ends without its finish entry.
    void EraseTypedURLs(const std::string& message);
    // The same for HKCU\...\Explorer\RunMRU and the desktop's run dialogs.
    void EraseRunHistory(const std::string& message);
    // Empties every bin; an empty bin is no error. An unexpected error logs the
    // step error entry.
    void EmptyRecycleBin(const std::string& message);

private:
    void DeleteUserKey(const std::string& keyPath, int option, const std::string& message);

    store::IRegistry& registry_;
    os::IRecycleBin& recycleBin_;
    desktop::IMessageBox& messageBox_;
    CleaningLog& log_;
    CleaningTraces& traces_;
};

}  // namespace orvelle::cleaning
