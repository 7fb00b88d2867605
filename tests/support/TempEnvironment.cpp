#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvelle::test {

namespace fs = std::filesystem;

TempEnvironment::TempEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "orvelle-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    root_ = pattern;
    for (const char* folder : {"home", "config", "data", "cache", "runtime", "tmp"}) {
        fs::create_directories(Path(folder));
    }
    fs::permissions(Path("runtime"), fs::perms::owner_all, fs::perm_options::replace);
    Set("HOME", Path("home"));
    Set("XDG_CONFIG_HOME", Path("config"));
    Set("XDG_DATA_HOME", Path("data"));
    Set("XDG_CACHE_HOME", Path("cache"));
    Set("XDG_RUNTIME_DIR", Path("runtime"));
    Set("TMPDIR", Path("tmp"));
    // Tests run side by side: each keeps its cleaning lock to itself.
    Set("ORVELLE_CLEAN_LOCK_DIR", Path("runtime"));
}

TempEnvironment::~TempEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    RemoveTree(root_);
}

void TempEnvironment::Set(const std::string& name, const std::optional<std::string>& value) {
    if (saved_.count(name) == 0) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old == nullptr ? std::nullopt : std::optional<std::string>(old);
    }
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

void RemoveTree(const std::string& path) {
    std::error_code error;
    // Tests may leave read-only folders behind; make them writable first.
    for (auto it = fs::recursive_directory_iterator(
             path, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(path, error);
}

void MakeDirs(const std::string& path) {
    fs::create_directories(path);
}

}  // namespace orvelle::test
