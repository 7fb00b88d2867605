#include "QelPictureBox.h"

#include "OleColor.h"
#include "VbInput.h"
#include "os/RuntimeError.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace orvelle::veilor64 {
namespace {

constexpr std::int32_t kInvalidPropertyValue = 380;

}  // namespace

QelPictureBox::QelPictureBox(QWidget* parent) : QFrame(parent) {
    setFocusPolicy(Qt::ClickFocus);
    SetBorderStyle(1);
}

void QelPictureBox::SetBackColor(quint32 color) {
    backColor_ = color;
    update();
}

void QelPictureBox::SetBorderStyle(qint16 style) {
    if (style != 0 && style != 1) {
        throw os::RuntimeError(kInvalidPropertyValue, "Invalid property value");
    }
    borderStyle_ = style;
    // The platform's single border is a sunken two-pixel bevel.
    setFrameStyle(style == 1 ? (QFrame::WinPanel | QFrame::Sunken) : QFrame::NoFrame);
    Q_EMIT ScaleChanged();
}

void QelPictureBox::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
    Q_EMIT Change();
}

void QelPictureBox::SetScale(const QRectF& scale) {
    scale_ = scale;
    Q_EMIT ScaleChanged();
}

QRect QelPictureBox::ToPixels(const QRectF& rectangle) const {
    const QRect client = contentsRect();
    const double xFactor = client.width() / scale_.width();
    const double yFactor = client.height() / scale_.height();
    const auto left = static_cast<int>(std::lround((rectangle.left() - scale_.left()) * xFactor));
    const auto top = static_cast<int>(std::lround((rectangle.top() - scale_.top()) * yFactor));
    const auto right = static_cast<int>(std::lround((rectangle.right() - scale_.left()) * xFactor));
    const auto bottom =
        static_cast<int>(std::lround((rectangle.bottom() - scale_.top()) * yFactor));
    return {client.left() + left, client.top() + top, right - left, bottom - top};
}

QPointF QelPictureBox::ToScale(const QPointF& pixels) const {
    const QRect client = contentsRect();
    const double width = client.width() > 0 ? client.width() : 1.0;
    const double height = client.height() > 0 ? client.height() : 1.0;
    return {scale_.left() + (pixels.x() - client.left()) * scale_.width() / width,
            scale_.top() + (pixels.y() - client.top()) * scale_.height() / height};
}

void QelPictureBox::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), TranslateColor(backColor_));
        if (!picture_.isNull()) {
            painter.drawPixmap(contentsRect().topLeft(), picture_);
        }
    }
    QFrame::paintEvent(event);
}

void QelPictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Q_EMIT ScaleChanged();
}

void QelPictureBox::EmitMouse(QMouseEvent* event, Qt::MouseButtons buttons,
                              void (QelPictureBox::*signal)(qint16, qint16, float, float)) {
    const QPointF at = ToScale(event->position());
    Q_EMIT(this->*signal)
    (VbButton(buttons), VbShiftState(event->modifiers()), static_cast<float>(at.x()),
     static_cast<float>(at.y()));
}

void QelPictureBox::mousePressEvent(QMouseEvent* event) {
    EmitMouse(event, event->button(), &QelPictureBox::MouseDown);
}

void QelPictureBox::mouseMoveEvent(QMouseEvent* event) {
    EmitMouse(event, event->buttons(), &QelPictureBox::MouseMove);
}

void QelPictureBox::mouseReleaseEvent(QMouseEvent* event) {
    EmitMouse(event, event->button(), &QelPictureBox::MouseUp);
    // A click is a left-button press and release over the box.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT Click();
    }
}

void QelPictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click raises DblClick instead of MouseDown.
    if (event->button() == Qt::LeftButton) {
        Q_EMIT DblClick();
    } else {
        EmitMouse(event, event->button(), &QelPictureBox::MouseDown);
    }
}

void QelPictureBox::keyPressEvent(QKeyEvent* event) {
    Q_EMIT KeyDown(VbKeyCode(*event), VbShiftState(event->modifiers()));
    if (const qint16 ascii = VbKeyAscii(*event); ascii >= 0) {
        Q_EMIT KeyPress(ascii);
    }
}

void QelPictureBox::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) {
        Q_EMIT KeyUp(VbKeyCode(*event), VbShiftState(event->modifiers()));
    }
}

}  // namespace orvelle::veilor64
