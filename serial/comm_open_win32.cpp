// The Win32 open of a serial device, on a thread of its own. CreateFile of a Bluetooth COM
// port makes the radio connection before it returns: seconds for a device in reach, and
// for one that is off it fails only after a long wait. The opening thread calls CreateFile;
// the caller waits its own way (CommOpenWait) and may give up at any time. A given-up open
// is cancelled as far as the driver allows (CancelSynchronousIo) and never waited for; the
// thread closes the handle if one arrives after all.

// windows.h through comm_api_win32.h, which must come first (windows_dcb_win32.h).
#include "serial/comm_api_win32.h"

#include <process.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "serial/comm_open.h"
#include "serial/comm_open_probe_win32.h"

namespace {

std::atomic<void (*)()> lateDeviceProbe{nullptr};

// An ordinary port opens at once; only an open that takes longer is waited for the
// caller's way, so such a port's open runs exactly as a plain CreateFile would.
constexpr DWORD kQuickOpenMs = 50;

/// What the opening thread and the caller share. The thread holds it until CreateFile has
/// returned, however long after the caller gave up.
struct Opening {
    Opening() : done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Opening() {
        if (done != nullptr) {
            CloseHandle(done);
        }
    }
    Opening(const Opening&) = delete;
    Opening& operator=(const Opening&) = delete;

    std::string path;
    HANDLE done;       // set once `device` holds the outcome
    std::mutex mutex;  // guards what follows
    HANDLE device = INVALID_HANDLE_VALUE;
    DWORD error = 0;        // CreateFile's GetLastError when `device` is none
    bool reported = false;  // `device` and `error` hold the outcome
    bool givenUp = false;
    std::function<void()> wake;
};

unsigned __stdcall OpenOnItsOwnThread(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Opening>> owned(
        static_cast<std::shared_ptr<Opening>*>(parameter));
    Opening& opening = **owned;
    HANDLE device = Comm().CreateFileA(opening.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    const DWORD error = device == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    std::lock_guard lock(opening.mutex);
    if (opening.givenUp) {
        // Nobody takes it any more: a late connection is ended at once.
        if (device != INVALID_HANDLE_VALUE) {
            CloseHandle(device);
            if (const auto probe = lateDeviceProbe.load(std::memory_order_acquire)) {
                probe();
            }
        }
        return 0;
    }
    opening.device = device;
    opening.error = error;
    opening.reported = true;
    SetEvent(opening.done);
    // Under the lock: once the caller has given up (under the same lock), no wake-up
    // reaches what it handed us.
    if (opening.wake) {
        opening.wake();
    }
    return 0;
}

}  // namespace

CommHandle OpenCommDevice(const std::string& path, const CommOpenWait& wait, CommOpenError& error) {
    auto opening = std::make_shared<Opening>();
    if (opening->done == nullptr) {
        error = OpenErrorFromSystem(GetLastError(), path);
        return kNoCommHandle;
    }
    opening->path = path;
    opening->wake = wait.wake;
    auto* parameter = new std::shared_ptr<Opening>(opening);
    // The C runtime's own thread start: the thread uses it (the strings, the lock), and a
    // thread made with CreateThread has no runtime state of its own set up.
    HANDLE thread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, OpenOnItsOwnThread, parameter, 0, nullptr));
    if (thread == nullptr) {
        error = OpenErrorFromSystem(static_cast<uint32_t>(_doserrno), path);
        delete parameter;
        return kNoCommHandle;
    }
    bool done = WaitForSingleObject(opening->done, kQuickOpenMs) == WAIT_OBJECT_0;
    if (!done && !wait.wait) {
        done = WaitForSingleObject(opening->done, INFINITE) == WAIT_OBJECT_0;
    }
    while (!done) {
        const bool keepWaiting = wait.wait();
        done = WaitForSingleObject(opening->done, 0) == WAIT_OBJECT_0;
        if (!done && !keepWaiting) {
            break;
        }
    }
    CommHandle device = kNoCommHandle;
    {
        // The outcome may have come since the last look: then it is ours after all.
        std::lock_guard lock(opening->mutex);
        done = opening->reported;
        if (done) {
            device = reinterpret_cast<CommHandle>(opening->device);
            if (opening->device == INVALID_HANDLE_VALUE) {
                error = OpenErrorFromSystem(opening->error, path);
            }
        } else {
            opening->givenUp = true;
        }
        opening->wake = nullptr;
    }
    if (!done) {
        error = OpenErrorOfOurOwn(CommOpenFailure::GivenUp, "the open was given up", path);
        // Ends the connection attempt where the driver lets an open be cancelled; where it
        // does not, CreateFile returns in its own time and the thread closes the handle.
        CancelSynchronousIo(thread);
    }
    CloseHandle(thread);
    return device;
}

void SetLateDeviceProbe(void (*probe)()) {
    lateDeviceProbe.store(probe, std::memory_order_release);
}
