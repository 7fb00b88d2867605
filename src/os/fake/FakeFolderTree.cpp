#include "FakeFolderTree.h"

#include "os/RuntimeError.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace orvelle::os::fake {
namespace {

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start < path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

class FakeFolderTree::Folder final : public IFolder {
public:
    Folder(FakeFolderTree& tree, std::string path) : tree_(tree), path_(std::move(path)) {}

    std::vector<FolderEntry> List() override {
        tree_.Record("List", path_);
        Node* node = tree_.Find(path_);
        if (node == nullptr || node->kind != EntryKind::Folder) {
            throw RuntimeError(errors::kPathNotFound, "Path not found");
        }
        std::vector<FolderEntry> entries;
        for (const auto& [name, child] : node->children) {
            entries.push_back({name, child.kind, child.hidden});
        }
        return entries;
    }

    std::unique_ptr<IFolder> OpenFolder(const std::string& name) override {
        const std::string path = Join(path_, name);
        tree_.Record("OpenFolder", path);
        if (std::find(tree_.refused.begin(), tree_.refused.end(), path) != tree_.refused.end()) {
            throw RuntimeError(errors::kPermissionDenied, "Permission denied");
        }
        const Node* node = tree_.Find(path);
        if (node == nullptr || node->kind != EntryKind::Folder) {
            throw RuntimeError(errors::kPathNotFound, "Path not found");
        }
        return std::make_unique<Folder>(tree_, path);
    }

    bool DeleteFile(const std::string& name) override {
        const std::string path = Join(path_, name);
        tree_.Record("DeleteFile", path);
        Node* parent = tree_.Find(path_);
        if (parent == nullptr) {
            return false;
        }
        const auto found = parent->children.find(name);
        if (found == parent->children.end() || found->second.inUse ||
            (found->second.kind != EntryKind::File && found->second.kind != EntryKind::Link)) {
            return false;
        }
        if (found->second.refuses) {
            failures_.push_back({name, "Operation not permitted"});
            return false;
        }
        parent->children.erase(found);
        return true;
    }

    std::vector<DeleteFailure> TakeFailures() override { return std::exchange(failures_, {}); }

    bool DeleteFolder(const std::string& name) override {
        const std::string path = Join(path_, name);
        tree_.Record("DeleteFolder", path);
        Node* parent = tree_.Find(path_);
        if (parent == nullptr) {
            return false;
        }
        const auto found = parent->children.find(name);
        if (found == parent->children.end() || found->second.kind != EntryKind::Folder) {
            return false;
        }
        // Forced: everything goes except files in use and kept entries.
        std::function<bool(Node&, const std::string&)> empty = [&](Node& node,
                                                                   const std::string& at) {
            for (auto it = node.children.begin(); it != node.children.end();) {
                Node& child = it->second;
                const std::string childPath = at + "/" + it->first;
                if (child.refuses) {
                    failures_.push_back({childPath, "Operation not permitted"});
                }
                const bool gone =
                    child.kind == EntryKind::Folder
                        ? empty(child, childPath)
                        : (child.kind != EntryKind::Kept && !child.inUse && !child.refuses);
                it = gone ? node.children.erase(it) : std::next(it);
            }
            return node.children.empty();
        };
        if (!empty(found->second, name)) {
            return false;
        }
        parent->children.erase(found);
        return true;
    }

private:
    FakeFolderTree& tree_;
    std::string path_;
    std::vector<DeleteFailure> failures_;
};

FakeFolderTree::FakeFolderTree() = default;

void FakeFolderTree::Record(const std::string& what, const std::string& path) {
    calls.push_back(what + " " + path);
    if (failOnCall != 0 && static_cast<int>(calls.size()) == failOnCall) {
        throw RuntimeError(failNumber, failDescription);
    }
}

FakeFolderTree::Node* FakeFolderTree::Find(const std::string& path) {
    Node* node = &root_;
    for (const std::string& part : Split(path)) {
        const auto found = node->children.find(part);
        if (found == node->children.end()) {
            return nullptr;
        }
        node = &found->second;
    }
    return node;
}

const FakeFolderTree::Node* FakeFolderTree::Find(const std::string& path) const {
    return const_cast<FakeFolderTree*>(this)->Find(path);
}

FakeFolderTree::Node& FakeFolderTree::Make(const std::string& path, EntryKind kind) {
    Node* node = &root_;
    const auto parts = Split(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Node& child = node->children[parts[i]];
        child.hidden = !parts[i].empty() && parts[i][0] == '.';
        if (i + 1 == parts.size()) {
            child.kind = kind;
        }
        node = &child;
    }
    return *node;
}

void FakeFolderTree::AddFile(const std::string& path, bool inUse) {
    Make(path, EntryKind::File).inUse = inUse;
}

void FakeFolderTree::AddUndeletableFile(const std::string& path) {
    Make(path, EntryKind::File).refuses = true;
}

void FakeFolderTree::AddFolder(const std::string& path) {
    Make(path, EntryKind::Folder);
}

void FakeFolderTree::AddLink(const std::string& path) {
    Make(path, EntryKind::Link);
}

void FakeFolderTree::AddKept(const std::string& path) {
    Make(path, EntryKind::Kept);
}

bool FakeFolderTree::Exists(const std::string& path) const {
    return Find(path) != nullptr;
}

std::vector<std::string> FakeFolderTree::PathsBelow(const std::string& path) const {
    std::vector<std::string> paths;
    const Node* start = Find(path);
    if (start == nullptr) {
        return paths;
    }
    std::function<void(const Node&, const std::string&)> visit = [&](const Node& node,
                                                                     const std::string& at) {
        for (const auto& [name, child] : node.children) {
            const std::string childPath = Join(at, name);
            paths.push_back(childPath);
            visit(child, childPath);
        }
    };
    visit(*start, path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::unique_ptr<IFolder> FakeFolderTree::OpenRoot(const std::string& path) {
    Record("OpenRoot", path);
    if (std::find(refused.begin(), refused.end(), path) != refused.end()) {
        throw RuntimeError(errors::kPermissionDenied, "Not cleaned: \"" + path + "\" is refused");
    }
    const Node* node = Find(path);
    if (path.empty() || node == nullptr || node->kind != EntryKind::Folder) {
        throw RuntimeError(errors::kPathNotFound, "Path not found");
    }
    return std::make_unique<Folder>(*this, path);
}

}  // namespace orvelle::os::fake
