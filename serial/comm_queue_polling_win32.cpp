// The Win32 watcher's fallback, under Wine, for ports that cannot wait for events: it looks
// at the receive queue itself every 20 ms and reports new bytes as EV_RXCHAR (line errors as
// EV_ERR), the way the POSIX back end re-checks while unread bytes wait.

#include "serial/comm_watch_win32.h"

namespace {

// While polling, a real wait is tried again after this many looks (about a second).
constexpr int kPollsBetweenProbes = 50;

}  // namespace

std::optional<CommWaitResult> QueuePolling::Next() {
    if (port_.SleepUnlessWoken(kRecheckIntervalMs)) {
        return CommWaitResult{CommWaitStatus::Woken, 0};
    }
    ++pollsSinceProbe_;
    return port_.CheckQueue();
}

bool QueuePolling::ProbeDue() {
    if (pollsSinceProbe_ < kPollsBetweenProbes) {
        return false;
    }
    pollsSinceProbe_ = 0;
    return true;
}
