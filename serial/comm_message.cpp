#include "serial/comm_message.h"

#include <utility>

TCommMessage::TCommMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
    : QEvent(static_cast<QEvent::Type>(message)), wParam_(0), lParam_(0) {
    // Release stores pair with the acquire loads on the receiving thread, so the sanitizer
    // sees the hand-over that Qt's (uninstrumented) queue performs.
    lParam_.store(lParam, std::memory_order_release);
    wParam_.store(wParam, std::memory_order_release);
}

TCommMessage::~TCommMessage() {
    // Qt may delete a message unhandled (its receiver went away); the acquire load orders
    // the watcher's stores before the free for the sanitizer as well.
    (void)wParam_.load(std::memory_order_acquire);
}

TCommWindow::TCommWindow(WndProc wndProc) : wndProc_(std::move(wndProc)) {}

bool TCommWindow::event(QEvent* event) {
    // Our messages arrive only as TCommMessage; an event that merely carries the same
    // number cannot hold parameters and goes to the default handling like any other.
    if (auto* message = dynamic_cast<TCommMessage*>(event)) {
        if (wndProc_(message->Message(), message->WParam(), message->LParam())) {
            return true;
        }
    }
    return QObject::event(event);
}
