#pragma once
// The command log: one line per event, flushed at once so a test can read it while the
// simulator runs. Format: "<seconds since start, 6 decimals> <port> <event>", e.g.
//   12.345678 COM5 RX "w904"

#include <chrono>
#include <cstdio>
#include <string>

#include "sim/sim_time.h"

/// Timestamped event log to standard error or a file.
class SimLog {
public:
    /// Logs to standard error.
    SimLog();
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    /// Switches to a file (truncated). Returns false, with `error` set, when it cannot.
    bool OpenFile(const std::string& path, std::string& error);

    /// Time since the log (and with it the simulator) started, on the monotonic clock.
    SimTime Now() const;

    /// Writes one event line for `port` ("COM5", or "-" for the simulator itself).
    void Write(SimTime at, const std::string& port, const std::string& event);

private:
    std::chrono::steady_clock::time_point start_;
    std::FILE* file_;
    bool ownsFile_ = false;
};
