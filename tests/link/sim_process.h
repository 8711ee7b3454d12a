#pragma once
// fumilink-sim as a child process on a private port folder, for end-to-end tests.
// Started with fork/exec (which ThreadSanitizer follows) and tied to the test process:
// if a test dies, its simulator goes with it instead of holding the test runner's pipes.

#include <sys/types.h>
#include <QStringList>
#include <string>

class SimProcess {
public:
    /// Starts the simulator with `arguments` (plus --port-dir, --log and --ready-file) and
    /// waits until its links exist. Check Ready() afterwards.
    SimProcess(const std::string& portDir, const QStringList& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return ready_; }
    /// The command log so far.
    std::string Log() const;
    /// How often the log records `command` received on port COM<port>.
    int Received(int port, const std::string& command) const;
    /// Number of received commands of any kind on COM<port>.
    int ReceivedAny(int port) const;
    void Stop();

private:
    pid_t pid_ = -1;
    std::string logPath_;
    bool ready_ = false;
};
