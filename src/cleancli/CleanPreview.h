#pragma once

#include "os/FolderTree.h"
#include "traces/TraceCatalog.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orvelle::store {
class IRegistry;
}  // namespace orvelle::store
namespace orvelle::os {
class IShellFolders;
class ITempPath;
}  // namespace orvelle::os

namespace orvelle::cleancli {

// One thing a clean would erase (or, for a setting, write).
struct PreviewItem {
    std::string path;
    std::string kind;  // "file", "folder", "folder contents", "database rows", "setting", …
    std::string what;  // what goes in it ("history", "typed addresses", …); "" when all of it
    // What the clean frees: the size on disk now; for database rows, what the edit
    // and compaction free.
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;  // a folder: the files in it that would go
    std::uint64_t kept = 0;   // a folder: the files in it that stay (open in a program)
    std::string browser;      // "" for the desktop's own traces
    std::string profile;
    std::uint64_t rows = 0;  // database rows: the rows the edit deletes or changes
};

// What one option's step would do.
struct OptionPreview {
    int index = 0;
    std::vector<PreviewItem> items;
    std::vector<traces::SkippedProfile> skipped;  // left alone (in use, refused)
    std::vector<std::string> notes;               // what the step would log in red
    std::vector<std::string> warnings;            // plain words on erasing the user's own files
    [[nodiscard]] std::uint64_t Bytes() const;
};

// Called now and then while a large tree is scanned: the folder and the files so far.
using ScanProgress = std::function<void(const std::string& folder, std::uint64_t files)>;

// What the folder walk of a cleaning step would delete, recorded instead of done:
// a walk's root opened with the walk's own checks, and the same decisions (a file
// open in a program stays) made by the posix folder, without deleting anything.
// Each root-level file is one item; each subfolder one item with its totals.
class PreviewFolderTree final : public os::IFolderTree {
public:
    explicit PreviewFolderTree(ScanProgress progress = {}) : progress_(std::move(progress)) {}

    [[nodiscard]] std::unique_ptr<os::IFolder> OpenRoot(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<os::IFolder> OpenTemporaryRoot(const std::string& path,
                                                                 bool& shared) override;

    // What the walks since the last call recorded, and forgets it.
    [[nodiscard]] std::vector<PreviewItem> TakeItems();

    // Bookkeeping of the folders of one walk.
    void AddFile(const std::string& top, const std::string& name, std::uint64_t bytes);
    void KeepFile(const std::string& top);
    // `stays`: the folder itself is kept (by a shared temporary folder's age rule).
    void AddFolder(const std::string& top, std::uint64_t bytes, bool stays = false);

private:
    void Tick();
    [[nodiscard]] std::unique_ptr<os::IFolder> Start(const std::string& path, bool temporary,
                                                     bool& shared);

    ScanProgress progress_;
    std::string root_;
    std::vector<PreviewItem> items_;
    std::map<std::string, std::size_t> folders_;  // top-level subfolder → its item
    std::set<std::size_t> staying_;  // items of top-level subfolders that stay themselves
    std::uint64_t seen_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
};

// Everything the preview looks at, all of it read-only.
struct PreviewSources {
    traces::ITraceCatalog& catalog;
    store::IRegistry& registry;
    os::IShellFolders& shellFolders;
    os::ITempPath& tempPath;
    std::vector<std::string> trashFolders;  // the recycle bins as the run would empty them
    ScanProgress progress;
};

// What the steps of `options` (in index order) would erase; changes nothing.
[[nodiscard]] std::vector<OptionPreview> BuildPreview(const std::set<int>& options,
                                                      PreviewSources& sources);

// The words for a catalog item's kind and content.
[[nodiscard]] std::string KindText(traces::TraceKind kind);
[[nodiscard]] std::string ContentText(traces::TraceContent content);
// A size for people: "512 B", "4.0 KiB", "1.5 GiB".
[[nodiscard]] std::string SizeText(std::uint64_t bytes);

}  // namespace orvelle::cleancli
