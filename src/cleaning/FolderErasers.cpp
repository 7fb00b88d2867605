#include "FolderErasers.h"

#include "ErrorBox.h"
#include "OptionTable.h"
#include "os/RuntimeError.h"

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace orvelle::cleaning {

using os::EntryKind;
using os::FolderEntry;
using os::IFolder;
using os::RuntimeError;

namespace {

// One folder of the walk: its entries, read once when the level starts, and the
// position among its subfolders.
struct Level {
    std::unique_ptr<IFolder> folder;
    std::vector<FolderEntry> entries;
    std::size_t next = 0;
    std::string name;  // in the level above; empty for the root
};

// Once a level has its list, a failing deletion is skipped silently: what cannot
// be deleted (in use, no permission) simply stays.
template <typename Delete>
void TryDelete(Delete&& remove) {
    try {
        static_cast<void>(remove());
    } catch (const RuntimeError&) {
        // Skipped like any other deletion that fails.
    }
}

std::vector<FolderEntry> Sorted(std::vector<FolderEntry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

}  // namespace

template <typename Body>
void FolderErasers::RunStep(const std::string& message, Body&& body) {
    try {
        body();
    } catch (const std::exception&) {
        // Run-time errors and anything else the step's own statements raise: the
        // step ends with its error entry and the run goes on.
        log_.StepError(message);
    }
}

std::string FolderErasers::GetSpecialFolder(int csidl) {
    std::string path;
    shell::RunTrapped(messageBox_, [&] {
        path = shellFolders_.SHGetSpecialFolderPathA(csidl).value_or(std::string());
    });
    return path;
}

void FolderErasers::DeleteFolderTree(const std::string& root) {
    Walk(root, false);
}

void FolderErasers::Walk(const std::string& root, bool temporary) {
    // Depth first with an explicit stack: the tree may be as deep as it likes.
    std::vector<Level> stack;
    try {
        bool shared = false;
        auto folder =
            temporary ? folders_.OpenTemporaryRoot(root, shared) : folders_.OpenRoot(root);
        if (shared) {
            log_.Entry(kSharedTemporaryEntry);
        }
        auto entries = Sorted(folder->List());
        stack.push_back({std::move(folder), std::move(entries), 0, {}});
    } catch (const RuntimeError& error) {
        log_.WalkError(error.Description());
        return;
    }
    // What a level's deletions could not delete, named by its full path once (a
    // folder's removal tries again what stayed in it).
    std::set<std::string> reported;
    const auto report = [&](IFolder& folder) {
        for (const os::DeleteFailure& failure : folder.TakeFailures()) {
            std::string path = root;
            for (std::size_t i = 1; i < stack.size(); ++i) {
                path += "/" + stack[i].name;
            }
            path += "/" + failure.path;
            if (reported.insert(path).second) {
                log_.NotErased(path, failure.reason);
            }
        }
    };
    while (!stack.empty()) {
        Level& level = stack.back();
        // Every subfolder first, each with the same rule.
        while (level.next < level.entries.size() &&
               level.entries[level.next].kind != EntryKind::Folder) {
            ++level.next;
        }
        if (level.next < level.entries.size()) {
            const std::string name = level.entries[level.next++].name;
            try {
                auto folder = level.folder->OpenFolder(name);
                auto entries = Sorted(folder->List());
                stack.push_back({std::move(folder), std::move(entries), 0, name});
            } catch (const RuntimeError& error) {
                // This level ends here; the level above goes on with its next subfolder.
                log_.WalkError(error.Description());
            }
            continue;
        }
        // Then the files of this level: at the top, hidden ones stay.
        const bool isRoot = stack.size() == 1;
        for (const FolderEntry& entry : level.entries) {
            if ((entry.kind == EntryKind::File || entry.kind == EntryKind::Link) &&
                !(isRoot && entry.hidden)) {
                IFolder& folder = *level.folder;
                TryDelete([&] { return folder.DeleteFile(entry.name); });
                yield_.DoEvents();
            }
        }
        report(*level.folder);
        const std::string name = level.name;
        stack.pop_back();
        if (!stack.empty()) {
            // The folder goes with whatever is still in it; a file in use keeps it.
            IFolder& parent = *stack.back().folder;
            TryDelete([&] { return parent.DeleteFolder(name); });
            report(parent);
        }
    }
}

void FolderErasers::EraseSpecialFolder(int csidl, int option, bool setsStatus,
                                       const std::string& message) {
    RunStep(message, [&] {
        if (setsStatus) {
            host_.SetStatus(message + " ...");
        }
        log_.SetColour(kLogBlue);
        const std::string path = GetSpecialFolder(csidl);
        const traces::TraceFindings found =
            option < 0 ? traces::TraceFindings{} : traces_.Find(option);
        traces_.PathEntries(path, found);
        log_.StartEntry(message);
        if (!path.empty()) {
            DeleteFolderTree(path);
        }
        static_cast<void>(traces_.Apply(found));  // its failures are in the log already
        log_.FinishEntry(message);
    });
}

void FolderErasers::EraseWindowsTemp(const std::string& message) {
    RunStep(message, [&] {
        std::string path = tempPath_.GetTempPathA();
        if (path.empty()) {
            // No temporary folder: there is no separator to drop.
            throw RuntimeError(os::errors::kInvalidProcedureCall,
                               "Invalid procedure call or argument");
        }
        path.pop_back();
        host_.SetStatus(message + " ...");
        log_.SetColour(kLogBlue);
        log_.PathEntry(path);
        log_.StartEntry(message);
        Walk(path, true);
        log_.FinishEntry(message);
    });
}

void FolderErasers::EraseOptionFolders(int option, const std::string& message) {
    const OptionRow& row = OptionAt(option);
    EraseSpecialFolder(row.specialFolder, row.traces ? option : -1, row.setsStatus, message);
}

void FolderErasers::EraseFavorites(const std::string& message) {
    EraseOptionFolders(8, message);
}

void FolderErasers::EraseMyDocuments(const std::string& message) {
    EraseOptionFolders(4, message);
}

void FolderErasers::EraseCookies(const std::string& message) {
    EraseOptionFolders(7, message);
}

void FolderErasers::EraseRecentFiles(const std::string& message) {
    EraseOptionFolders(3, message);
}

void FolderErasers::EraseInternetCache(const std::string& message) {
    EraseOptionFolders(6, message);
}

void FolderErasers::EraseInternetHistory(const std::string& message) {
    EraseOptionFolders(9, message);
}

}  // namespace orvelle::cleaning
