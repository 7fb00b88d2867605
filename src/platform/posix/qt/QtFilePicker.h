#pragma once

#include "platform/FilePicker.h"

#include <QString>

namespace orvelle::platform::posix {

// QFileDialog's open, save and folder pickers, modal over the active window.
class QtFilePicker final : public IFilePicker {
public:
    [[nodiscard]] std::optional<std::string> PickFile(FileDialogKind kind,
                                                      const std::string& filter) override;
    [[nodiscard]] std::optional<std::string> PickFolder() override;

    // "Kordex Files (*.kdf) | *.kdf" as Qt names it: "Kordex Files (*.kdf *.KDF)".
    // The pattern after "|" decides; "*.*" means every file, as it does on Windows,
    // so it becomes "*" (names without a dot included).
    static QString ToQtFilter(const std::string& filter);
};

}  // namespace orvelle::platform::posix
