#pragma once

#include <QCheckBox>

namespace orvelle::widgets {

// A check box with the three values of the platform's check box: 0 unchecked,
// 1 checked, 2 grayed. Code may set any of them; a user's click only toggles
// between checked and unchecked (a grayed box becomes checked). valueChanged is
// raised on every change of value, by the user or by code, and never otherwise.
class VbCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit VbCheckBox(const QString& text, QWidget* parent = nullptr);

    [[nodiscard]] int Value() const;
    // Sets 0, 1 or 2; any other number is refused (false) and changes nothing.
    bool SetValue(int value);

Q_SIGNALS:
    void valueChanged(int value);

protected:
    void nextCheckState() override;
};

}  // namespace orvelle::widgets
