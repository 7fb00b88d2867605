#pragma once

#include "TextField.h"

#include <QLineEdit>

namespace orvelle::cleaning::ui {

// A QLineEdit as the logic's text box.
class LineEditTextField final : public ITextField {
public:
    explicit LineEditTextField(QLineEdit& edit) : edit_(edit) {}

    [[nodiscard]] std::string Text() const override { return edit_.text().toStdString(); }
    void SetText(const std::string& text) override { edit_.setText(QString::fromStdString(text)); }

private:
    QLineEdit& edit_;
};

}  // namespace orvelle::cleaning::ui
