#pragma once
// fumilink-sim as a child process on a private port folder, for end-to-end tests and
// benchmarks, with queries of its command log.

#include <QStringList>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

class SimProcess {
public:
    /// Starts the simulator with `arguments` plus --port-dir `portDir`, --log
    /// `portDir`/sim.log and --ready-file, and waits until its links exist. Check Ready()
    /// afterwards. The program is FUMILINK_SIM from the environment, else the one built
    /// beside us; its own output goes to `portDir`/sim.out.
    SimProcess(const std::string& portDir, const QStringList& arguments);
    /// Stops the simulator as Stop() does.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return ready_; }
    /// What went wrong when not Ready().
    const std::string& Problem() const { return problem_; }
    const std::string& LogPath() const { return logPath_; }
    /// Stops the simulator (SIGTERM, then SIGKILL after 10 s); it removes its links.
    void Stop();

    /// The command log so far.
    std::string Log() const;
    /// How often `needle` occurs in the command log.
    int Count(const std::string& needle) const;
    /// How often the log records `command` received on port COM<port>.
    int Received(int port, const std::string& command) const;
    /// Number of received commands of any kind on COM<port>.
    int ReceivedAny(int port) const;

private:
    std::string logPath_;
    std::string problem_;
    bool ready_ = false;
    std::unique_ptr<ChildProcess> child_;
};
