#include "tests/serial/event_pump.h"

#include <QCoreApplication>
#include <QThread>

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(2);
    }
    return true;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        QThread::msleep(2);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds span) {
    PumpUntil([] { return false; }, span);
}
