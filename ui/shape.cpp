#include "ui/shape.h"

#include <QPainter>
#include <algorithm>

TShape::TShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::SetBrushColor(const QColor& color) {
    brush_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush_);
    // Corner radius as the classic round-rect shape draws it: a quarter of the shorter side.
    const qreal radius = std::min(width(), height()) / 4.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}
