#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvelle::os {

// What a cleaning walk finds in a folder.
enum class EntryKind {
    File,    // a plain file
    Link,    // a symbolic link: deleting it removes the link, never what it points to
    Folder,  // a subfolder on the same file system
    Kept,    // what a walk must leave alone: sockets, FIFOs, devices, other file systems
};

struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::File;
    bool hidden = false;  // the platform's notion of a hidden entry

    friend bool operator==(const FolderEntry&, const FolderEntry&) = default;
};

// Something a walk meant to delete and could not: a deletion the system refused,
// not an entry the walk's rules keep (a file in use, a socket, another user's file).
struct DeleteFailure {
    std::string path;    // relative to the folder whose call failed
    std::string reason;  // the system's words, e.g. "Operation not permitted"

    friend bool operator==(const DeleteFailure&, const DeleteFailure&) = default;
};

// One open folder of a walk. Every operation is relative to the open folder, so a
// folder renamed or replaced by a link while the walk runs cannot redirect it.
class IFolder {
public:
    virtual ~IFolder() = default;

    // Every entry except "." and ".."; throws RuntimeError when the folder cannot be read.
    [[nodiscard]] virtual std::vector<FolderEntry> List() = 0;
    // Opens a subfolder, never through a link nor onto another file system;
    // throws RuntimeError when it cannot.
    [[nodiscard]] virtual std::unique_ptr<IFolder> OpenFolder(const std::string& name) = 0;
    // Deletes a file or a link, read-only or not; false when it is in use (open in
    // some process), is not a file, or cannot be deleted.
    [[nodiscard]] virtual bool DeleteFile(const std::string& name) = 0;
    // Deletes a subfolder with whatever is still in it, under the same rules; false
    // when anything stayed (then so does the subfolder).
    [[nodiscard]] virtual bool DeleteFolder(const std::string& name) = 0;
    // The failures of this folder's deletions since the last call, then forgets them.
    [[nodiscard]] virtual std::vector<DeleteFailure> TakeFailures() { return {}; }
};

// Where a cleaning walk starts.
class IFolderTree {
public:
    virtual ~IFolderTree() = default;

    // Opens the folder a cleaning step names, for one walk. Throws RuntimeError when
    // it is missing or unreadable, and refuses (RuntimeError, nothing touched) a
    // folder that is not a full path, is a link, is the file-system root, or is the
    // user's home folder or one above it.
    [[nodiscard]] virtual std::unique_ptr<IFolder> OpenRoot(const std::string& path) = 0;
    // Opens the temporary-files folder like OpenRoot. When other users may write in
    // it (`shared` set true) the walk deletes only this user's own entries that
    // nothing modified, accessed or changed for a day, and a folder only when it was
    // such an entry itself; a private one is walked like any other folder.
    [[nodiscard]] virtual std::unique_ptr<IFolder> OpenTemporaryRoot(const std::string& path,
                                                                     bool& shared) {
        shared = false;
        return OpenRoot(path);
    }
};

}  // namespace orvelle::os
