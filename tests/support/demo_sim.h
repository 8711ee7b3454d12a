#pragma once
// The analyser simulator inside the test (the demo's ports) on a ManualClock: what
// fumilink-sim does on pseudo-terminals, with every fault, in clock time. Its log and the
// queries on it are those of SimProcess.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/demo_port_provider.h"
#include "sim/sim_options.h"
#include "sim/sim_time.h"
#include "tests/support/manual_clock.h"

class DemoSim {
public:
    /// The simulator with fumilink-sim's `arguments` (no port folder), whose time follows
    /// `clock` from now on. Check Ready() afterwards.
    DemoSim(const std::vector<std::string>& arguments, ManualClock& clock);
    /// The simulator with `options` (the demo's, as the program start parses them).
    DemoSim(const SimOptions& options, ManualClock& clock);
    ~DemoSim();
    DemoSim(const DemoSim&) = delete;
    DemoSim& operator=(const DemoSim&) = delete;

    bool Ready() const { return ports_ != nullptr; }
    /// Why the arguments were refused when not Ready().
    const std::string& Problem() const { return problem_; }
    PortProvider& Ports() { return *ports_; }

    /// The log so far, one line per event: "<ms> COM5 RX "R001"".
    std::string Log() const;
    /// How often `needle` occurs in the log.
    int Count(const std::string& needle) const;
    /// How often COM<port> received `command`.
    int Received(int port, const std::string& command) const;
    /// Number of commands of any kind COM<port> received.
    int ReceivedAny(int port) const;
    /// The simulator's time of the first log line ("COM4 LINK up ...") that starts with
    /// `text`.
    std::optional<SimTime> FirstAt(const std::string& text) const;

private:
    void Start(const SimOptions& options);

    ManualClock& clock_;
    std::string problem_;
    std::unique_ptr<DemoPortProvider> ports_;
    mutable std::mutex logMutex_;  // the watcher threads log too
    std::vector<std::pair<SimTime, std::string>> log_;
};
