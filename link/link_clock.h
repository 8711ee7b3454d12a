#pragma once
// The link's time: its timers (poll, retry, time-out), the time since an open, and how a
// wait lets the event loop run. The program runs the link on the system's clock
// (QtLinkClock: Qt's timers and event loop); tests run it on a clock they move themselves
// (tests/support/manual_clock.h), so that a wait of ten seconds takes no real time.

#include <chrono>
#include <functional>
#include <memory>

class LinkClock {
public:
    /// A repeating timer that calls its handler on the user-interface thread.
    class Timer {
    public:
        virtual ~Timer() = default;
        /// Starts it, or starts it anew when it runs: the next timeout is one interval away.
        virtual void Start() = 0;
        virtual void Stop() = 0;
        virtual bool IsActive() const = 0;
        virtual std::chrono::milliseconds Interval() const = 0;
    };

    virtual ~LinkClock() = default;

    /// Time since a fixed moment of the clock's own; it never goes back.
    virtual std::chrono::milliseconds Now() const = 0;

    /// A timer of `interval`, stopped, that calls `onTimeout` each time it runs out.
    virtual std::unique_ptr<Timer> MakeTimer(std::chrono::milliseconds interval,
                                             std::function<void()> onTimeout) = 0;

    /// Lets the event loop run until at least one event came (port data, a timer, input).
    /// The waits of the link sleep here: the window, the timers and "Abbrechen" go on.
    virtual void WaitForEvents() = 0;

    /// Lets the event loop handle what is pending, without sleeping.
    virtual void ProcessPendingEvents() = 0;
};
