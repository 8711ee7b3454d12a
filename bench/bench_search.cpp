// bench_search: how long the search takes to find the analyser behind k dead ports, and
// with it what one dead port costs.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/process_cpu_time.h"
#include "sim/demo_port_provider.h"
#include "tests/support/link_rig.h"
#include "tests/support/sim_process.h"
#include "tests/support/waits.h"

namespace {

// Above every dead port, so the port list (sorted by number) offers the dead ones first.
constexpr int kAnalyserPort = 8;
constexpr int kFirstDeadPort = 2;  // port 1 would take the "no pairing" path
const std::vector<int> kDeadPortCounts = {0, 2, 3, 5};

const char* const kPurpose =
    "Runs SearchDevice against fumilink-sim with k = 0, 2, 3 and 5 dead ports numbered below\n"
    "the analyser's (no settings file, so every port is tried in order) and prints the time\n"
    "until the analyser was found, and the seconds each dead port adds. Then, on the demo's\n"
    "simulated ports: the analyser on COM5 alone; behind a silent Bluetooth device on COM4\n"
    "whose link comes up 1 s after each open (and what that device costs); and behind a\n"
    "Bluetooth link of its own that needs 2.5 s to come up.";

struct SearchRun {
    bool setupFailed = false;  ///< no folder or no simulator: no figure at all
    bool found = false;
    double seconds = 0;
    double cpu = 0;
};

/// Times one SearchDevice on `rig`; found means the analyser on `analyserPort`.
SearchRun TimedSearch(LinkRig& rig, const BenchView& view, int analyserPort,
                      const std::string& what) {
    SearchRun run;
    const CpuTimes cpuStart = ProcessCpuTime();
    const double start = SteadySeconds();
    const int found = rig.link->SearchDevice();
    run.seconds = SteadySeconds() - start;
    run.cpu = (ProcessCpuTime() - cpuStart).Total();
    run.found = found == 1 && rig.link->Search().PortNumber() == analyserPort;
    if (!run.found) {
        std::fprintf(stderr, "bench_search: %s: not found (port %d, error code %d, status '%s')\n",
                     what.c_str(), rig.link->Search().PortNumber(), rig.link->ErrorCode(),
                     qPrintable(view.status));
    }
    return run;
}

SearchRun SearchOnce(int deadPorts) {
    BenchView view;
    LinkRig rig(view, nullptr, nullptr);
    if (!rig.Valid()) {
        std::fprintf(stderr, "bench_search: no temporary folder\n");
        return SearchRun{true};
    }
    QStringList arguments = {"--port", QString::number(kAnalyserPort)};
    for (int i = 0; i < deadPorts; ++i) {
        arguments << "--dead-port" << QString::number(kFirstDeadPort + i);
    }
    SimProcess sim(rig.portDir, arguments);
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_search: %s\n", sim.Problem().c_str());
        return SearchRun{true};
    }
    return TimedSearch(rig, view, kAnalyserPort, "k=" + std::to_string(deadPorts));
}

// Bluetooth links through the demo back end (the simulator inside the process), whose
// links hold what is written in their output queue while they connect, as rfcomm's do.
struct LinkCase {
    const char* name;
    std::vector<std::string> simulator;  ///< fumilink-sim's options; the analyser on COM5
};
const std::vector<LinkCase> kLinkCases = {
    {"bt_none", {"--port", "5"}},
    {"bt_silent_up1000", {"--port", "5", "--dead-port", "4", "--bluetooth", "4:up=1000"}},
    {"bt_analyser_up2500", {"--port", "5", "--bluetooth", "5:up=2500"}},
};

SearchRun SearchInDemo(const LinkCase& demoCase) {
    const SimOptionsResult parsed =
        ParseSimOptions(demoCase.simulator, {}, SimPortPlace::InProgram);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "bench_search: %s: %s\n", demoCase.name, parsed.error.c_str());
        return SearchRun{true};
    }
    // Made right before the search: the simulator's clock starts with it.
    DemoPortProvider ports(std::make_shared<DemoPorts>(parsed.options));
    BenchView view;
    LinkRig rig(view, &ports, nullptr);
    return TimedSearch(rig, view, 5, demoCase.name);
}

/// Runs `once` `repeat` times and prints its figures as NAME.seconds (the mean),
/// NAME.seconds_longest and NAME.cpu. The mean, or nothing when the setup failed.
std::optional<double> RepeatedSearch(const std::string& name, int repeat, bool& allFound,
                                     const std::function<SearchRun()>& once) {
    double total = 0;
    double totalCpu = 0;
    double longest = 0;
    for (int r = 0; r < repeat; ++r) {
        const SearchRun run = once();
        if (run.setupFailed) {
            return std::nullopt;
        }
        allFound = allFound && run.found;
        total += run.seconds;
        totalCpu += run.cpu;
        longest = std::max(longest, run.seconds);
    }
    Figure(name + ".seconds", total / repeat, "s");
    if (repeat > 1) {
        Figure(name + ".seconds_longest", longest, "s");
    }
    Figure(name + ".cpu", totalCpu / repeat, "s");
    return total / repeat;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<BenchOption> options = {
        {"repeat", 1, 1, 100, "searches per k; the figures are their mean"},
    };
    if (const auto exitCode = TakeBenchCommandLine(argc, argv, "bench_search", kPurpose, options)) {
        return *exitCode;
    }
    const int repeat = static_cast<int>(OptionValue(options, "repeat"));

    std::map<int, double> meanSeconds;
    bool allFound = true;
    for (int k : kDeadPortCounts) {
        const std::optional<double> mean = RepeatedSearch("search.k" + std::to_string(k), repeat,
                                                          allFound, [k] { return SearchOnce(k); });
        if (!mean) {
            return 1;
        }
        meanSeconds[k] = *mean;
    }
    for (int k : kDeadPortCounts) {
        if (k > 0) {
            Figure("search.per_dead_port.k" + std::to_string(k),
                   (meanSeconds[k] - meanSeconds[0]) / k, "s");
        }
    }
    std::map<std::string, double> linkSeconds;
    for (const LinkCase& demoCase : kLinkCases) {
        const std::optional<double> mean =
            RepeatedSearch(std::string("search.") + demoCase.name, repeat, allFound,
                           [&demoCase] { return SearchInDemo(demoCase); });
        if (!mean) {
            return 1;
        }
        linkSeconds[demoCase.name] = *mean;
    }
    Figure("search.bt_silent_up1000.cost", linkSeconds["bt_silent_up1000"] - linkSeconds["bt_none"],
           "s");
    Count("search.repeat", static_cast<unsigned long long>(repeat), "searches per k");
    if (!allFound) {
        Note("search.warning", "a search did not find the analyser");
    }
    return allFound ? 0 : 3;
}
