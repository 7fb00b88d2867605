#pragma once

#include <QLabel>
#include <QPointer>

namespace orvelle::veilor64 {

// The progress bar's percentage text, centred over the whole box. Where it lies
// over the fill it is drawn in a colour that stays readable on the fill.
class QelCaptionLabel final : public QLabel {
    Q_OBJECT

public:
    explicit QelCaptionLabel(QWidget* parent = nullptr);

    // The widget whose area counts as filled (a sibling in the same parent).
    void SetFill(QWidget* fill) { fill_ = fill; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> fill_;
};

}  // namespace orvelle::veilor64
