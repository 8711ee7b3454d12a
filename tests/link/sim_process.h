#pragma once
// fumilink-sim as a child process on a private port folder, for end-to-end tests.

#include <QProcess>
#include <QStringList>
#include <string>

class SimProcess {
public:
    /// Starts the simulator with `arguments` (plus --port-dir and --log) and waits for its
    /// READY line. Check Ready() afterwards.
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
    QProcess process_;
    std::string logPath_;
    bool ready_ = false;
};
