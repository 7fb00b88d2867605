#pragma once

#include "desktop/FileDialogs.h"
#include "os/RuntimeError.h"

#include <optional>
#include <string>
#include <vector>

namespace orvelle::desktop::fake {

// Records every dialog asked for and answers as the user would.
class FakeFileDialogs final : public IFileDialogs {
public:
    struct Call {
        std::string what;  // "open", "save" or "folder"
        FileDialogRequest request;
    };

    [[nodiscard]] std::optional<std::string> PickFile(const FileDialogRequest& request) override {
        calls.push_back({request.kind == FileDialogKind::Open ? "open" : "save", request});
        return Answer();
    }
    [[nodiscard]] std::optional<std::string> PickFolder() override {
        calls.push_back({"folder", {}});
        return Answer();
    }

    std::vector<Call> calls;
    std::optional<std::string> answer;  // nullopt: the user cancels
    std::optional<os::RuntimeError> failWith;

private:
    std::optional<std::string> Answer() {
        if (failWith) {
            throw *failWith;
        }
        return answer;
    }
};

}  // namespace orvelle::desktop::fake
