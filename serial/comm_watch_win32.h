#pragma once
// The Win32 watcher's two ways of learning about port events, each readable on its own:
// EventWait (comm_event_wait_win32.cpp) waits with WaitCommEvent, as Windows intends;
// QueuePolling (comm_queue_polling_win32.cpp) looks at the receive queue every 20 ms
// instead, for ports that cannot wait: Wine on a pseudo-terminal ends every overlapped
// WaitCommEvent at once with ERROR_OPERATION_ABORTED. WatchedPort is what both look at;
// the back end (comm_port_win32.cpp) decides which of the two runs, and lets the second
// run only under Wine (CommApi::IsWine).

#include "serial/windows_dcb_win32.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "serial/arrival_counter.h"
#include "serial/comm_port.h"
#include "serial/comm_port_backend.h"
#include "serial/overlapped_io_win32.h"

/// Drivers report a removed device in several ways; all of them mean "gone for good".
bool IsGoneError(DWORD error);

/// The port as the watcher sees it. The owner's thread writes `mask` and asks for a wake-up
/// (SetEventMask) and takes `heldErrors`; CommPort counts reads into `arrivals`; everything
/// else is the watcher's.
struct WatchedPort {
    explicit WatchedPort(ArrivalCounter& counter) : arrivals(counter) {}

    struct QueuePeek {
        bool ok;
        DWORD error;  ///< GetLastError when not ok
        uint32_t inQueue;
    };

    /// ClearCommError for the watcher's own use: the error word it clears is kept in
    /// `heldErrors` for the next QueueStatus, so no caller loses it.
    QueuePeek PeekQueue();
    /// Ends the watcher's wait: sets `wakeRequested` and the event `wake`.
    void RequestWake();
    /// True, and cleared, when a wake-up was asked for. Looks at the flag only, so the
    /// fallback's passes cost no system call while nobody asks.
    bool TakeWake();
    /// Sleeps up to `milliseconds` unless a wake-up is asked for; TakeWake afterwards.
    /// Waits on the flag's address, not on the event: under Wine a wait on an event with a
    /// time-out costs two requests to its server and a timer there (fifty times a second
    /// while polling); a wait on an address is a futex.
    bool SleepUnlessWoken(DWORD milliseconds);
    /// Clears the wake-up after a wait ended on the event `wake`, whether or not the flag
    /// still says so (a wake-up asked for meanwhile then ends the next wait at once).
    void ClearWake();
    /// One look at the receive queue: EV_RXCHAR for new bytes, EV_ERR for a line error,
    /// each only when in the mask; Gone when the device went away; nothing when all is
    /// quiet (or the look failed for a passing reason).
    std::optional<CommWaitResult> CheckQueue();

    /// Whether a wait that ended with an empty event word may have been ended by a mask
    /// change: one was under way, or happened, since `before` (maskChanges when it began).
    bool MaskChangedSince(uint32_t before) const;

    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;  ///< manual-reset; what a real wait waits on besides the port
    std::atomic<uint32_t> wakeRequested{0};
    std::atomic<uint32_t> mask{0};
    ArrivalCounter& arrivals;
    std::atomic<uint32_t> heldErrors{0};
    /// Counts up twice per SetEventMask: odd while the driver's mask is being changed.
    std::atomic<uint32_t> maskChanges{0};
    /// The driver kept an operation it was asked to cancel: the port counts as gone.
    std::atomic<bool> gone{false};
};

/// One WaitCommEvent at a time, never left pending when Wait returns, unless to a driver
/// that does not end it when cancelled (the port is then gone).
class EventWait {
public:
    enum class Outcome : uint8_t {
        Event,   ///< `events` holds what fired
        Woken,   ///< SetEventMask ended it
        Gone,    ///< the device went away
        Empty,   ///< it completed for nothing new (EV_RXCHAR for bytes already reported)
        Failed,  ///< it failed or ended empty for no reason the watcher knows
    };
    struct Result {
        Outcome outcome;
        uint32_t events;
        bool held;  ///< a probing wait stayed pending: this port can wait after all
    };

    explicit EventWait(WatchedPort& port);
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    /// Waits for an event of the current mask. A probing wait (the fallback trying a real
    /// wait again) that is still pending after one poll interval has held; it then looks
    /// at the queue once, since bytes that came while the port was being polled raise no
    /// event, and otherwise goes on waiting.
    Result Wait(bool probing);

private:
    // Ends the pending wait (SetCommMask ends it on Windows; cancelling covers drivers
    // that do not) and returns the event word it had, if it completed first; nothing when
    // the driver does not end it within kCancelWaitMs (then the port counts as gone).
    std::optional<DWORD> Cancel();

    WatchedPort& port_;
    std::unique_ptr<OverlappedIo> wait_;
};

/// The fallback's pace: one look at the queue per interval, and now and then the hint to
/// try a real wait again.
class QueuePolling {
public:
    explicit QueuePolling(WatchedPort& port) : port_(port) {}

    /// Sleeps one interval, then looks at the queue; Woken instead when SetEventMask asks
    /// for a wake-up meanwhile.
    std::optional<CommWaitResult> Next();
    /// True about once a second: time to find out whether the port can wait again.
    bool ProbeDue();
    /// The fallback takes over: the first probe comes a second from now.
    void Start() { pollsSinceProbe_ = 0; }

private:
    WatchedPort& port_;
    int pollsSinceProbe_ = 0;
};
