#pragma once

#include <optional>
#include <string>

namespace orvelle::desktop {

enum class FileDialogKind { Open, Save };

// What a file dialog is opened with.
struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    // Pairs of description and patterns separated by "|" ("Wav files |*.wav",
    // "All Files (*.*) | *.*"); several patterns of one pair are separated by ";".
    std::string filter;
    std::string title;
    std::string initialFolder;
    // The file name the dialog holds when it opens (a previous choice), or empty.
    std::string fileName;
};

// The desktop's common file dialogs, modal over the active window.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;

    // The file the user chose in the open or save dialog; nullopt when cancelled.
    // Throws RuntimeError when the dialog itself fails.
    [[nodiscard]] virtual std::optional<std::string> PickFile(const FileDialogRequest& request) = 0;
    // The folder the user chose (file-system folders only); nullopt when cancelled.
    [[nodiscard]] virtual std::optional<std::string> PickFolder() = 0;
};

}  // namespace orvelle::desktop
