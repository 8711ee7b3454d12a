#pragma once
// fumilink-sim as a child process on a port folder, for tests and benchmarks. Started with
// fork/exec rather than QProcess (whose start-up ThreadSanitizer cannot follow) and tied
// to this process: if a test or benchmark dies, its simulator goes with it instead of
// holding the test runner's pipes.

#include <sys/types.h>
#include <QStringList>
#include <string>

class SimChild {
public:
    /// Starts the simulator with `arguments` plus --port-dir `portDir`, --log
    /// `portDir`/sim.log and --ready-file, and waits until its links exist. Check Ready()
    /// afterwards. The program is FUMILINK_SIM from the environment, else the one built
    /// beside us; its own output goes to `portDir`/sim.out.
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
    pid_t pid_ = -1;
    std::string logPath_;
    std::string problem_;
    bool ready_ = false;
};
