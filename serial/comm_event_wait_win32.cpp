// The Win32 watcher's real wait: one overlapped WaitCommEvent, ended by an event, by
// SetEventMask (through the wake-up event and SetCommMask), or by the device going away.

#include "serial/comm_watch_win32.h"

#include <cstring>

#include "serial/comm_api_win32.h"
#include "serial/comm_types.h"

EventWait::EventWait(WatchedPort& port) : port_(port) {
    std::memset(&record_, 0, sizeof record_);
    record_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

EventWait::~EventWait() {
    CloseHandle(record_.hEvent);
}

DWORD EventWait::Cancel() {
    Comm().CancelIoEx(port_.handle, &record_);
    DWORD unused = 0;
    if (!Comm().GetOverlappedResult(port_.handle, &record_, &unused, TRUE)) {
        return 0;
    }
    return events_;
}

EventWait::Result EventWait::Wait(bool probing) {
    events_ = 0;
    DWORD error = 0;
    bool held = false;
    ResetEvent(record_.hEvent);
    if (!Comm().WaitCommEvent(port_.handle, &events_, &record_)) {
        error = GetLastError();
    }
    if (error == ERROR_IO_PENDING) {
        HANDLE both[2] = {record_.hEvent, port_.wake};
        DWORD which =
            WaitForMultipleObjects(2, both, FALSE, probing ? kRecheckIntervalMs : INFINITE);
        if (which == WAIT_TIMEOUT) {
            held = true;
            const std::optional<CommWaitResult> missed = port_.CheckQueue();
            if (missed) {
                const DWORD more = Cancel();
                if (missed->status != CommWaitStatus::Event) {
                    return {Outcome::Gone, 0, held};
                }
                return {Outcome::Event, missed->events | more, held};
            }
            which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
        }
        if (which != WAIT_OBJECT_0) {
            // The mask changed (or the wait could not be waited for): the wait is over.
            Cancel();
            port_.ClearWake();
            return {Outcome::Woken, 0, held};
        }
        DWORD unused = 0;
        error =
            Comm().GetOverlappedResult(port_.handle, &record_, &unused, FALSE) ? 0 : GetLastError();
    }
    uint32_t events = error == 0 ? events_ : 0;
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
    if (port_.TakeWake()) {
        return {Outcome::Woken, 0, held};  // ended by a mask change
    }
    if (IsGoneError(error)) {
        return {Outcome::Gone, 0, held};
    }
    return {Outcome::Failed, 0, held};
}
