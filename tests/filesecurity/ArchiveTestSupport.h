#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvelle::test {

// One thing in a folder tree: a file with its bytes, a folder, or a link with its target.
struct TreeNode {
    char type;  // 'f', 'd' or 'l'
    std::string data;

    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};
using Tree = std::map<std::string, TreeNode>;

// Everything below `root` by relative path, links not followed.
Tree Snapshot(const std::string& root);

// Builds a tree with nested and empty folders, empty files, non-ASCII names, an
// inward link and a few megabytes of poorly compressible data.
void MakeSampleTree(const std::string& root);

// Runs a program found on PATH with these arguments (no shell), its output
// discarded; true when it ran and succeeded.
bool RunQuietly(const std::vector<std::string>& arguments);

// Runs a Python script with the arguments; true when it succeeded.
bool RunPython(const std::string& folder, const std::string& script,
               const std::vector<std::string>& arguments);

}  // namespace orvelle::test
