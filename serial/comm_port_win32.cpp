// Win32 back end of CommPort: overlapped I/O on "\\.\COM<n>" with the system's
// communications functions, reached through the table of comm_api_win32.h. One OVERLAPPED
// record per operation (watcher wait, read, write), each with its own manual-reset event,
// so the three can be in flight at once (overlapped_io_win32.h). The watcher waits with
// WaitCommEvent, or, under Wine on a port that cannot wait, polls the receive queue
// (comm_watch_win32.h).

#include "serial/windows_dcb_win32.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "serial/comm_api_win32.h"
#include "serial/comm_open_error.h"
#include "serial/comm_port.h"
#include "serial/comm_port_backend.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/comm_watch_win32.h"
#include "serial/driver_dcb_mapping.h"
#include "serial/overlapped_io_win32.h"

namespace {

// Failed waits in a row after which the watcher polls the receive queue instead, under
// Wine only.
constexpr int kFailedWaitsBeforePolling = 3;
// A read of bytes already received completes at once; this bounds the wait for a driver
// that completes it later.
constexpr DWORD kReadCompletionMs = 500;

// Time-outs the driver keeps from one program to the next unless they are set: reads
// return what is queued at once, and a write ends about when WriteDeadlineMs gives it up
// (two seconds plus twice the line time of its bytes).
COMMTIMEOUTS TimeoutsFor(uint32_t baud) {
    const uint32_t rate = baud == 0 ? 110 : baud;
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = (2 * 11 * 1000 + rate - 1) / rate;
    timeouts.WriteTotalTimeoutConstant = WriteDeadlineMs(0, baud);
    return timeouts;
}

class Win32CommPort final : public CommPortBackend {
public:
    explicit Win32CommPort(ArrivalCounter& arrivals)
        : port_(arrivals),
          read_(std::make_unique<OverlappedIo>()),
          write_(std::make_unique<OverlappedIo>()),
          eventWait_(port_),
          polling_(port_) {
        port_.wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Win32CommPort() override {
        Close();
        CloseHandle(port_.wake);
    }

    bool Open(const std::string& path, const CommOpenWait& wait, CommOpenError& error) override {
        // Not on this thread: a Bluetooth port connects inside the open (comm_open_win32.cpp).
        port_.handle = reinterpret_cast<HANDLE>(OpenCommDevice(path, wait, error));
        if (port_.handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        // A device without line settings is no serial port. Wine opens a mapped port whose
        // device has gone (a pty that hung up) as the default device of its number, and
        // where there is none every call on that handle fails; Windows fails the open.
        Win32Dcb settings;
        std::memset(&settings, 0, sizeof settings);
        settings.DCBlength = sizeof settings;
        if (!Comm().GetCommState(port_.handle, &settings)) {
            error = OpenErrorFromSystem(GetLastError(), path);
            CloseHandle(port_.handle);
            port_.handle = INVALID_HANDLE_VALUE;
            return false;
        }
        baud_ = 0;
        SetTimeouts();
        port_.ClearWake();
        port_.mask.store(0, std::memory_order_relaxed);
        port_.heldErrors.store(0, std::memory_order_relaxed);
        port_.gone.store(false, std::memory_order_release);
        polled_ = false;
        failedWaits_ = 0;
        emptyWaits_ = 0;
        // Wine cannot wait for events on a pseudo-terminal: every wait fails at once. On
        // Windows waits work, and what makes them fail for a while looks the same from here
        // (after a line error, a driver told to abort on errors fails every request with
        // ERROR_OPERATION_ABORTED until ClearCommError), so there no run of failures may
        // switch a port to polling: the watcher retries after its pause.
        mayPoll_ = Comm().IsWine();
        return true;
    }

    bool IsOpen() const override { return port_.handle != INVALID_HANDLE_VALUE; }

    void Close() override {
        if (port_.handle == INVALID_HANDLE_VALUE) {
            return;
        }
        CloseHandle(port_.handle);
        port_.handle = INVALID_HANDLE_VALUE;
    }

    bool ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) override {
        uint32_t currentBaud = 0;
        if (settings.BaudRate == 0) {
            Win32Dcb now;
            std::memset(&now, 0, sizeof now);
            now.DCBlength = sizeof now;
            if (Comm().GetCommState(port_.handle, &now)) {
                currentBaud = now.BaudRate;
            }
        }
        const DCB driver = DriverDcb(settings, currentBaud);
        Win32Dcb system;
        std::memcpy(&system, &driver, sizeof system);
        const bool stateOk = Comm().SetCommState(port_.handle, &system) != FALSE;
        const bool buffersOk = Comm().SetupComm(port_.handle, inBufSize, outBufSize) != FALSE;
        if (stateOk && driver.BaudRate != baud_) {
            baud_ = driver.BaudRate;
            SetTimeouts();
        }
        return stateOk && buffersOk;
    }

    void SetEventMask(uint32_t evMask) override {
        port_.mask.store(evMask, std::memory_order_release);
        // The mask change completes a pending WaitCommEvent at once with an empty event
        // word. By then the watcher must know it was woken, or it counts a failed wait (and
        // three in a row switch a healthy port to polling): the wake-up goes first, and a
        // wait that ends empty while the change is under way or after it is woken too.
        port_.maskChanges.fetch_add(1, std::memory_order_acq_rel);
        port_.RequestWake();
        Comm().SetCommMask(port_.handle, evMask);
        port_.maskChanges.fetch_add(1, std::memory_order_acq_rel);
    }

    CommWaitResult WaitEvent() override {
        for (;;) {
            if (port_.gone.load(std::memory_order_acquire)) {
                return {CommWaitStatus::Gone, 0};
            }
            if (port_.TakeWake()) {
                return {CommWaitStatus::Woken, 0};
            }
            if (polled_ && !polling_.ProbeDue()) {
                if (const std::optional<CommWaitResult> polled = polling_.Next()) {
                    return *polled;
                }
                continue;
            }
            const EventWait::Result waited = eventWait_.Wait(polled_);
            if (waited.held || waited.outcome == EventWait::Outcome::Event) {
                polled_ = false;  // this port can wait after all
                failedWaits_ = 0;
            }
            switch (waited.outcome) {
                case EventWait::Outcome::Event:
                    emptyWaits_ = 0;
                    return {CommWaitStatus::Event, waited.events};
                case EventWait::Outcome::Woken:
                    return {CommWaitStatus::Woken, 0};
                case EventWait::Outcome::Gone:
                    return {CommWaitStatus::Gone, 0};
                case EventWait::Outcome::Empty:
                    // Normal once after a count (Windows remembers the bytes that came
                    // meanwhile), so no failure and no pause. A port that keeps doing it
                    // (Wine, while unread bytes wait) waits at the polling pace.
                    if (!polled_ && ++emptyWaits_ > 1 &&
                        WaitForSingleObject(port_.wake, kRecheckIntervalMs) == WAIT_OBJECT_0) {
                        port_.ClearWake();
                        return {CommWaitStatus::Woken, 0};
                    }
                    continue;
                case EventWait::Outcome::Failed:
                    emptyWaits_ = 0;
                    if (polled_) {
                        continue;  // the probe found the port still unable to wait
                    }
                    if (++failedWaits_ >= kFailedWaitsBeforePolling && mayPoll_) {
                        polled_ = true;
                        polling_.Start();
                    }
                    // The watcher pauses after a failure; once failures have piled up the
                    // port is polled instead.
                    return {CommWaitStatus::Failed, 0};
            }
        }
    }

    uint32_t QueuedBytes() override {
        return port_.gone.load(std::memory_order_acquire) ? 0 : port_.PeekQueue().inQueue;
    }

    uint32_t ModemStatus() override {
        DWORD status = 0;
        if (!Comm().GetCommModemStatus(port_.handle, &status)) {
            return 0;
        }
        return status;
    }

    void SetDtr(bool raise) override {
        Comm().EscapeCommFunction(port_.handle, raise ? SETDTR : CLRDTR);
    }

    void Purge() override {
        Comm().PurgeComm(port_.handle,
                         PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

    CommQueueStatus QueueStatus() override {
        if (port_.gone.load(std::memory_order_acquire)) {
            return {0, 0};  // bytes that could not be read are no bytes to wait for
        }
        DWORD errors = 0;
        COMSTAT status;
        std::memset(&status, 0, sizeof status);
        if (!Comm().ClearCommError(port_.handle, &errors, &status)) {
            return {0, 0};
        }
        // Errors the watcher took while looking at the queue belong to this caller.
        return {errors | port_.heldErrors.exchange(0, std::memory_order_acq_rel), status.cbInQue,
                status.cbOutQue};
    }

    int32_t Read(void* buffer, int32_t count) override {
        if (port_.gone.load(std::memory_order_acquire)) {
            return 0;
        }
        // Only bytes already received are asked for, and none when none wait: such a read
        // completes at once on Windows and very soon under Wine (which completes even
        // those asynchronously), and never waits for the line.
        const WatchedPort::QueuePeek peek = port_.PeekQueue();
        if (!peek.ok || peek.inQueue == 0) {
            return 0;
        }
        const DWORD wanted = std::min(static_cast<DWORD>(count), static_cast<DWORD>(peek.inQueue));
        // Into memory of our own: a read the driver will not cancel may fill it later.
        read_->Prepare();
        read_->data.resize(wanted);
        std::optional<IoOutcome> outcome;
        if (Comm().ReadFile(port_.handle, read_->data.data(), wanted, nullptr, &read_->record) ||
            GetLastError() == ERROR_IO_PENDING) {
            // If it has not completed soon, it is cancelled; what it had transferred counts.
            outcome = WaitForSingleObject(read_->record.hEvent, kReadCompletionMs) == WAIT_OBJECT_0
                          ? FinishedIo(port_.handle, *read_)
                          : CancelAndAwaitIo(port_.handle, read_);
            if (!outcome) {
                GiveUp();
                return 0;
            }
        }
        if (!outcome || (!outcome->ok && outcome->error != ERROR_OPERATION_ABORTED)) {
            return 0;
        }
        std::memcpy(buffer, read_->data.data(), outcome->transferred);
        return static_cast<int32_t>(outcome->transferred);
    }

    CommWriteResult Write(const void* buffer, int32_t count) override {
        if (port_.gone.load(std::memory_order_acquire)) {
            return {0, false};
        }
        // From memory of our own: a write the driver will not cancel may read it later.
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        write_->Prepare();
        write_->data.assign(bytes, bytes + count);
        bool missedDeadline = false;
        if (!Comm().WriteFile(port_.handle, write_->data.data(), static_cast<DWORD>(count), nullptr,
                              &write_->record)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return {0, false};
            }
            // A driver that ignores the write time-outs (a Bluetooth link to an analyser
            // out of range waits for the radio) gets the same deadline from here.
            if (WaitForSingleObject(write_->record.hEvent, WriteDeadlineMs(count, baud_)) !=
                WAIT_OBJECT_0) {
                const std::optional<IoOutcome> cancelled = CancelAndAwaitIo(port_.handle, write_);
                if (!cancelled) {
                    GiveUp();
                    return {0, true};
                }
                return {static_cast<int32_t>(cancelled->transferred), true};
            }
        }
        const IoOutcome outcome = FinishedIo(port_.handle, *write_);
        if (!outcome.ok) {
            // Wine ends a write at the driver's time-out with ERROR_TIMEOUT.
            missedDeadline = outcome.error == ERROR_TIMEOUT;
            if (!missedDeadline) {
                return {0, false};
            }
        }
        // The driver's own write time-out completes the write short, not as a failure.
        return {static_cast<int32_t>(outcome.transferred),
                missedDeadline || outcome.transferred < static_cast<DWORD>(count)};
    }

private:
    // The driver keeps an operation it was asked to cancel: nothing more goes to it; the
    // watcher reports the port as gone, as for an adapter pulled out.
    void GiveUp() {
        port_.gone.store(true, std::memory_order_release);
        port_.RequestWake();
    }

    void SetTimeouts() {
        COMMTIMEOUTS timeouts = TimeoutsFor(baud_);
        Comm().SetCommTimeouts(port_.handle, &timeouts);
    }

    WatchedPort port_;
    std::unique_ptr<OverlappedIo> read_;
    std::unique_ptr<OverlappedIo> write_;
    uint32_t baud_ = 0;
    // Watcher thread only.
    EventWait eventWait_;
    QueuePolling polling_;
    bool mayPoll_ = false;  // under Wine: a port that cannot wait may be polled
    bool polled_ = false;   // the port could not wait: the fallback runs
    int failedWaits_ = 0;
    int emptyWaits_ = 0;
};

}  // namespace

std::unique_ptr<CommPortBackend> MakeCommPortBackend(ArrivalCounter& arrivals) {
    return std::make_unique<Win32CommPort>(arrivals);
}
