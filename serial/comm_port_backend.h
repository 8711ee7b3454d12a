#pragma once
// What each platform implements under CommPort: comm_port_posix.cpp with termios and
// poll(), comm_port_win32.cpp with the Win32 communications functions (CMake picks one).
// A PortProvider may bring a back end of its own (the demo's simulated ports run in
// memory, sim/demo_comm_port.cpp); CommPort takes whichever it is made with.
// The operations mean what comm_port.h says, less what CommPort (comm_port.cpp) does for
// every back end: it finds the device of a port number, tells arrivals from bytes that
// merely wait (ArrivalCounter, which it counts reads into and the back end's watcher
// asks), and stalls a line whose writes stopped draining. A back end holds the system
// calls.

#include <cstdint>
#include <memory>
#include <string>

#include "serial/arrival_counter.h"
#include "serial/comm_port.h"
#include "serial/dcb.h"
#include "serial/port_paths.h"

/// The pace at which a watcher looks again where the system has nothing to wait for: while
/// unread bytes wait and while line changes are watched (POSIX), and on a port that cannot
/// wait for events at all (the Win32 fallback).
inline constexpr uint32_t kRecheckIntervalMs = 20;

/// Outcome of one CommPortBackend::Write.
struct CommWriteResult {
    int32_t written;      ///< bytes handed to the driver
    bool missedDeadline;  ///< the line took no more bytes within WriteDeadlineMs
};

class CommPortBackend {
public:
    virtual ~CommPortBackend() = default;

    /// The device COM `port` opens; empty when the number has none. The system's back ends
    /// open what DevicePathOfPort says.
    virtual std::string DevicePath(uint8_t port) const { return DevicePathOfPort(port); }

    /// Opens the device `path` (never empty) exclusively; false if it cannot be opened or is
    /// no serial port, with `error` set where it failed. Called only while closed.
    virtual bool Open(const std::string& path, const CommOpenWait& wait, CommOpenError& error) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    virtual bool ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) = 0;
    /// Sets the mask and ends a pending WaitEvent with Woken.
    virtual void SetEventMask(uint32_t evMask) = 0;
    /// Received data is an event only where the ArrivalCounter the back end was made with
    /// says bytes arrived.
    virtual CommWaitResult WaitEvent() = 0;
    /// Bytes in the receive queue, leaving the error word to QueueStatus; 0 when closed.
    virtual uint32_t QueuedBytes() = 0;
    virtual uint32_t ModemStatus() = 0;
    virtual void SetDtr(bool raise) = 0;
    virtual void Purge() = 0;
    virtual CommQueueStatus QueueStatus() = 0;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual CommWriteResult Write(const void* buffer, int32_t count) = 0;
    /// True when the back end knows without waiting that the open device hung up or
    /// vanished. The system's back ends learn it only from a wait (WaitEvent's Gone) and say
    /// false; a back end in memory knows it at once.
    virtual bool Gone() { return false; }
};

/// The back end of this platform, closed; its watcher asks `arrivals`, which must outlive it.
std::unique_ptr<CommPortBackend> MakeCommPortBackend(ArrivalCounter& arrivals);
