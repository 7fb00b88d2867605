#include "QelCaptionLabel.h"

#include "OleColor.h"
#include "QelShape.h"

#include <QPainter>

namespace orvelle::veilor64 {

QelCaptionLabel::QelCaptionLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);
}

void QelCaptionLabel::paintEvent(QPaintEvent* /*event*/) {
    if (text().isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), static_cast<int>(alignment()), text());
    if (fill_ == nullptr || !fill_->isVisible()) {
        return;
    }
    const QRect filled = QRect(mapFrom(parentWidget(), fill_->geometry().topLeft()), fill_->size())
                             .intersected(rect());
    if (filled.isEmpty()) {
        return;
    }
    QColor fillColor = Qt::blue;
    if (const auto* shape = qobject_cast<const QelShape*>(fill_.data())) {
        fillColor = TranslateColor(shape->FillColor());
    }
    painter.setClipRect(filled);
    painter.setPen(fillColor.lightness() < 128 ? Qt::white : Qt::black);
    painter.drawText(rect(), static_cast<int>(alignment()), text());
}

}  // namespace orvelle::veilor64
