#pragma once
// A LinkClock that tests move themselves. Its time stands still until the test advances it
// or the link waits: a wait of the link (WaitForEvents) lets Qt handle what is pending and
// then, unless received bytes wait to be read (reading takes no clock time), moves the clock
// straight to the next timer or scheduled action that is due, and runs it. So a command that is
// never answered times out after ten ticks of 100 ms of clock time, in no real time at all, and
// every figure a test reads is counted in the link's own ticks, however loaded the machine is.
//
// Due items run in time order; timers due at the same moment in the order they were made,
// actions after the timers due with them, in the order they were scheduled. Everything runs
// on the thread that uses the clock (the user-interface thread).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "link/link_clock.h"

class ManualClock final : public LinkClock {
public:
    ManualClock() = default;
    ~ManualClock() override;
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    std::chrono::milliseconds Now() const override { return now_; }
    std::unique_ptr<Timer> MakeTimer(std::chrono::milliseconds interval,
                                     std::function<void()> onTimeout) override;
    /// Handles what Qt has pending, then moves to the next due item and runs it. A wait
    /// with nothing due at all would never end: it aborts the test program.
    void WaitForEvents() override;
    /// Handles what Qt has pending; with received bytes still waiting, moves 1 ms on.
    void ProcessPendingEvents() override;

    /// Moves the clock `span` ahead, running what falls due on the way.
    void Advance(std::chrono::milliseconds span);
    /// Moves the clock from one due item to the next until `done` holds (checked before each
    /// move) or `limit` of clock time has passed. True when `done` holds.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(60));
    /// Runs `action` once, `delay` from now.
    void After(std::chrono::milliseconds delay, std::function<void()> action);
    /// Called with the new time whenever the clock moves (a demo's simulator follows it).
    void SetOnMoved(std::function<void(std::chrono::milliseconds)> onMoved) {
        onMoved_ = std::move(onMoved);
    }
    /// The longest move of one wait (none: straight to the next due item). A device that
    /// sends as time goes on (the simulator) delivers its bytes between two ticks; a wait
    /// that jumped a whole tick would find them only after the tick had ended it.
    void SetWaitStep(std::chrono::milliseconds step) { waitStep_ = step; }
    /// How many received bytes wait on the link's port: a wait with bytes to read returns at
    /// once, as the system's event loop does for the port's notification.
    void SetInputWaiting(std::function<uint32_t()> inputWaiting) {
        inputWaiting_ = std::move(inputWaiting);
    }

private:
    class ManualTimer;
    struct Action {
        std::chrono::milliseconds due;
        uint64_t order;
        std::function<void()> run;
    };

    /// The earliest due moment of an active timer or an action, if any.
    std::optional<std::chrono::milliseconds> NextDue() const;
    /// Moves to the next due moment (not beyond `limit`) and runs everything due then.
    /// False when nothing is due before `limit`.
    bool Step(std::optional<std::chrono::milliseconds> limit);
    void MoveTo(std::chrono::milliseconds time);

    std::chrono::milliseconds now_{0};
    std::vector<ManualTimer*> timers_;  // in the order they were made
    std::vector<Action> actions_;
    uint64_t nextOrder_ = 0;
    std::function<void(std::chrono::milliseconds)> onMoved_;
    std::function<uint32_t()> inputWaiting_;
    std::optional<std::chrono::milliseconds> waitStep_;
    uint32_t lastWaiting_ = 0;  ///< bytes the last wait left to be read
};
