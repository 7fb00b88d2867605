#pragma once

#include "desktop/FileDialogs.h"

#include <QString>

namespace orvelle::desktop::qt {

// The common file dialogs through QFileDialog.
class QtFileDialogs final : public IFileDialogs {
public:
    [[nodiscard]] std::optional<std::string> PickFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<std::string> PickFolder() override;

    // "Description | *.ext" pairs as Qt writes its filters: one "Description (patterns)"
    // per pair joined by ";;", "*.*" meaning every file, and a pattern with letters in
    // both cases (file names are case-sensitive here; extensions are not meant to be).
    static QString QtFilter(const std::string& filter);
    // Where the dialog opens: the previous file when its folder still exists, else
    // the initial folder.
    static QString StartPath(const FileDialogRequest& request);
};

}  // namespace orvelle::desktop::qt
