#pragma once

#include <optional>
#include <string>

namespace orvelle::platform {

// What a file-open dialog is opened with.
struct OpenFileRequest {
    std::string initialFolder;
    // Pairs of description and pattern separated by "|": "Wav files |*.wav".
    std::string filter;
    std::string title;
    // The file name the dialog holds when it opens (the previous choice).
    std::string fileName;
};

// The desktop's modal file-open dialog.
class IOpenFileDialog {
public:
    virtual ~IOpenFileDialog() = default;

    // Shows the dialog and returns the chosen file's full path, or nullopt when the
    // user cancelled it.
    [[nodiscard]] virtual std::optional<std::string> ShowOpen(const OpenFileRequest& request) = 0;
};

}  // namespace orvelle::platform
