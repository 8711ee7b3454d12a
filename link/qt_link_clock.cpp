#include "link/qt_link_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

class QtTimer final : public LinkClock::Timer {
public:
    QtTimer(std::chrono::milliseconds interval, std::function<void()> onTimeout) {
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, std::move(onTimeout));
    }
    void Start() override { timer_.start(); }
    void Stop() override { timer_.stop(); }
    bool IsActive() const override { return timer_.isActive(); }
    std::chrono::milliseconds Interval() const override { return timer_.intervalAsDuration(); }

private:
    QTimer timer_;
};

}  // namespace

QtLinkClock::QtLinkClock() {
    started_.start();
}

std::chrono::milliseconds QtLinkClock::Now() const {
    return std::chrono::milliseconds(started_.elapsed());
}

std::unique_ptr<LinkClock::Timer> QtLinkClock::MakeTimer(std::chrono::milliseconds interval,
                                                         std::function<void()> onTimeout) {
    return std::make_unique<QtTimer>(interval, std::move(onTimeout));
}

void QtLinkClock::WaitForEvents() {
    // Blocks until the event loop has something: the port's receive notification, a timer
    // tick or user input. Never spins.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtLinkClock::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
