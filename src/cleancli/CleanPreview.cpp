#include "CleanPreview.h"

#include "BrowserSettings.h"
#include "CleaningLog.h"
#include "CleaningRun.h"
#include "CleaningTraces.h"
#include "CommandServices.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"
#include "OptionTable.h"
#include "PosixFolder.h"
#include "PosixFolderTree.h"
#include "TraceFiles.h"
#include "kit/PathText.h"
#include "os/RuntimeError.h"
#include "os/ShellFolders.h"
#include "os/TempPath.h"
#include "store/Registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <optional>

namespace orvelle::cleancli {
namespace {

using os::EntryKind;
using os::FolderEntry;
using os::IFolder;
using os::posix::OpenFileSet;
using os::posix::PosixFolder;

constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// One folder of a preview walk: the posix folder decides, the tree records.
class PreviewFolder final : public IFolder {
public:
    PreviewFolder(std::unique_ptr<PosixFolder> folder, std::string top, PreviewFolderTree& tree)
        : folder_(std::move(folder)), top_(std::move(top)), tree_(tree) {}

    [[nodiscard]] std::vector<FolderEntry> List() override { return folder_->List(); }

    [[nodiscard]] std::unique_ptr<IFolder> OpenFolder(const std::string& name) override {
        std::unique_ptr<IFolder> opened = folder_->OpenFolder(name);
        auto child = std::unique_ptr<PosixFolder>(static_cast<PosixFolder*>(opened.release()));
        const std::string top = top_.empty() ? name : top_;
        // A folder the age rule keeps is looked into for its files but stays itself.
        const bool stays = !folder_->MayRemoveFolder(name);
        tree_.AddFolder(top, stays ? 0 : child->OwnSize(), stays && top_.empty());
        return std::make_unique<PreviewFolder>(std::move(child), top, tree_);
    }

    [[nodiscard]] bool DeleteFile(const std::string& name) override {
        const auto bytes = folder_->DeletableFileSize(name);
        if (!bytes) {
            tree_.KeepFile(top_);
            return false;
        }
        tree_.AddFile(top_, name, *bytes);
        return true;
    }

    // The walk has recorded the subfolder's files already (and a subfolder that
    // cannot be entered keeps what it holds, as it does when cleaning).
    [[nodiscard]] bool DeleteFolder(const std::string&) override { return true; }

private:
    std::unique_ptr<PosixFolder> folder_;
    std::string top_;  // the root's subfolder this folder lies in; "" for the root
    PreviewFolderTree& tree_;
};

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// A registry key the step deletes, listed when it is there.
void AddKey(store::IRegistry& registry, const std::string& key, OptionPreview& preview) {
    store::HKEY handle = 0;
    if (registry.RegOpenKeyExA(store::HKEY_CURRENT_USER, key, store::KEY_READ, handle) ==
        store::ERROR_SUCCESS) {
        static_cast<void>(registry.RegCloseKey(handle));
        preview.items.push_back({"HKEY_CURRENT_USER\\" + key, "registry key", "", 0, 0, 0, "", ""});
    }
}

// The catalog's items of `option`. A file or folder an earlier option of the same
// preview already takes is not counted again; an edited database counts what its
// edit would delete and free, not its whole size.
void AddFindings(traces::ITraceCatalog& catalog, int option, std::set<std::string>& listed,
                 OptionPreview& preview) {
    traces::TraceFindings findings = catalog.Find(option);
    for (traces::TraceItem& item : findings.items) {
        if (item.kind == traces::TraceKind::DatabaseRows) {
            catalog.Measure(item);
        } else if (item.kind != traces::TraceKind::Setting && !listed.insert(item.path).second) {
            continue;
        }
        preview.items.push_back(
            {item.path,
             item.content == traces::TraceContent::WholeFolder ? std::string("folder")
                                                               : KindText(item.kind),
             ContentText(item.content), item.bytes, 0, 0, item.browser, item.profile, item.rows});
    }
    preview.skipped.insert(preview.skipped.end(), findings.skipped.begin(), findings.skipped.end());
}

// The recycle bins as FreedesktopTrash empties them: files/ and info/ of each,
// and its directorysizes.
void AddTrash(const std::vector<std::string>& trashFolders, OptionPreview& preview) {
    const auto openFiles = std::make_shared<const OpenFileSet>(OpenFileSet::Scan());
    for (const std::string& trash : trashFolders) {
        std::unique_ptr<PosixFolder> root;
        try {
            root = PosixFolder::OpenRoot(trash, openFiles);
        } catch (const os::RuntimeError& error) {
            preview.notes.push_back(trash + ": " + error.Description());
            continue;
        }
        for (const char* part : {"files", "info"}) {
            std::unique_ptr<IFolder> folder;
            std::vector<FolderEntry> entries;
            try {
                folder = root->OpenFolder(part);
                entries = folder->List();
            } catch (const os::RuntimeError&) {
                continue;  // a trash without this part is empty there
            }
            auto& posix = static_cast<PosixFolder&>(*folder);
            const std::string folderPath = trash + "/" + part;
            for (const FolderEntry& entry : entries) {
                const std::string path = folderPath + "/" + entry.name;
                if (entry.kind == EntryKind::Folder) {
                    preview.items.push_back(
                        {path, "folder", "", traces::SizeOnDisk(path), 0, 0, "", ""});
                } else if (entry.kind != EntryKind::Kept) {
                    if (const auto bytes = posix.DeletableFileSize(entry.name)) {
                        preview.items.push_back({path, "file", "", *bytes, 0, 0, "", ""});
                    }
                }
            }
        }
        const std::string sizes = trash + "/directorysizes";
        if (const auto bytes = root->DeletableFileSize("directorysizes")) {
            preview.items.push_back({sizes, "file", "", *bytes, 0, 0, "", ""});
        }
    }
}

}  // namespace

std::uint64_t OptionPreview::Bytes() const {
    std::uint64_t total = 0;
    for (const PreviewItem& item : items) {
        total += item.bytes;
    }
    return total;
}

std::unique_ptr<IFolder> PreviewFolderTree::OpenRoot(const std::string& path) {
    bool shared = false;
    return Start(path, false, shared);
}

std::unique_ptr<IFolder> PreviewFolderTree::OpenTemporaryRoot(const std::string& path,
                                                              bool& shared) {
    return Start(path, true, shared);
}

std::unique_ptr<IFolder> PreviewFolderTree::Start(const std::string& path, bool temporary,
                                                  bool& shared) {
    root_ = kit::WithoutTrailingSeparators(path);
    folders_.clear();
    std::optional<PosixFolder::AgeRule> rule;
    if (temporary) {
        rule = PosixFolder::AgeRule{
            ::getuid(), std::time(nullptr) - os::posix::PosixFolderTree::kSharedTemporaryAge};
    }
    auto root = PosixFolder::OpenRoot(path, nullptr, rule);
    shared = root->FollowsAgeRule();
    return std::make_unique<PreviewFolder>(std::move(root), "", *this);
}

std::vector<PreviewItem> PreviewFolderTree::TakeItems() {
    folders_.clear();
    // A folder that loses nothing (the age rule keeps it and all it holds) is no item.
    std::vector<PreviewItem> items;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (staying_.count(i) == 0 || items_[i].files > 0) {
            items.push_back(std::move(items_[i]));
        }
    }
    items_.clear();
    staying_.clear();
    return items;
}

void PreviewFolderTree::Tick() {
    if ((++seen_ & 1023U) != 0 || !progress_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ >= kProgressEvery) {
        lastProgress_ = now;
        progress_(root_, seen_);
    }
}

void PreviewFolderTree::AddFolder(const std::string& top, std::uint64_t bytes, bool stays) {
    auto found = folders_.find(top);
    if (found == folders_.end()) {
        if (stays) {
            staying_.insert(items_.size());
        }
        found = folders_.emplace(top, items_.size()).first;
        items_.push_back({Join(root_, top), "folder", "", 0, 0, 0, "", ""});
    }
    items_[found->second].bytes += bytes;
}

void PreviewFolderTree::AddFile(const std::string& top, const std::string& name,
                                std::uint64_t bytes) {
    Tick();
    if (top.empty()) {
        items_.push_back({Join(root_, name), "file", "", bytes, 0, 0, "", ""});
        return;
    }
    PreviewItem& folder = items_[folders_.at(top)];
    folder.bytes += bytes;
    ++folder.files;
}

void PreviewFolderTree::KeepFile(const std::string& top) {
    Tick();
    if (!top.empty()) {
        ++items_[folders_.at(top)].kept;
    }
}

namespace {

// The folder steps' own lookup and walk, over a tree that only records.
struct PreviewWalk {
    cleaning::FolderErasers& folders;
    PreviewFolderTree& tree;

    void Take(OptionPreview& preview) {
        auto items = tree.TakeItems();
        preview.items.insert(preview.items.end(), items.begin(), items.end());
    }
    void Walk(const std::string& root, OptionPreview& preview) {
        folders.DeleteFolderTree(root);
        Take(preview);
    }
};

// What the option's own step would do; false for an option that only carries a state.
bool AddStepItems(const cleaning::OptionRow& row, PreviewSources& sources, PreviewWalk& walk,
                  OptionPreview& preview) {
    switch (row.step) {
    case cleaning::OptionStep::TypedURLs:
        AddKey(sources.registry, cleaning::HistoryErasers::kTypedURLsKey, preview);
        break;
    case cleaning::OptionStep::RunHistory:
        AddKey(sources.registry, cleaning::HistoryErasers::kRunMRUKey, preview);
        break;
    case cleaning::OptionStep::RecycleBin:
        AddTrash(sources.trashFolders, preview);
        break;
    case cleaning::OptionStep::WindowsTemp: {
        std::string path = sources.tempPath.GetTempPathA();
        if (!path.empty()) {
            path.pop_back();
            walk.folders.DeleteTemporaryFolder(path);
            walk.Take(preview);
        }
        break;
    }
    case cleaning::OptionStep::Clipboard:
        preview.items.push_back(
            {"CLIPBOARD and PRIMARY selections", "clipboard", "", 0, 0, 0, "", ""});
        break;
    case cleaning::OptionStep::ScriptDebugger:
    case cleaning::OptionStep::ScriptDebuggerX:
        preview.items.push_back({std::string("HKEY_CURRENT_USER\\") +
                                     cleaning::BrowserSettings::kMainKey + "\\" +
                                     (row.step == cleaning::OptionStep::ScriptDebugger
                                          ? cleaning::BrowserSettings::kDisableScriptDebugger
                                          : cleaning::BrowserSettings::kDisableScriptDebuggerX),
                                 "registry value", "set to \"yes\"", 0, 0, 0, "", ""});
        break;
    case cleaning::OptionStep::None:
        return false;
    default:
        break;
    }
    return true;
}

// The shell's folder, as the step walks it (none on Linux but the documents).
void AddSpecialFolder(const cleaning::OptionRow& row, PreviewWalk& walk, OptionPreview& preview) {
    if (row.specialFolder < 0) {
        return;
    }
    if (const std::string path = walk.folders.GetSpecialFolder(row.specialFolder); !path.empty()) {
        if (row.specialFolder == os::CSIDL_PERSONAL) {
            preview.warnings.push_back("Erases your own files: everything in " + path +
                                       " except hidden files directly in it");
        }
        walk.Walk(path, preview);
    }
}

}  // namespace

std::vector<OptionPreview> BuildPreview(const std::set<int>& options, PreviewSources& sources) {
    std::vector<OptionPreview> previews;
    // What the folder steps would log in red becomes the option's notes.
    std::vector<std::string>* notes = nullptr;
    std::vector<std::string>* warnings = nullptr;
    LineLogSink sink([&](const std::string& text, cleaning::LogColour colour) {
        if (colour == cleaning::kLogRed && notes != nullptr) {
            notes->push_back(text);
        } else if (text == cleaning::FolderErasers::kSharedTemporaryEntry && warnings != nullptr) {
            warnings->push_back(text);
        }
    });
    cleaning::CleaningLog log(sink);
    cleaning::CleaningTraces traces(sources.catalog, log);
    LineMessageBox messageBox([&](const std::string& text) {
        if (notes != nullptr) {
            notes->push_back(text);
        }
    });
    NoEventPump pump;
    CommandHost host;
    PreviewFolderTree tree(sources.progress);
    cleaning::FolderErasers folders(tree, sources.shellFolders, sources.tempPath, messageBox, log,
                                    pump, host, traces);
    PreviewWalk walk{folders, tree};

    std::set<std::string> listed;  // files and folders some option already takes
    for (const int index : options) {
        OptionPreview preview;
        preview.index = index;
        notes = &preview.notes;
        warnings = &preview.warnings;
        const cleaning::OptionRow& row = cleaning::OptionAt(index);
        if (!AddStepItems(row, sources, walk, preview)) {
            continue;  // the option only carries a state
        }
        AddSpecialFolder(row, walk, preview);
        if (row.traces) {
            AddFindings(sources.catalog, index, listed, preview);
        }
        previews.push_back(std::move(preview));
    }
    return previews;
}

std::string KindText(traces::TraceKind kind) {
    switch (kind) {
    case traces::TraceKind::File:
        return "file";
    case traces::TraceKind::Folder:
        return "folder contents";
    case traces::TraceKind::DatabaseRows:
        return "database rows";
    case traces::TraceKind::Setting:
        return "setting";
    }
    return "file";
}

std::string ContentText(traces::TraceContent content) {
    using traces::TraceContent;
    switch (content) {
    case TraceContent::WholeFile:
    case TraceContent::FolderContents:
    case TraceContent::WholeFolder:
        return "";
    case TraceContent::FirefoxFormHistory:
    case TraceContent::ChromiumAutofill:
        return "form history";
    case TraceContent::FirefoxSitePermissions:
        return "storage access Firefox granted by itself";
    case TraceContent::FirefoxBounceTracking:
        return "bounce tracking records";
    case TraceContent::ChromiumFavicons:
        return "icons of pages not bookmarked";
    case TraceContent::ChromiumEngagement:
        return "site and media engagement";
    case TraceContent::FirefoxTyped:
    case TraceContent::ChromiumTyped:
        return "typed addresses";
    case TraceContent::FirefoxHistory:
    case TraceContent::ChromiumHistory:
        return "history";
    case TraceContent::FirefoxFavicons:
        return "icons of pages not bookmarked";
    case TraceContent::FirefoxBookmarks:
        return "bookmarks";
    case TraceContent::RecentList:
        return "recent files list";
    case TraceContent::KRunnerHistory:
    case TraceContent::GnomeRunHistory:
        return "run history";
    case TraceContent::FirefoxStartPage:
    case TraceContent::ChromiumStartPage:
        return "start page";
    case TraceContent::FirefoxAutoFill:
        return "address auto-fill";
    }
    return "";
}

std::string SizeText(std::uint64_t bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double size = static_cast<double>(bytes);
    int unit = 0;
    while (size >= 1024.0 && unit < 4) {
        size /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", size, units[unit]);
    return text;
}

}  // namespace orvelle::cleancli
