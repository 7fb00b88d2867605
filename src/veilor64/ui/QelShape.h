#pragma once

#include <QWidget>

namespace orvelle::veilor64 {

// A solid rectangle without border, filled with one colour: the progress bar's
// fill. It takes no input; the box below it receives the mouse.
class QelShape final : public QWidget {
    Q_OBJECT

public:
    explicit QelShape(QWidget* parent = nullptr);

    [[nodiscard]] quint32 FillColor() const noexcept { return fillColor_; }
    void SetFillColor(quint32 color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    quint32 fillColor_ = 0xFF0000u;
};

}  // namespace orvelle::veilor64
