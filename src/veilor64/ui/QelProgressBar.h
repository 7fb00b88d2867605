#pragma once

#include "PropertyBag.h"

#include <QPixmap>
#include <QRectF>
#include <QWidget>

#include <optional>

namespace orvelle::veilor64 {

class QelCaptionLabel;
class QelPictureBox;
class QelShape;

// The percentage `Value` / `Max` * 100 as the 32-bit integer nearest to it,
// halves to the even neighbour; none when it cannot be computed (`Max` 0, or
// the result does not fit).
[[nodiscard]] std::optional<qint32> PercentOf(qint32 value, qint32 max);

// The library's progress bar: a box (`fillme`) that fills from the left
// (`Picture1`) in proportion to `Percent` and shows the percentage as text
// (`lblCaption`). The box's inner coordinates run 0 ... 100 across and 0 ... 1
// down. Property changes are reported through PropertyChanged under their
// saved names; the box's input events are passed on under the same names.
class QelProgressBar final : public QWidget {
    Q_OBJECT

public:
    static constexpr quint32 kDefaultBackColor = 0x8000000Fu;  // button face
    static constexpr quint32 kDefaultFillColor = 0xFF0000u;    // blue

    // Creation: Reset, the fill emptied, the parts laid out.
    explicit QelProgressBar(QWidget* parent = nullptr);

    [[nodiscard]] quint32 BackColor() const;
    void SetBackColor(quint32 color);
    [[nodiscard]] bool Enabled() const;
    void SetEnabled(bool enabled);
    [[nodiscard]] qint16 BorderStyle() const;
    // 0 none, 1 single; other values throw RuntimeError 380 "Invalid property value".
    void SetBorderStyle(qint16 style);
    [[nodiscard]] QPixmap Picture() const;
    void SetPicture(const QPixmap& picture);
    [[nodiscard]] QString ToolTipText() const;
    void SetToolTipText(const QString& text);
    [[nodiscard]] qint32 WhatsThisHelpID() const;
    void SetWhatsThisHelpID(qint32 id);
    [[nodiscard]] qint32 Max() const noexcept { return max_; }
    // Stores only: nothing is redrawn and Percent is not recomputed.
    void SetMax(qint32 max);
    [[nodiscard]] qint32 Value() const noexcept { return value_; }
    // Stores, recomputes Percent when it can (PercentOf) and redraws.
    void SetValue(qint32 value);
    [[nodiscard]] qint32 Percent() const noexcept { return percent_; }
    // Stores (no range check) and redraws.
    void SetPercent(qint32 percent);
    [[nodiscard]] quint32 FillColor() const;
    void SetFillColor(quint32 color);

    // Empties the bar: no fill, no text, Max, Value and Percent 0.
    void Reset();

    // A new instance placed by a designer: Max, Value and Percent 0, no redraw.
    void InitProperties();
    // Loads the eleven saved properties in their order, each with its default
    // when absent; Max, Value and Percent without recomputing or redrawing.
    void ReadProperties(IPropertyBag& bag);
    // Saves the same eleven properties in the same order.
    void WriteProperties(IPropertyBag& bag) const;

    // The constituent controls, under their own names.
    QelPictureBox* const fillme;
    QelShape* const Picture1;
    QelCaptionLabel* const lblCaption;

Q_SIGNALS:
    void PropertyChanged(const QString& name);
    void Click();
    void DblClick();
    void KeyDown(qint16 keyCode, qint16 shift);
    void KeyPress(qint16 keyAscii);
    void KeyUp(qint16 keyCode, qint16 shift);
    void MouseDown(qint16 button, qint16 shift, float x, float y);
    void MouseMove(qint16 button, qint16 shift, float x, float y);
    void MouseUp(qint16 button, qint16 shift, float x, float y);
    void Change();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void RefreshBar();
    void LayoutParts();
    void MoveFill(const QRectF& rectangle);
    void PlaceParts();

    qint32 max_ = 0;
    qint32 value_ = 0;
    qint32 percent_ = 0;
    // Where the fill and the label lie, in the box's inner coordinates.
    QRectF fillRect_;
    QRectF captionRect_{0, 0, 100, 1};
};

}  // namespace orvelle::veilor64
