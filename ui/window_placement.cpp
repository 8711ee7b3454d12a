#include "ui/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

QRect MovedInside(QRect frame, const QRect& area) {
    frame.setWidth(std::min(frame.width(), area.width()));
    frame.setHeight(std::min(frame.height(), area.height()));
    const int left = std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width());
    const int top = std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height());
    frame.moveTopLeft({left, top});
    return frame;
}

QRect CentredIn(const QSize& size, const QRect& area) {
    // Rounds the odd pixel towards the top left, as the classic centred windows do.
    return {area.left() + (area.width() - size.width()) / 2,
            area.top() + (area.height() - size.height()) / 2, size.width(), size.height()};
}

QRect AvailableArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QMargins FrameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

void PlaceFrame(QWidget* window, const QRect& frame) {
    const QMargins margins = FrameMargins(window);
    const QSize client = frame.size().shrunkBy(margins);
    if (client != window->size()) {
        window->resize(client.expandedTo(window->minimumSize()));
    }
    // A window's move() places its frame.
    window->move(frame.topLeft());
}

TShowPlacement::TShowPlacement(QWidget* window, std::function<void()> place)
    : QObject(window), window_(window), place_(std::move(place)) {
    window_->installEventFilter(this);
}

bool TShowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Show && !event->spontaneous()) {
        place_();
        // The platform window exists from the first show on.
        if (!watchingHandle_ && window_->windowHandle() != nullptr) {
            window_->windowHandle()->installEventFilter(this);
            watchingHandle_ = true;
        }
        awaitingExpose_ = true;
    } else if (watched == window_->windowHandle() && event->type() == QEvent::Expose &&
               awaitingExpose_ && window_->windowHandle()->isExposed()) {
        awaitingExpose_ = false;
        place_();
    }
    return QObject::eventFilter(watched, event);
}
