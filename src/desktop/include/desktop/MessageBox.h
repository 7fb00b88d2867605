#pragma once

#include <string>

namespace orvelle::desktop {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };

// Modal message boxes with one OK button, and questions with two.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;

    // Shows the box and returns when the user has closed it.
    virtual void Show(const std::string& text, const std::string& title, MessageIcon icon) = 0;
    // Asks with a question icon and two buttons; true for `yes`, false for `no`
    // or when the box is closed otherwise (the safe answer comes second).
    [[nodiscard]] virtual bool Ask(const std::string& text, const std::string& title,
                                   const std::string& yes, const std::string& no) = 0;
};

}  // namespace orvelle::desktop
