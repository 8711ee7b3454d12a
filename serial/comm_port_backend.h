#pragma once
// What each platform implements under CommPort: comm_port_posix.cpp with termios and
// poll(), comm_port_win32.cpp with the Win32 communications functions (CMake picks one).
// The operations mean what comm_port.h says; CommPort (comm_port.cpp) forwards to them and
// adds what is the same on every platform.

#include <cstdint>
#include <memory>

#include "serial/comm_port.h"
#include "serial/dcb.h"

/// Outcome of one CommPortBackend::Write.
struct CommWriteResult {
    int32_t written;      ///< bytes handed to the driver
    bool missedDeadline;  ///< the line took no more bytes within WriteDeadlineMs
};

class CommPortBackend {
public:
    virtual ~CommPortBackend() = default;

    virtual bool Open(uint8_t port, const CommOpenWait& wait) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    virtual bool ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) = 0;
    virtual void SetEventMask(uint32_t evMask) = 0;
    virtual CommWaitResult WaitEvent() = 0;
    virtual uint32_t ModemStatus() = 0;
    virtual void SetDtr(bool raise) = 0;
    virtual void Purge() = 0;
    virtual CommQueueStatus QueueStatus() = 0;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual CommWriteResult Write(const void* buffer, int32_t count) = 0;
};

/// The back end of this platform, closed.
std::unique_ptr<CommPortBackend> MakeCommPortBackend();
