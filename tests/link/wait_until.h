#pragma once
// Runs the Qt event loop until a condition holds, with a generous deadline: tests wait
// for what they expect instead of sleeping fixed times.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>

/// True once `done` holds; false when `ms` milliseconds passed first.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}
