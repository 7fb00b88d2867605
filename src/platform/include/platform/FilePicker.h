#pragma once

#include <optional>
#include <string>

namespace orvelle::platform {

enum class FileDialogKind { Open, Save };

// The desktop's file and folder pickers, modal over the active window.
class IFilePicker {
public:
    virtual ~IFilePicker() = default;

    // The file the user chose in the open or save dialog, starting with no name and
    // showing one filter ("Description | pattern"); nullopt when cancelled. Throws
    // RuntimeError when the dialog itself fails.
    [[nodiscard]] virtual std::optional<std::string> PickFile(FileDialogKind kind,
                                                              const std::string& filter) = 0;
    // The folder the user chose (file-system folders only); nullopt when cancelled.
    [[nodiscard]] virtual std::optional<std::string> PickFolder() = 0;
};

}  // namespace orvelle::platform
