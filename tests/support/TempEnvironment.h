#pragma once

#include <map>
#include <optional>
#include <string>

namespace orvelle::test {

// A private home for one test: a fresh folder with HOME, XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME, XDG_RUNTIME_DIR, TMPDIR and the cleaning lock's
// folder (ORVELLE_CLEAN_LOCK_DIR) pointing inside it.
// Everything is put back, and the folder removed, when it leaves scope.
class TempEnvironment {
public:
    TempEnvironment();
    ~TempEnvironment();
    TempEnvironment(const TempEnvironment&) = delete;
    TempEnvironment& operator=(const TempEnvironment&) = delete;

    [[nodiscard]] const std::string& Root() const noexcept { return root_; }
    [[nodiscard]] std::string Path(const std::string& relative) const {
        return root_ + "/" + relative;
    }
    // Sets (or with nullopt unsets) a variable until the end of the test.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    std::string root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Test file helpers.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void RemoveTree(const std::string& path);
void MakeDirs(const std::string& path);

}  // namespace orvelle::test
