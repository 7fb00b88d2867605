#pragma once

#include <QFrame>
#include <QPixmap>
#include <QRectF>

namespace orvelle::veilor64 {

// The platform's picture box as the progress bar uses it: a back colour, an
// optional picture, a border, an inner coordinate system of its own (ScaleLeft,
// ScaleTop, ScaleWidth, ScaleHeight) and the mouse, keyboard and change events.
class QelPictureBox final : public QFrame {
    Q_OBJECT

public:
    explicit QelPictureBox(QWidget* parent = nullptr);

    [[nodiscard]] quint32 BackColor() const noexcept { return backColor_; }
    void SetBackColor(quint32 color);
    // 0 none, 1 fixed single; anything else throws RuntimeError 380.
    [[nodiscard]] qint16 BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(qint16 style);
    [[nodiscard]] const QPixmap& Picture() const noexcept { return picture_; }
    // Raises Change.
    void SetPicture(const QPixmap& picture);
    [[nodiscard]] qint32 WhatsThisHelpID() const noexcept { return whatsThisHelpId_; }
    void SetWhatsThisHelpID(qint32 id) { whatsThisHelpId_ = id; }

    // The inner coordinate system: the client area spans `scale`.
    void SetScale(const QRectF& scale);
    [[nodiscard]] const QRectF& Scale() const noexcept { return scale_; }
    // Pixels of a rectangle given in the inner coordinate system.
    [[nodiscard]] QRect ToPixels(const QRectF& rectangle) const;
    // The inner coordinates of a pixel position.
    [[nodiscard]] QPointF ToScale(const QPointF& pixels) const;

Q_SIGNALS:
    void Click();
    void DblClick();
    void KeyDown(qint16 keyCode, qint16 shift);
    void KeyPress(qint16 keyAscii);
    void KeyUp(qint16 keyCode, qint16 shift);
    void MouseDown(qint16 button, qint16 shift, float x, float y);
    void MouseMove(qint16 button, qint16 shift, float x, float y);
    void MouseUp(qint16 button, qint16 shift, float x, float y);
    void Change();
    // The size or the inner coordinate system changed: children placed in inner
    // coordinates must be placed again.
    void ScaleChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void EmitMouse(QMouseEvent* event, Qt::MouseButtons buttons,
                   void (QelPictureBox::*signal)(qint16, qint16, float, float));

    quint32 backColor_ = 0x8000000Fu;
    qint16 borderStyle_ = 1;
    QPixmap picture_;
    qint32 whatsThisHelpId_ = 0;
    QRectF scale_{0, 0, 100, 1};
};

}  // namespace orvelle::veilor64
