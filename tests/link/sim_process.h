#pragma once
// fumilink-sim as a child process on a private port folder, for end-to-end tests, with
// queries of its command log.

#include <QStringList>
#include <string>

#include "tools/sim/sim_child.h"

class SimProcess {
public:
    /// Starts the simulator with `arguments` and waits until its links exist. Check
    /// Ready() afterwards.
    SimProcess(const std::string& portDir, const QStringList& arguments)
        : child_(portDir, arguments) {}

    bool Ready() const { return child_.Ready(); }
    /// The command log so far.
    std::string Log() const;
    /// How often the log records `command` received on port COM<port>.
    int Received(int port, const std::string& command) const;
    /// Number of received commands of any kind on COM<port>.
    int ReceivedAny(int port) const;
    void Stop() { child_.Stop(); }
    /// How often `needle` occurs in the command log.
    int Count(const std::string& needle) const;

private:
    SimChild child_;
};
