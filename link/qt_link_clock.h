#pragma once
// The link's clock in the program: Qt's timers, a monotonic clock and the event loop.

#include <QElapsedTimer>

#include "link/link_clock.h"

class QtLinkClock final : public LinkClock {
public:
    QtLinkClock();

    std::chrono::milliseconds Now() const override;
    std::unique_ptr<Timer> MakeTimer(std::chrono::milliseconds interval,
                                     std::function<void()> onTimeout) override;
    void WaitForEvents() override;
    void ProcessPendingEvents() override;

private:
    QElapsedTimer started_;
};
