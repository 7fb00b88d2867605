#pragma once

#include "popup/HiddenWindowsFile.h"

#include <string>

namespace orvelle::popup::posix {

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

}  // namespace orvelle::popup::posix
