#include "QelShape.h"

#include "OleColor.h"

#include <QPainter>

namespace orvelle::veilor64 {

QelShape::QelShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QelShape::SetFillColor(quint32 color) {
    fillColor_ = color;
    update();
}

void QelShape::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), TranslateColor(fillColor_));
}

}  // namespace orvelle::veilor64
