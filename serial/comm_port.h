#pragma once
// The operating-system side of one serial port: the operations TComm needs, with the same
// meaning on every platform. comm_port.cpp holds what is the same everywhere (which device
// a number opens, what counts as an arrival, the stall of a line) and leaves the system
// calls to the platform's back end (comm_port_backend.h): comm_port_posix.cpp with termios
// and poll(), comm_port_win32.cpp with the Win32 communications functions; CMake picks the
// file.
//
// Thread safety: one thread (the component's creating thread) calls Open, Close,
// ApplySettings, SetEventMask, SetDtr, Purge, Read, Write and QueueStatus; one other thread
// (the watcher) may at the same time call WaitEvent, QueueStatus and ModemStatus.
// SetEventMask is the one call meant to reach across: it ends a pending WaitEvent.
// Open and Close must not run while a watcher is inside WaitEvent.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/arrival_counter.h"
#include "serial/comm_open.h"
#include "serial/dcb.h"
#include "serial/system_ports.h"

/// Outcome of one CommPort::WaitEvent.
enum class CommWaitStatus : uint8_t {
    Event,   ///< `events` holds the EV_ bits that fired
    Woken,   ///< SetEventMask ended the wait; `events` is 0
    Failed,  ///< the wait failed for a passing reason; `events` is 0 (retry after a pause)
    Gone,    ///< the device hung up or vanished; further waits are pointless
};

struct CommWaitResult {
    CommWaitStatus status;
    uint32_t events;  ///< EV_ bits, 0 unless status is Event
};

/// Error word and queue counts, as ClearCommError reports them.
struct CommQueueStatus {
    uint32_t errors;   ///< CE_ bits gathered since the previous call (then cleared)
    uint32_t inQueue;  ///< bytes waiting in the receive queue
    /// Bytes written that the driver still holds. A Bluetooth link's driver keeps what is
    /// written here until the link is up (rfcomm: TIOCOUTQ).
    uint32_t outQueue = 0;
};

class CommPortBackend;

/// One opened (or not yet opened) serial port of the system, or of whatever provider it was
/// made with.
class CommPort {
public:
    /// A port whose device comes from `ports`: the back end is made at once (`ports` need not
    /// outlive it unless its back end says so); the system's by default.
    explicit CommPort(PortProvider& ports = SystemPorts::Instance());
    ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    /// Opens COM `port` exclusively for reading and writing; false if it does not exist,
    /// is in use or cannot be opened, or `wait` gave the open up (see comm_open.h). Port
    /// numbers map to devices as DevicePathOfPort says. LastOpenError says why it failed.
    bool Open(uint8_t port, const CommOpenWait& wait = {});
    /// Why the last Open failed, as the system said it; CommOpenFailure::None after one
    /// that succeeded.
    const CommOpenError& LastOpenError() const { return openError_; }
    /// True between a successful Open and Close.
    bool IsOpen() const;
    /// Releases the device (and its exclusive claim). Safe on a closed port.
    void Close();

    /// Passes line settings and driver buffer sizes to the port; false if the driver
    /// refused them (the caller does not have to look).
    bool ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize);

    /// Sets the EV_ mask future waits use, and ends a pending WaitEvent with Woken. Mask 0
    /// is how the owner stops the watcher.
    void SetEventMask(uint32_t evMask);
    /// Blocks until an event of the current mask happens, SetEventMask is called, or the
    /// wait fails. Received data counts as an event only when new bytes have arrived since
    /// the last EV_RXCHAR reported, never merely because unread bytes are waiting.
    /// Under Wine, which cannot wait for events on a pty, the Win32 back end answers the
    /// first few waits with Failed and then checks the receive queue every 20 ms instead,
    /// until a real wait holds again. On Windows a wait that fails is Failed every time.
    CommWaitResult WaitEvent();

    /// MS_*_ON bits of the modem lines; 0 where the device has none.
    uint32_t ModemStatus();
    /// Raises (true) or drops (false) DTR; ignored where the device has no modem lines.
    void SetDtr(bool raise);
    /// Aborts pending transfers and empties both driver queues.
    void Purge();
    /// Takes the error word (clearing it) and reads the queue counts; all 0 when the port
    /// is closed or gone.
    CommQueueStatus QueueStatus();

    /// Reads up to `count` bytes that are already there; never blocks and never writes
    /// into `buffer` after it has returned. Returns the bytes read, 0 on nothing or error.
    int32_t Read(void* buffer, int32_t count);
    /// Writes `count` bytes; returns when they are handed to the driver, or when a bounded
    /// wait (WriteDeadlineMs) runs out or the device fails. Returns the bytes written.
    /// Once a write has run out of time, the line counts as stalled: later writes return
    /// 0 at once, until a byte arrives (a Read returns bytes or a wait reports EV_RXCHAR)
    /// or the port is opened again.
    int32_t Write(const void* buffer, int32_t count);
    /// True when the back end already knows that the open device hung up (see
    /// CommPortBackend::Gone); the system's back ends report it through WaitEvent only.
    bool Gone();

private:
    // Counted here, looked at by the back end's watcher: it is made with a reference.
    ArrivalCounter arrivals_;
    std::unique_ptr<CommPortBackend> backend_;
    uint32_t evMask_ = 0;  // the mask last set (owner's thread)
    CommOpenError openError_;
    std::atomic<bool> writeStalled_{false};
};
