#pragma once

#include "platform/HiddenWindowsFile.h"

#include <string>

namespace orvelle::platform::posix {

// The hidden-window list as "orvelle-hidden-windows" in the user's private folder
// ($XDG_RUNTIME_DIR, else a folder of ours that only this user can enter): it lives as
// long as the session, like the windows it names.
class RuntimeHiddenWindowsFile final : public IHiddenWindowsFile {
public:
    // `path` empty: the file in the user's private folder, looked up on every call.
    explicit RuntimeHiddenWindowsFile(std::string path = {}) : path_(std::move(path)) {}

    void Write(const std::string& content) override;
    [[nodiscard]] std::optional<std::string> Read() override;
    void Remove() override;

    [[nodiscard]] std::string Path() const;

private:
    std::string path_;
};

// A folder only this user can write, with a trailing "/": $XDG_RUNTIME_DIR when it is
// ours, else "orvelle-<uid>" in the temporary folder (made 0700, refused when it is a
// link or someone else's), else a fresh 0700 folder there. "" when none can be had.
std::string PrivateFolder();

}  // namespace orvelle::platform::posix
