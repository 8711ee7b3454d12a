// The Win32 watcher's real wait: one overlapped WaitCommEvent, ended by an event, by
// SetEventMask (through the wake-up event and SetCommMask), or by the device going away.

#include "serial/comm_watch_win32.h"

#include <memory>
#include <optional>

#include "serial/comm_api_win32.h"
#include "serial/comm_types.h"

EventWait::EventWait(WatchedPort& port) : port_(port), wait_(std::make_unique<OverlappedIo>()) {}

std::optional<DWORD> EventWait::Cancel() {
    const std::optional<IoOutcome> ended = CancelAndAwaitIo(port_.handle, wait_);
    if (!ended) {
        return std::nullopt;
    }
    return ended->ok ? wait_->events : 0;
}

EventWait::Result EventWait::Wait(bool probing) {
    DWORD error = 0;
    bool held = false;
    const uint32_t maskChangesBefore = port_.maskChanges.load(std::memory_order_acquire);
    wait_->Prepare();
    wait_->events = 0;
    if (!Comm().WaitCommEvent(port_.handle, &wait_->events, &wait_->record)) {
        error = GetLastError();
    }
    if (error == ERROR_IO_PENDING) {
        HANDLE both[2] = {wait_->record.hEvent, port_.wake};
        DWORD which =
            WaitForMultipleObjects(2, both, FALSE, probing ? kRecheckIntervalMs : INFINITE);
        if (which == WAIT_TIMEOUT) {
            held = true;
            const std::optional<CommWaitResult> missed = port_.CheckQueue();
            if (missed) {
                const std::optional<DWORD> more = Cancel();
                if (!more || missed->status != CommWaitStatus::Event) {
                    return {Outcome::Gone, 0, held};
                }
                return {Outcome::Event, missed->events | *more, held};
            }
            which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
        }
        if (which != WAIT_OBJECT_0) {
            // The mask changed (or the wait could not be waited for): the wait is over.
            const bool ended = Cancel().has_value();
            port_.ClearWake();
            return {ended ? Outcome::Woken : Outcome::Gone, 0, held};
        }
        const IoOutcome outcome = FinishedIo(port_.handle, *wait_);
        error = outcome.ok ? 0 : outcome.error;
    }
    uint32_t events = error == 0 ? wait_->events : 0;
    if ((events & EV_RXCHAR_BIT) != 0) {
        // Windows raises EV_RXCHAR for bytes that came in, and it remembers those that came
        // between the end of one wait and the count of the last: such a wait completes for
        // bytes already reported. (Wine also raises it merely because unread bytes wait.)
        DWORD peekError = 0;
        const std::optional<bool> arrived = port_.arrivals.Arrived([this, &peekError] {
            const WatchedPort::QueuePeek peek = port_.PeekQueue();
            peekError = peek.error;
            return peek.ok ? std::optional<uint32_t>(peek.inQueue) : std::nullopt;
        });
        if (!arrived && IsGoneError(peekError)) {
            return {Outcome::Gone, 0, held};
        }
        if (!arrived.value_or(false)) {
            events &= ~EV_RXCHAR_BIT;
            if (events == 0) {
                return {port_.TakeWake() ? Outcome::Woken : Outcome::Empty, 0, held};
            }
        }
    }
    if (events != 0) {
        return {Outcome::Event, events, held};
    }
    // Ended by a mask change: Windows completes the pending wait with an empty event word.
    if (port_.TakeWake() || port_.MaskChangedSince(maskChangesBefore)) {
        return {Outcome::Woken, 0, held};
    }
    if (IsGoneError(error)) {
        return {Outcome::Gone, 0, held};
    }
    return {Outcome::Failed, 0, held};
}
