#pragma once

#include "CleaningHost.h"
#include "CleaningLog.h"
#include "CleaningTraces.h"
#include "desktop/MessageBox.h"
#include "os/EventPump.h"
#include "os/FolderTree.h"
#include "os/ShellFolders.h"
#include "os/TempPath.h"

#include <string>

namespace orvelle::cleaning {

// The seven steps that empty one folder each, and the walk they share. The folder a
// step names stays; the plain files directly in it go, except hidden ones; every
// folder below it goes whole, except what cannot be deleted (a file in use keeps
// its folder and the folders above it). Beside its shell folder each step erases
// what the trace catalog finds for its option (on Linux, where those shell folders
// do not exist, that is all of it).
class FolderErasers {
public:
    // `yield` is called after every file the walk deletes.
    FolderErasers(os::IFolderTree& folders, os::IShellFolders& shellFolders,
                  os::ITempPath& tempPath, desktop::IMessageBox& messageBox, CleaningLog& log,
                  os::IEventPump& yield, ICleaningHost& host, CleaningTraces& traces)
        : folders_(folders),
          shellFolders_(shellFolders),
          tempPath_(tempPath),
          messageBox_(messageBox),
          log_(log),
          yield_(yield),
          host_(host),
          traces_(traces) {}

    // The shell folder's path, or "" when the shell has none. An error of the lookup
    // itself shows the error box and gives "".
    std::string GetSpecialFolder(int csidl);
    // Deletes the contents of `root` by the rule above. A folder that cannot be
    // opened or read logs the walk error entry and keeps its contents.
    // Every entry it could not delete is named in red with the reason.
    void DeleteFolderTree(const std::string& root);

    // The walk of the temporary-files step (see EraseWindowsTemp).
    void DeleteTemporaryFolder(const std::string& root) { Walk(root, true); }

    static constexpr const char* kSharedTemporaryEntry =
        "Shared with other users: only your own entries that nothing has modified, "
        "accessed or changed for 24 hours are erased";

    // The temporary-files folder goes by the same rule when it is the user's own;
    // when other users share it, by the rule of IFolderTree::OpenTemporaryRoot,
    // which the log then states.
    void EraseWindowsTemp(const std::string& message);
    void EraseFavorites(const std::string& message);
    void EraseMyDocuments(const std::string& message);
    void EraseCookies(const std::string& message);
    void EraseRecentFiles(const std::string& message);
    void EraseInternetCache(const std::string& message);
    void EraseInternetHistory(const std::string& message);

private:
    // `option` is the step's cleaning option: the catalog's locations for it follow.
    void EraseSpecialFolder(int csidl, int option, bool setsStatus, const std::string& message);
    // The step of `option` as its row of the option table describes it.
    void EraseOptionFolders(int option, const std::string& message);
    // The walk of DeleteFolderTree; `temporary` opens the root as the temporary folder.
    void Walk(const std::string& root, bool temporary);
    // Runs a step's body; an error it raises logs the step error entry.
    template <typename Body>
    void RunStep(const std::string& message, Body&& body);

    os::IFolderTree& folders_;
    os::IShellFolders& shellFolders_;
    os::ITempPath& tempPath_;
    desktop::IMessageBox& messageBox_;
    CleaningLog& log_;
    os::IEventPump& yield_;
    ICleaningHost& host_;
    CleaningTraces& traces_;
};

}  // namespace orvelle::cleaning
