#include "serial/overlapped_io_win32.h"

#include <cstring>

#include "serial/comm_api_win32.h"

OverlappedIo::OverlappedIo() {
    std::memset(&record, 0, sizeof record);
    record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

OverlappedIo::~OverlappedIo() {
    CloseHandle(record.hEvent);
}

void OverlappedIo::Prepare() {
    HANDLE event = record.hEvent;
    std::memset(&record, 0, sizeof record);
    record.hEvent = event;
    ResetEvent(event);
}

IoOutcome FinishedIo(HANDLE handle, OverlappedIo& io) {
    DWORD transferred = 0;
    if (!Comm().GetOverlappedResult(handle, &io.record, &transferred, FALSE)) {
        return {false, transferred, GetLastError()};
    }
    return {true, transferred, 0};
}

std::optional<IoOutcome> CancelAndAwaitIo(HANDLE handle, std::unique_ptr<OverlappedIo>& io) {
    Comm().CancelIoEx(handle, &io->record);
    if (WaitForSingleObject(io->record.hEvent, kCancelWaitMs) == WAIT_OBJECT_0) {
        return FinishedIo(handle, *io);
    }
    // The driver may still write into the record and its memory whenever it ends the
    // operation, after any time: they are left to it.
    static_cast<void>(io.release());
    io = std::make_unique<OverlappedIo>();
    return std::nullopt;
}
