#pragma once

#include "desktop/MessageBox.h"

namespace orvelle::desktop::qt {

// Modal QMessageBox with one OK button (or two for a question), parented to the
// active window.
class QtMessageBox final : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& title, MessageIcon icon) override;
    [[nodiscard]] bool Ask(const std::string& text, const std::string& title,
                           const std::string& yes, const std::string& no) override;
};

}  // namespace orvelle::desktop::qt
