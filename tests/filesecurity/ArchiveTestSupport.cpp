#include "ArchiveTestSupport.h"

#include "TempEnvironment.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

extern char** environ;

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
    return RunQuietly(command);
}

bool RunQuietly(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace orvelle::test
