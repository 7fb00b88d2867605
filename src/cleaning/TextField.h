#pragma once

#include <string>

namespace orvelle::cleaning {

// A one-line text box (txtHomePageURL) as the logic sees it.
class ITextField {
public:
    virtual ~ITextField() = default;

    [[nodiscard]] virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

}  // namespace orvelle::cleaning
