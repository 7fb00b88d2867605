#pragma once

#include "platform/MessageBox.h"

namespace orvelle::platform::posix {

// Modal QMessageBox with one OK button, parented to the active window.
class QtMessageBox final : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& title, MessageIcon icon) override;
};

}  // namespace orvelle::platform::posix
