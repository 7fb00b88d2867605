#pragma once

#include <string>

namespace orvelle::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };

// Modal message boxes with one OK button.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;

    // Shows the box and returns when the user has closed it.
    virtual void Show(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

}  // namespace orvelle::platform
