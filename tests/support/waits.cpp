#include "tests/support/waits.h"

#include <QEventLoop>
#include <QTimer>
#include <thread>

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline,
               std::chrono::milliseconds checkEvery) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(checkEvery);
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void PumpFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
