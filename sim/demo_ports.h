#pragma once
// The demo analyser: fumilink-sim's simulated ports (its SimDevice with every fault, its
// paced output, its Bluetooth link model), run inside the program in place of the
// system's serial ports. The program start hands the link a DemoPortProvider
// (demo_port_provider.h) on them: the port list then holds these ports only, and every
// CommPort made with it talks to them through the demo back end (demo_comm_port.cpp);
// everything above the serial layer runs as with a real port.
//
// A simulated port behaves as fumilink-sim's pty does: its device runs from the start
// whether the program has the port open or not; the bytes it sends are released by the
// simulator's clock at its line rate (9600 baud unless --rate says otherwise) into the
// port's receive queue, which holds what the tty layer holds (4096 bytes) before the
// sender has to wait; a Bluetooth link connects at every open, holds what the program
// writes in its output queue meanwhile, and hangs the port up when it fails; a hang-up
// fault ends the port for good (it leaves the list). Where a pty has a slave that stays
// open, nobody is listening here while the port is closed: what the device sends then is
// lost, as on a serial line.
//
// Thread safety: every member may be called on any thread; one mutex guards the ports.
// Wait blocks its caller (the port's watcher) until something happens on its port.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/arrival_counter.h"
#include "serial/comm_open_error.h"
#include "serial/comm_port.h"
#include "sim/sim_device.h"
#include "sim/sim_link.h"
#include "sim/sim_options.h"

class DemoPorts {
public:
    /// Receives the simulator's log lines: the time, the port ("COM5") and the event, e.g.
    /// `RX "R001"`, as fumilink-sim writes them (its --log).
    using EventSink =
        std::function<void(SimTime at, const std::string& port, const std::string& event)>;
    /// Steady: the simulator's time is the monotonic clock since construction. Manual
    /// (tests): time stands still at 0 until SetTime moves it.
    enum class Clock { Steady, Manual };

    /// The ports of `options` (its port folder, ready file and sent-lines log are not used).
    explicit DemoPorts(const SimOptions& options, EventSink sink = {}, Clock clock = Clock::Steady);
    ~DemoPorts();
    DemoPorts(const DemoPorts&) = delete;
    DemoPorts& operator=(const DemoPorts&) = delete;

    /// The simulator's time now.
    SimTime Now() const;
    /// Moves a manual clock to `now` (never back) and wakes every waiting watcher.
    void SetTime(SimTime now);

    /// "COM<n>" of every port that has not hung up for good, in ascending number order.
    std::vector<std::string> List();
    /// True when COM `port` is one of the simulator's ports (hung up or not).
    bool Has(int port) const;
    /// True when COM `port` is listed and a Bluetooth link (--bluetooth).
    bool IsBluetoothLink(int port);

    // One connection per port at a time: the demo back end's, between Open and Close.

    /// Opens COM `port`; false with `error` set when it is none of the simulator's ports,
    /// hung up for good, or open already.
    bool Open(int port, CommOpenError& error);
    void Close(int port);
    /// Takes up to `count` received bytes.
    int32_t Read(int port, void* buffer, int32_t count);
    /// Hands `count` bytes to the device (to the link's output queue while it connects);
    /// 0 once the port hung up.
    int32_t Write(int port, const void* buffer, int32_t count);
    /// Bytes in the receive queue and in the output queue; {0, 0} once the port hung up.
    CommQueueStatus QueueStatus(int port);
    /// True once the open port hung up (its link failed, or the device went for good).
    bool HungUp(int port);
    /// CTS, DSR and RLSD on while a device is there to talk to: not on a dead port, nor
    /// while a link is connecting or after a hang-up.
    uint32_t ModemStatus(int port);
    /// Empties the receive queue and the output queue.
    void Purge(int port);
    /// Sets the EV_ mask and ends a pending Wait with Woken.
    void SetEventMask(int port, uint32_t mask);
    /// Blocks until an event of the mask happens (bytes arrived as `arrivals` counts them;
    /// the modem lines changed; the output queue ran empty), SetEventMask is called, or the
    /// port hangs up (Gone). Sleeps until the simulator has something due, never spins.
    CommWaitResult Wait(int port, ArrivalCounter& arrivals);

private:
    struct Port;

    Port* Find(int number) const;
    SimTime NowLocked() const;
    /// Runs what is due on `port` at `now`: the link's connection, the device's cycles and
    /// hang-ups, the output released into the receive queue.
    void Pump(Port& port, SimTime now);
    /// Moves the output due at `now` into the receive queue (or nowhere, with nobody
    /// listening); true when it ran empty, so that a device sending back to back may queue
    /// more at once.
    bool MoveDue(Port& port, SimTime now);
    void HangUp(Port& port, SimTime now, const std::string& event);
    std::optional<SimTime> NextDeadline(const Port& port) const;
    static bool Reachable(const Port& port);
    static uint32_t LinesOf(const Port& port);
    static uint32_t OutQueueOf(const Port& port);
    void Log(SimTime at, const Port& port, const std::string& event) const;

    const Clock clock_;
    const std::chrono::steady_clock::time_point start_;
    EventSink sink_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    SimTime manualNow_{0};
    std::vector<std::unique_ptr<Port>> ports_;
};

/// The device path the demo back end opens for COM `port` ("demo:COM5"), and back (0 for
/// a path that is none).
std::string DemoDevicePath(int port);
int DemoPortOfPath(const std::string& path);
