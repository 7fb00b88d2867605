#pragma once

#include "platform/OpenFileDialog.h"

#include <QString>

namespace orvelle::platform::posix {

// The file-open dialog of Qt, modal to the active window.
class QtOpenFileDialog final : public IOpenFileDialog {
public:
    [[nodiscard]] std::optional<std::string> ShowOpen(const OpenFileRequest& request) override;

    // "Wav files |*.wav|All files|*.*" as Qt writes it: "Wav files (*.wav);;All files (*.*)".
    [[nodiscard]] static QString QtFilter(const std::string& filter);
    // The folder the dialog opens in: the previous file's folder when it exists,
    // else the initial folder.
    [[nodiscard]] static QString StartPath(const OpenFileRequest& request);
};

}  // namespace orvelle::platform::posix
