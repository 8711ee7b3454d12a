#pragma once
// fumilink-sim as a child process on a port folder, for the benchmarks.

#include <QProcess>
#include <QStringList>
#include <string>

class SimChild {
public:
    /// Starts the simulator with `arguments` plus --port-dir `portDir` and --log
    /// `portDir`/sim.log, and waits for its READY line. Check Ready() afterwards.
    /// The program is FUMILINK_SIM from the environment, else the one built beside us.
    SimChild(const std::string& portDir, const QStringList& arguments);
    ~SimChild();
    SimChild(const SimChild&) = delete;
    SimChild& operator=(const SimChild&) = delete;

    bool Ready() const { return ready_; }
    /// What went wrong when not Ready().
    const std::string& Problem() const { return problem_; }
    const std::string& LogPath() const { return logPath_; }
    /// Stops the simulator (SIGTERM, then SIGKILL after 10 s); it removes its links.
    void Stop();

private:
    QProcess process_;
    std::string logPath_;
    std::string problem_;
    bool ready_ = false;
};
