// What both ways of watching a Win32 port share: the look at the receive queue.

#include "serial/comm_watch_win32.h"

#include <cstring>

#include "serial/comm_api_win32.h"
#include "serial/comm_types.h"

namespace {
// ERROR_NO_SUCH_DEVICE, which MinGW-w64's winerror.h lacks.
constexpr DWORD kErrorNoSuchDevice = 433;
}  // namespace

bool IsGoneError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_INVALID_HANDLE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case kErrorNoSuchDevice:
        case ERROR_NOT_READY:
        case ERROR_BROKEN_PIPE:
        case ERROR_GEN_FAILURE:
            return true;
        default:
            return false;
    }
}

WatchedPort::QueuePeek WatchedPort::PeekQueue() {
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (!Comm().ClearCommError(handle, &errors, &status)) {
        return {false, GetLastError(), 0};
    }
    if (errors != 0) {
        heldErrors.fetch_or(errors, std::memory_order_acq_rel);
    }
    return {true, 0, status.cbInQue};
}

static_assert(std::atomic<uint32_t>::is_always_lock_free && sizeof(std::atomic<uint32_t>) == 4,
              "the wake-up flag is waited on by its address");

void WatchedPort::RequestWake() {
    wakeRequested.store(1, std::memory_order_release);
    WakeByAddressAll(&wakeRequested);
    SetEvent(wake);
}

bool WatchedPort::TakeWake() {
    if (wakeRequested.exchange(0, std::memory_order_acq_rel) == 0) {
        return false;
    }
    ResetEvent(wake);
    return true;
}

bool WatchedPort::SleepUnlessWoken(DWORD milliseconds) {
    uint32_t notWoken = 0;
    WaitOnAddress(&wakeRequested, &notWoken, sizeof notWoken, milliseconds);
    return TakeWake();
}

void WatchedPort::ClearWake() {
    wakeRequested.store(0, std::memory_order_release);
    ResetEvent(wake);
}

bool WatchedPort::MaskChangedSince(uint32_t before) const {
    const uint32_t now = maskChanges.load(std::memory_order_acquire);
    return now != before || (now & 1) != 0;
}

std::optional<CommWaitResult> WatchedPort::CheckQueue() {
    const uint32_t watched = mask.load(std::memory_order_acquire);
    QueuePeek peek{};
    bool arrived = false;
    if ((watched & EV_RXCHAR_BIT) != 0) {
        arrived = arrivals
                      .Arrived([this, &peek] {
                          peek = PeekQueue();
                          return peek.ok ? std::optional<uint32_t>(peek.inQueue) : std::nullopt;
                      })
                      .value_or(false);
    } else {
        peek = PeekQueue();
    }
    if (!peek.ok) {
        if (IsGoneError(peek.error)) {
            return CommWaitResult{CommWaitStatus::Gone, 0};
        }
        return std::nullopt;
    }
    uint32_t events = arrived ? EV_RXCHAR_BIT : 0;
    if ((watched & EV_ERR_BIT) != 0 && heldErrors.load(std::memory_order_acquire) != 0) {
        events |= EV_ERR_BIT;
    }
    if (events == 0) {
        return std::nullopt;
    }
    return CommWaitResult{CommWaitStatus::Event, events};
}
