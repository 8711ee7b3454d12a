#include "tests/support/manual_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using std::chrono::milliseconds;

class ManualClock::ManualTimer final : public LinkClock::Timer {
public:
    ManualTimer(ManualClock& clock, milliseconds interval, std::function<void()> onTimeout)
        : clock_(clock), interval_(interval), onTimeout_(std::move(onTimeout)) {
        clock_.timers_.push_back(this);
    }
    ~ManualTimer() override {
        auto& timers = clock_.timers_;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    }
    void Start() override {
        active_ = true;
        due_ = clock_.now_ + interval_;
    }
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }
    milliseconds Interval() const override { return interval_; }

    milliseconds Due() const { return due_; }
    /// Runs the handler; the next timeout is one interval on, unless the handler restarts or
    /// stops the timer.
    void Fire() {
        due_ += interval_;
        onTimeout_();
    }

private:
    ManualClock& clock_;
    const milliseconds interval_;
    std::function<void()> onTimeout_;
    bool active_ = false;
    milliseconds due_{0};
};

ManualClock::~ManualClock() = default;

std::unique_ptr<LinkClock::Timer> ManualClock::MakeTimer(milliseconds interval,
                                                         std::function<void()> onTimeout) {
    return std::make_unique<ManualTimer>(*this, interval, std::move(onTimeout));
}

void ManualClock::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // A wait that stopped at its budget with bytes still queued comes here instead of
    // waiting: reading a full buffer takes a moment, so that a sender that never lets up
    // cannot hold the clock (and the wait's time-out) still.
    if (inputWaiting_ && inputWaiting_() > 0) {
        Advance(std::chrono::milliseconds(1));
    }
}

void ManualClock::WaitForEvents() {
    ProcessPendingEvents();
    // Bytes to read end a wait at once. The same count twice means the waiter does not read
    // them (it waits for something else): then the clock moves on.
    const uint32_t waiting = inputWaiting_ ? inputWaiting_() : 0;
    if (waiting > 0 && waiting != lastWaiting_) {
        lastWaiting_ = waiting;
        return;
    }
    lastWaiting_ = 0;
    if (waitStep_) {
        const milliseconds limit = now_ + *waitStep_;
        if (!Step(limit)) {
            MoveTo(limit);
        }
        return;
    }
    if (!Step(std::nullopt)) {
        std::fprintf(stderr, "ManualClock: the link waits, but nothing will ever be due\n");
        std::abort();
    }
}

std::optional<milliseconds> ManualClock::NextDue() const {
    std::optional<milliseconds> next;
    for (const ManualTimer* timer : timers_) {
        if (timer->IsActive() && (!next || timer->Due() < *next)) {
            next = timer->Due();
        }
    }
    for (const Action& action : actions_) {
        if (!next || action.due < *next) {
            next = action.due;
        }
    }
    return next;
}

void ManualClock::MoveTo(milliseconds time) {
    if (time > now_) {
        now_ = time;
        if (onMoved_) {
            onMoved_(now_);
        }
    }
}

bool ManualClock::Step(std::optional<milliseconds> limit) {
    const std::optional<milliseconds> next = NextDue();
    if (!next || (limit && *next > *limit)) {
        return false;
    }
    MoveTo(*next);
    // Everything due by now, one item at a time: a handler may stop, start or add items,
    // and may itself wait (and so move the clock further).
    for (;;) {
        ManualTimer* timer = nullptr;
        for (ManualTimer* candidate : timers_) {
            if (candidate->IsActive() && candidate->Due() <= now_ &&
                (timer == nullptr || candidate->Due() < timer->Due())) {
                timer = candidate;
            }
        }
        if (timer != nullptr) {
            timer->Fire();
            continue;
        }
        const auto action = std::min_element(
            actions_.begin(), actions_.end(), [](const Action& a, const Action& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
        if (action == actions_.end() || action->due > now_) {
            return true;
        }
        std::function<void()> run = std::move(action->run);
        actions_.erase(action);
        run();
    }
}

void ManualClock::Advance(milliseconds span) {
    const milliseconds end = now_ + span;
    while (Step(end)) {
    }
    MoveTo(end);
}

bool ManualClock::RunUntil(const std::function<bool()>& done, milliseconds limit) {
    const milliseconds end = now_ + limit;
    for (;;) {
        ProcessPendingEvents();
        if (done()) {
            return true;
        }
        if (!Step(end)) {
            MoveTo(end);
            ProcessPendingEvents();
            return done();
        }
    }
}

void ManualClock::After(milliseconds delay, std::function<void()> action) {
    actions_.push_back({now_ + delay, nextOrder_++, std::move(action)});
}
