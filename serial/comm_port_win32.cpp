// Win32 back end of CommPort: overlapped I/O on "\\.\COM<n>" with the system's
// communications functions. One OVERLAPPED record per operation (watcher wait, read,
// write), each with its own manual-reset event, so the three can be in flight at once.
//
// Some ports cannot wait for events at all: Wine on a pseudo-terminal ends every overlapped
// WaitCommEvent at once with ERROR_OPERATION_ABORTED, and some virtual-port drivers behave
// alike. After a few such failures in a row the watcher checks the receive queue itself
// (ClearCommError) every 20 ms and reports arrivals as EV_RXCHAR, the way the POSIX back end
// re-checks; it tries a real wait again about once a second and goes back to waiting as
// soon as one holds.

// The system's DCB and ours (serial/dcb.h) share name and layout; the system's is renamed
// while windows.h is read and filled from ours byte for byte.
#define DCB Win32Dcb
#include <windows.h>
#undef DCB

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"

static_assert(sizeof(Win32Dcb) == sizeof(DCB), "our DCB must match the system's");

namespace {

// Failed waits in a row after which the watcher polls the receive queue instead.
constexpr int kFailedWaitsBeforePolling = 3;
// Pace of the receive-queue checks while polling (the POSIX back end's re-check pace).
constexpr DWORD kPollIntervalMs = 20;
// While polling, a real wait is tried again after this many checks (about a second).
constexpr int kPollsBetweenProbes = 50;
// A read of bytes already received completes at once; this bounds the wait for a driver
// that completes it later.
constexpr DWORD kReadCompletionMs = 500;

// Drivers report a removed device in several ways; all of them mean "gone for good".
bool IsGoneError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_INVALID_HANDLE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_NOT_READY:
        case ERROR_BROKEN_PIPE:
        case ERROR_GEN_FAILURE:
            return true;
        default:
            return false;
    }
}

OVERLAPPED MakeRecord() {
    OVERLAPPED record;
    std::memset(&record, 0, sizeof record);
    record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return record;
}

}  // namespace

class CommPortImpl {
public:
    CommPortImpl()
        : readRecord_(MakeRecord()),
          writeRecord_(MakeRecord()),
          wake_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CommPortImpl() {
        Close();
        CloseHandle(readRecord_.hEvent);
        CloseHandle(writeRecord_.hEvent);
        CloseHandle(wake_);
    }

    bool Open(uint8_t port, const CommOpenWait& wait) {
        if (handle_ != INVALID_HANDLE_VALUE) {
            return false;
        }
        const std::string path = DevicePathOfPort(port);
        if (path.empty()) {
            return false;
        }
        // Not on this thread: a Bluetooth port connects inside the open (comm_open_win32.cpp).
        handle_ = reinterpret_cast<HANDLE>(OpenCommDevice(path, wait));
        if (handle_ == INVALID_HANDLE_VALUE) {
            return false;
        }
        ResetEvent(wake_);
        evMask_.store(0, std::memory_order_relaxed);
        bytesRead_.store(0, std::memory_order_relaxed);
        rxBaseline_.store(0, std::memory_order_relaxed);
        heldErrors_.store(0, std::memory_order_relaxed);
        reportedArrivals_ = 0;
        failedWaits_ = 0;
        pollsSinceProbe_ = 0;
        return true;
    }

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    void Close() {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return;
        }
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    bool ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) {
        Win32Dcb system;
        std::memcpy(&system, &settings, sizeof system);
        baud_ = settings.BaudRate;
        const bool stateOk = SetCommState(handle_, &system) != FALSE;
        const bool buffersOk = SetupComm(handle_, inBufSize, outBufSize) != FALSE;
        return stateOk && buffersOk;
    }

    void SetEventMask(uint32_t evMask) {
        const uint32_t before = evMask_.load(std::memory_order_acquire);
        if ((evMask & EV_RXCHAR_BIT) != 0 && (before & EV_RXCHAR_BIT) == 0) {
            // Bytes that came while EV_RXCHAR was off raise no event on Windows; the polling
            // fallback must not report them either.
            rxBaseline_.store(bytesRead_.load(std::memory_order_acquire) + PeekQueue().inQueue,
                              std::memory_order_release);
        }
        evMask_.store(evMask, std::memory_order_release);
        SetCommMask(handle_, evMask);
        SetEvent(wake_);
    }

    CommWaitResult WaitEvent() {
        if (waitRecord_.hEvent == nullptr) {
            waitRecord_ = MakeRecord();
        }
        for (;;) {
            if (TakeWake()) {
                return {CommWaitStatus::Woken, 0};
            }
            const bool polling = failedWaits_ >= kFailedWaitsBeforePolling;
            if (!polling || pollsSinceProbe_ >= kPollsBetweenProbes) {
                pollsSinceProbe_ = 0;
                const std::optional<CommWaitResult> waited = WaitOnce(polling);
                if (waited) {
                    return *waited;
                }
                continue;
            }
            if (WaitForSingleObject(wake_, kPollIntervalMs) == WAIT_OBJECT_0) {
                continue;  // taken at the top of the loop
            }
            ++pollsSinceProbe_;
            const std::optional<CommWaitResult> polled = CheckQueue();
            if (polled) {
                return *polled;
            }
        }
    }

    void EndWatch() {
        if (waitRecord_.hEvent != nullptr) {
            CloseHandle(waitRecord_.hEvent);
            waitRecord_.hEvent = nullptr;
        }
    }

    uint32_t ModemStatus() {
        DWORD status = 0;
        if (!GetCommModemStatus(handle_, &status)) {
            return 0;
        }
        return status;
    }

    void SetDtr(bool raise) { EscapeCommFunction(handle_, raise ? SETDTR : CLRDTR); }

    void Purge() {
        PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

    CommQueueStatus QueueStatus() {
        DWORD errors = 0;
        COMSTAT status;
        std::memset(&status, 0, sizeof status);
        if (!ClearCommError(handle_, &errors, &status)) {
            return {0, 0};
        }
        // Errors the watcher took while looking at the queue belong to this caller.
        return {errors | heldErrors_.exchange(0, std::memory_order_acq_rel), status.cbInQue};
    }

    int32_t Read(void* buffer, int32_t count) {
        const int32_t got = ReadPending(buffer, count);
        if (got > 0) {
            bytesRead_.fetch_add(static_cast<uint64_t>(got), std::memory_order_release);
        }
        return got;
    }

    int32_t Write(const void* buffer, int32_t count) {
        DWORD put = 0;
        ResetEvent(writeRecord_.hEvent);
        if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), nullptr, &writeRecord_)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return 0;
            }
            // A write without time-outs can hang for good on a stalled line; give it the
            // time the bytes need on the wire and then take it back.
            if (WaitForSingleObject(writeRecord_.hEvent, WriteDeadlineMs(count, baud_)) !=
                WAIT_OBJECT_0) {
                CancelIoEx(handle_, &writeRecord_);
            }
        }
        if (!GetOverlappedResult(handle_, &writeRecord_, &put, TRUE)) {
            return 0;
        }
        return static_cast<int32_t>(put);
    }

private:
    struct QueuePeek {
        bool ok;
        DWORD error;  ///< GetLastError when not ok
        uint32_t inQueue;
    };

    // ClearCommError for the watcher's own use: the error word it clears is kept for the
    // next QueueStatus, so no caller loses it.
    QueuePeek PeekQueue() {
        DWORD errors = 0;
        COMSTAT status;
        std::memset(&status, 0, sizeof status);
        if (!ClearCommError(handle_, &errors, &status)) {
            return {false, GetLastError(), 0};
        }
        if (errors != 0) {
            heldErrors_.fetch_or(errors, std::memory_order_acq_rel);
        }
        return {true, 0, status.cbInQue};
    }

    bool TakeWake() {
        if (WaitForSingleObject(wake_, 0) != WAIT_OBJECT_0) {
            return false;
        }
        ResetEvent(wake_);
        return true;
    }

    // Bytes received since the port was opened, as far as they can be counted: those read
    // plus those waiting. Arrivals beyond the last count reported are new.
    uint64_t Arrivals(uint32_t inQueue) {
        const uint64_t baseline = rxBaseline_.load(std::memory_order_acquire);
        if (baseline > reportedArrivals_) {
            reportedArrivals_ = baseline;
        }
        return bytesRead_.load(std::memory_order_acquire) + inQueue;
    }

    // One look at the receive queue while polling: EV_RXCHAR for new bytes, EV_ERR for a
    // line error, each only when in the mask; nothing (empty) when all is quiet.
    std::optional<CommWaitResult> CheckQueue() {
        const QueuePeek peek = PeekQueue();
        if (!peek.ok) {
            if (IsGoneError(peek.error)) {
                return CommWaitResult{CommWaitStatus::Gone, 0};
            }
            return std::nullopt;
        }
        const uint32_t mask = evMask_.load(std::memory_order_acquire);
        uint32_t events = 0;
        if ((mask & EV_ERR_BIT) != 0 && heldErrors_.load(std::memory_order_acquire) != 0) {
            events |= EV_ERR_BIT;
        }
        if ((mask & EV_RXCHAR_BIT) != 0) {
            const uint64_t arrivals = Arrivals(peek.inQueue);
            if (arrivals > reportedArrivals_) {
                reportedArrivals_ = arrivals;
                events |= EV_RXCHAR_BIT;
            }
        }
        if (events == 0) {
            return std::nullopt;
        }
        return CommWaitResult{CommWaitStatus::Event, events};
    }

    // Ends a pending wait for sure (SetCommMask ends it on Windows; cancelling covers
    // drivers that do not) and returns the event word it had, if it completed first.
    DWORD CancelWait() {
        CancelIoEx(handle_, &waitRecord_);
        DWORD unused = 0;
        if (!GetOverlappedResult(handle_, &waitRecord_, &unused, TRUE)) {
            return 0;
        }
        return waitEvents_;
    }

    // One real WaitCommEvent. Returns the result for the caller, or nothing when the
    // watcher should go on polling. Never leaves the wait pending.
    std::optional<CommWaitResult> WaitOnce(bool polling) {
        waitEvents_ = 0;
        DWORD error = 0;
        ResetEvent(waitRecord_.hEvent);
        if (!WaitCommEvent(handle_, &waitEvents_, &waitRecord_)) {
            error = GetLastError();
        }
        if (error == ERROR_IO_PENDING) {
            HANDLE both[2] = {waitRecord_.hEvent, wake_};
            DWORD which =
                WaitForMultipleObjects(2, both, FALSE, polling ? kPollIntervalMs : INFINITE);
            if (which == WAIT_TIMEOUT) {
                // The wait holds: this port can wait after all. Bytes that came between the
                // last check and the start of this wait raise no event, so look once more.
                failedWaits_ = 0;
                const std::optional<CommWaitResult> missed = CheckQueue();
                if (missed) {
                    const DWORD more = CancelWait();
                    if (missed->status != CommWaitStatus::Event) {
                        return missed;
                    }
                    return CommWaitResult{CommWaitStatus::Event, missed->events | more};
                }
                which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
            }
            if (which != WAIT_OBJECT_0) {
                // The mask changed (or the wait could not be waited for): the wait is over.
                CancelWait();
                TakeWake();
                return CommWaitResult{CommWaitStatus::Woken, 0};
            }
            DWORD unused = 0;
            error = GetOverlappedResult(handle_, &waitRecord_, &unused, FALSE) ? 0 : GetLastError();
        }
        uint32_t events = error == 0 ? waitEvents_ : 0;
        if ((events & EV_RXCHAR_BIT) != 0) {
            // Windows raises EV_RXCHAR when bytes arrive; Wine also whenever unread bytes
            // wait. Only bytes beyond those already reported make it an event.
            const QueuePeek peek = PeekQueue();
            const uint64_t arrivals = Arrivals(peek.ok ? peek.inQueue : 0);
            if (arrivals > reportedArrivals_) {
                reportedArrivals_ = arrivals;
            } else {
                events &= ~EV_RXCHAR_BIT;
            }
        }
        if (events != 0) {
            failedWaits_ = 0;
            return CommWaitResult{CommWaitStatus::Event, events};
        }
        if (TakeWake()) {
            return CommWaitResult{CommWaitStatus::Woken, 0};  // ended by a mask change
        }
        if (IsGoneError(error)) {
            return CommWaitResult{CommWaitStatus::Gone, 0};
        }
        // An empty or aborted wait nobody asked for, or one that only saw old bytes.
        if (polling) {
            return std::nullopt;
        }
        ++failedWaits_;
        // The watcher pauses after a failure; once failures have piled up it polls instead.
        return CommWaitResult{CommWaitStatus::Failed, 0};
    }

    int32_t ReadPending(void* buffer, int32_t count) {
        // Only bytes already received are asked for, and none when none wait: such a read
        // completes at once on Windows and very soon under Wine (which completes even
        // those asynchronously), and never waits for the line.
        const QueuePeek peek = PeekQueue();
        if (!peek.ok || peek.inQueue == 0) {
            return 0;
        }
        const DWORD wanted = std::min(static_cast<DWORD>(count), static_cast<DWORD>(peek.inQueue));
        DWORD got = 0;
        ResetEvent(readRecord_.hEvent);
        if (!ReadFile(handle_, buffer, wanted, nullptr, &readRecord_)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return 0;
            }
            // It must not write into the caller's buffer once we return: if it has not
            // completed by then, cancel it and wait until the cancellation has gone
            // through; what it had transferred counts.
            if (WaitForSingleObject(readRecord_.hEvent, kReadCompletionMs) != WAIT_OBJECT_0) {
                CancelIoEx(handle_, &readRecord_);
            }
        }
        if (!GetOverlappedResult(handle_, &readRecord_, &got, TRUE) &&
            GetLastError() != ERROR_OPERATION_ABORTED) {
            return 0;
        }
        return static_cast<int32_t>(got);
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    OVERLAPPED readRecord_;
    OVERLAPPED writeRecord_;
    HANDLE wake_;  // set by SetEventMask: ends a wait or a poll pause
    std::atomic<uint32_t> evMask_{0};
    uint32_t baud_ = 0;
    // Arrival counting for the polling fallback (written by the reader, read by the watcher).
    std::atomic<uint64_t> bytesRead_{0};
    std::atomic<uint64_t> rxBaseline_{0};
    std::atomic<uint32_t> heldErrors_{0};
    // Watcher thread only.
    OVERLAPPED waitRecord_{};
    DWORD waitEvents_ = 0;
    uint64_t reportedArrivals_ = 0;
    int failedWaits_ = 0;
    int pollsSinceProbe_ = 0;
};

CommPort::CommPort() : impl_(std::make_unique<CommPortImpl>()) {}
CommPort::~CommPort() = default;

bool CommPort::Open(uint8_t port, const CommOpenWait& wait) {
    return impl_->Open(port, wait);
}
bool CommPort::IsOpen() const {
    return impl_->IsOpen();
}
void CommPort::Close() {
    impl_->EndWatch();
    impl_->Close();
}
bool CommPort::ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) {
    return impl_->ApplySettings(settings, inBufSize, outBufSize);
}
void CommPort::SetEventMask(uint32_t evMask) {
    impl_->SetEventMask(evMask);
}
CommWaitResult CommPort::WaitEvent() {
    return impl_->WaitEvent();
}
uint32_t CommPort::ModemStatus() {
    return impl_->ModemStatus();
}
void CommPort::SetDtr(bool raise) {
    impl_->SetDtr(raise);
}
void CommPort::Purge() {
    impl_->Purge();
}
CommQueueStatus CommPort::QueueStatus() {
    return impl_->QueueStatus();
}
int32_t CommPort::Read(void* buffer, int32_t count) {
    return impl_->Read(buffer, count);
}
int32_t CommPort::Write(const void* buffer, int32_t count) {
    return impl_->Write(buffer, count);
}

std::string DevicePathOfPort(uint8_t port) {
    if (port < 1 || port > 99) {
        return {};
    }
    return "\\\\.\\COM" + std::to_string(port);
}

void EnterWatcherThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

DCB SystemDefaultLineSettings() {
    DCB settings{};
    settings.DCBlength = sizeof(DCB);
    Win32Dcb system;
    std::memcpy(&system, &settings, sizeof system);
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 4) {
        BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &system);
    } else {
        // Copied whether or not the call succeeds: without a COM1 the record stays zero,
        // DCBlength included.
        COMMCONFIG config;
        std::memset(&config, 0, sizeof config);
        config.dwSize = sizeof config;
        DWORD size = config.dwSize;
        GetDefaultCommConfigA("COM1", &config, &size);
        system = config.dcb;
    }
    std::memcpy(&settings, &system, sizeof settings);
    return settings;
}
