#include "ui/image_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

TImage::TImage(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::TabFocus);
}

void TImage::Activate() {
    emit activated();
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Activate();
    }
    QLabel::mouseDoubleClickEvent(event);
}

void TImage::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A held key repeats; a double-click never does, and one search is what was asked.
        if (!event->isAutoRepeat()) {
            Activate();
        }
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TImage::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // The style's own focus frame (dotted on Windows), just inside the picture's edge.
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TImage::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void TImage::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}
