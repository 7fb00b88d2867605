#pragma once

#include "os/FolderTree.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::os::fake {

// A folder tree held in memory, for walk tests: paths are absolute with "/" as
// separator. It records every call and can fail the n-th one, refuse a folder, or
// hold a file "in use".
class FakeFolderTree final : public IFolderTree {
public:
    struct Node {
        EntryKind kind = EntryKind::Folder;
        bool hidden = false;
        bool inUse = false;    // a file that cannot be deleted
        bool refuses = false;  // a file the system refuses to delete ("Operation not permitted")
        std::map<std::string, Node> children;
    };

    FakeFolderTree();

    // Adds a file (and the folders above it); hidden when its name starts with ".".
    void AddFile(const std::string& path, bool inUse = false);
    // A file whose deletion fails as an immutable file's does.
    void AddUndeletableFile(const std::string& path);
    void AddFolder(const std::string& path);
    void AddLink(const std::string& path);
    void AddKept(const std::string& path);
    [[nodiscard]] bool Exists(const std::string& path) const;
    // Every path below `path` (itself excluded), sorted.
    [[nodiscard]] std::vector<std::string> PathsBelow(const std::string& path) const;

    [[nodiscard]] std::unique_ptr<IFolder> OpenRoot(const std::string& path) override;

    // "OpenRoot /a", "List /a", "OpenFolder /a/b", "DeleteFile /a/x", "DeleteFolder /a/b".
    std::vector<std::string> calls;
    // The call with this number (from 1) throws `failError` instead of working.
    int failOnCall = 0;
    int failNumber = 76;
    std::string failDescription = "Path not found";
    // Paths whose OpenRoot or OpenFolder throws a refusal.
    std::vector<std::string> refused;

private:
    class Folder;
    friend class Folder;
    void Record(const std::string& what, const std::string& path);
    Node* Find(const std::string& path);
    [[nodiscard]] const Node* Find(const std::string& path) const;
    Node& Make(const std::string& path, EntryKind kind);

    Node root_;
};

}  // namespace orvelle::os::fake
