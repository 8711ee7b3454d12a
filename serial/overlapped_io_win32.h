#pragma once
// One overlapped operation of the Win32 back end (a read, a write, the watcher's wait): its
// record with its own manual-reset event, and the memory the driver reads or writes. And
// the bounded end of one that was cancelled: CancelIoEx only asks the driver to end an
// operation, drivers need not honour it, and GetOverlappedResult(..., TRUE) would then wait
// for as long as the driver likes, on the window's thread. A record the driver still holds
// after the bound stays the driver's for good, with its memory: it is never freed, reused
// or waited for again, and the port counts as gone.

#include "serial/windows_dcb_win32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

/// How long a cancelled operation is waited for before the port counts as gone.
inline constexpr DWORD kCancelWaitMs = 1000;

struct OverlappedIo {
    OverlappedIo();
    ~OverlappedIo();
    OverlappedIo(const OverlappedIo&) = delete;
    OverlappedIo& operator=(const OverlappedIo&) = delete;

    /// Before the next operation: the event not signalled, the record zero.
    void Prepare();

    OVERLAPPED record;
    std::vector<uint8_t> data;  ///< what a read fills or a write sends
    DWORD events = 0;           ///< the event word a WaitCommEvent fills
};

/// What became of an operation: GetOverlappedResult's answer.
struct IoOutcome {
    bool ok;
    DWORD transferred;
    DWORD error;  ///< GetLastError when not ok
};

/// The outcome of an operation whose event is signalled (or that completed at once).
IoOutcome FinishedIo(HANDLE handle, OverlappedIo& io);

/// Cancels the operation of `io` and waits up to kCancelWaitMs for the driver to end it: its
/// outcome (ERROR_OPERATION_ABORTED when the cancel took), or nothing when the driver still
/// holds it. Then the driver keeps the old record and memory, and `io` is a fresh one.
std::optional<IoOutcome> CancelAndAwaitIo(HANDLE handle, std::unique_ptr<OverlappedIo>& io);
