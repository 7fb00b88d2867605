#include "ArchiveTestSupport.h"

#include "TempEnvironment.h"
#include "XdgFileTypeAssociation.h"

#include <filesystem>
#include <random>

namespace orvelle::test {

namespace fs = std::filesystem;

Tree Snapshot(const std::string& root) {
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = it->path().lexically_relative(root).generic_string();
        if (it->is_symlink()) {
            tree[relative] = {'l', fs::read_symlink(it->path()).string()};
        } else if (it->is_directory()) {
            tree[relative] = {'d', ""};
        } else {
            tree[relative] = {'f', ReadFile(it->path().string())};
        }
    }
    return tree;
}

void MakeSampleTree(const std::string& root) {
    MakeDirs(root + "/a/b/c");
    MakeDirs(root + "/a/b/empty-dir");
    MakeDirs(root + "/vide");
    MakeDirs(root + "/Ünïcödé");
    MakeDirs(root + "/big");
    WriteFile(root + "/a/b/c/deep.txt", "deep down");
    WriteFile(root + "/empty.txt", "");
    WriteFile(root + "/a/b/empty-too", "");
    WriteFile(root + "/Ünïcödé/日本語 テキスト.txt", "こんにちは");
    WriteFile(root + "/with space & 'quote'.txt", "odd name");
    std::mt19937 random(20260318);
    std::string noise(3 * 1024 * 1024 + 17, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random() & 0xFF);
    }
    WriteFile(root + "/big/café.bin", noise);
    fs::create_symlink("b/c/deep.txt", root + "/a/link-to-deep");
}

bool RunPython(const std::string& folder, const std::string& script,
               const std::vector<std::string>& arguments) {
    const std::string path = folder + "/script.py";
    WriteFile(path, script);
    std::vector<std::string> command{"python3", path};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return platform::posix::RunQuietly(command);
}

}  // namespace orvelle::test
