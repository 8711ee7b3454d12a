// Win32 back end of CommPort: overlapped I/O on "\\.\COM<n>" with the system's
// communications functions. One OVERLAPPED record per operation (watcher wait, read,
// write), each with its own manual-reset event, so the three can be in flight at once.

// The system's DCB and ours (serial/dcb.h) share name and layout; the system's is renamed
// while windows.h is read and filled from ours byte for byte.
#define DCB Win32Dcb
#include <windows.h>
#undef DCB

#include <atomic>
#include <cstring>
#include <string>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"

static_assert(sizeof(Win32Dcb) == sizeof(DCB), "our DCB must match the system's");

namespace {

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
    CommPortImpl() : readRecord_(MakeRecord()), writeRecord_(MakeRecord()) {}
    ~CommPortImpl() {
        Close();
        CloseHandle(readRecord_.hEvent);
        CloseHandle(writeRecord_.hEvent);
    }

    bool Open(uint8_t port) {
        if (handle_ != INVALID_HANDLE_VALUE) {
            return false;
        }
        const std::string path = DevicePathOfPort(port);
        if (path.empty()) {
            return false;
        }
        handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
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
        maskChanges_.fetch_add(1, std::memory_order_acq_rel);
        SetCommMask(handle_, evMask);
    }

    CommWaitResult WaitEvent() {
        if (waitRecord_.hEvent == nullptr) {
            waitRecord_ = MakeRecord();
        }
        const uint32_t changesBefore = maskChanges_.load(std::memory_order_acquire);
        DWORD events = 0;
        DWORD error = 0;
        ResetEvent(waitRecord_.hEvent);
        if (!WaitCommEvent(handle_, &events, &waitRecord_)) {
            error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                DWORD unused = 0;
                error =
                    GetOverlappedResult(handle_, &waitRecord_, &unused, TRUE) ? 0 : GetLastError();
            }
        }
        const bool maskChanged = maskChanges_.load(std::memory_order_acquire) != changesBefore;
        if (error == 0 && events != 0) {
            return {CommWaitStatus::Event, events};
        }
        if (maskChanged) {
            return {CommWaitStatus::Woken, 0};
        }
        // An empty or aborted wait nobody asked for (Wine on a pty does this every few
        // milliseconds) is a failure, so the watcher pauses instead of spinning.
        return {IsGoneError(error) ? CommWaitStatus::Gone : CommWaitStatus::Failed, 0};
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
        return {errors, status.cbInQue};
    }

    int32_t Read(void* buffer, int32_t count) {
        DWORD got = 0;
        ResetEvent(readRecord_.hEvent);
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), nullptr, &readRecord_)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return 0;
            }
            // Still pending: it must not write into the caller's buffer once we return.
            // Cancel it and wait until the cancellation has gone through; what it had
            // transferred by then counts.
            CancelIoEx(handle_, &readRecord_);
        }
        if (!GetOverlappedResult(handle_, &readRecord_, &got, TRUE) &&
            GetLastError() != ERROR_OPERATION_ABORTED) {
            return 0;
        }
        return static_cast<int32_t>(got);
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
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    OVERLAPPED readRecord_;
    OVERLAPPED writeRecord_;
    OVERLAPPED waitRecord_{};  // watcher thread only
    uint32_t baud_ = 0;
    std::atomic<uint32_t> maskChanges_{0};
};

CommPort::CommPort() : impl_(std::make_unique<CommPortImpl>()) {}
CommPort::~CommPort() = default;

bool CommPort::Open(uint8_t port) {
    return impl_->Open(port);
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
