#pragma once
// The simulator's event loop: one pty per port, one poll() over all of them and a stop
// descriptor, timers derived from the devices' deadlines. Single-threaded.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_link.h"
#include "sim/sim_log.h"
#include "sim/sim_options.h"
#include "tools/sim/sim_open_watch.h"
#include "tools/sim/sim_pty.h"

/// Exit codes of fumilink-sim.
enum SimExitCode {
    kSimExitOk = 0,       ///< stopped by signal, or every port hung up
    kSimExitFailure = 1,  ///< a pty or link could not be created
    kSimExitUsage = 2,    ///< bad options, or a COM<n> already taken in the folder
};

/// Owns the simulated ports for the life of the simulator.
class SimServer {
public:
    SimServer(const SimOptions& options, SimLog& log);
    /// Closes every pty and removes every link this server created.
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    /// Creates the ptys and links. Refuses (kSimExitUsage) when the folder is missing or a
    /// COM<n> link already exists, before creating anything. Returns a SimExitCode; on
    /// failure `error` holds the message for the user and nothing is left behind.
    int Start(std::string& error);

    /// "READY COM5 /dev/pts/7 [COM<n> /dev/pts/<m> ...]" once Start() succeeded.
    std::string ReadyLine() const;

    /// Serves the ports until `stopFd` becomes readable or every port has hung up.
    void Run(int stopFd);

private:
    struct Port {
        int number = 0;
        PortRole role = PortRole::Analyser;
        std::string name;      // "COM5"
        std::string linkPath;  // DIR/COM5
        SimPty pty;
        std::unique_ptr<SimDevice> device;
        bool writeBlocked = false;  // the pty took less than offered: wait for POLLOUT
        bool open = false;
        uint64_t sentLogged = 0;  // stream lines last reported by --log-sent

        // A Bluetooth link: DIR/COM5 -> rfcomm5 -> the pty's slave.
        std::optional<SimLink> link;
        std::string rfcommName;  // "rfcomm5"
        std::string rfcommPath;  // DIR/rfcomm5
        int watch = -1;          // SimOpenWatch of the slave
        int openers = 0;         // open descriptors of the slave besides our own

        // A replayed or refused port: its part of the record, and whether our lock on the
        // slave refuses the program's next open (it takes the same advisory lock).
        const ReplayPort* replay = nullptr;
        bool locked = false;
    };

    /// What the program sees at DIR/COM<n>: the pty's slave, or the rfcomm link.
    static const std::string& LinkTarget(const Port& port);
    bool CreateLinks(Port& port, std::string& error);
    void RemoveLinks(Port& port);
    /// True while the analyser behind the port can be reached (always, unless it is a
    /// Bluetooth link that is not up).
    static bool Reachable(const Port& port);
    void Flush(Port& port, SimTime now);
    void LogSent(Port& port, double steadyBeforeFlush);
    void ReadFrom(Port& port);
    void Close(Port& port, const std::string& event);
    void TakeOpenEvents();
    /// The program closed a Bluetooth link's port (`event`; `end` ends the batch).
    void CloseLink(Port& port, std::vector<SimOpenWatch::Event>::const_iterator event,
                   std::vector<SimOpenWatch::Event>::const_iterator end, SimTime now);
    void AdvanceLink(Port& port, SimTime now);
    /// The link failed: the tty hangs up, as rfcomm's does, and a new pty takes its place
    /// behind DIR/rfcomm<n>, so the port can be opened (and fail) again.
    void HangUpLink(Port& port, SimTime now);
    /// Hangs up the program's connection and puts a new pty behind the port's name.
    void ReplacePty(Port& port, SimTime now);
    /// Holds or drops the lock that refuses the program's next open, as the device wants.
    void ApplyRefusal(Port& port);
    /// True when the port's opens and closes are watched (Bluetooth links, replays).
    static bool Watched(const Port& port);

    SimOptions options_;
    SimLog& log_;
    std::vector<Port> ports_;
    SimOpenWatch openWatch_;
};
