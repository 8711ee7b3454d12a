// bench_search: how long the search takes to find the analyser behind k dead ports, and
// with it what one dead port costs.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/process_cpu_time.h"
#include "serial/demo_ports.h"
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

SearchRun SearchOnce(int deadPorts) {
    SearchRun run;
    BenchView view;
    LinkRig rig(view);
    if (!rig.Valid()) {
        std::fprintf(stderr, "bench_search: no temporary folder\n");
        run.setupFailed = true;
        return run;
    }
    QStringList arguments = {"--port", QString::number(kAnalyserPort)};
    for (int i = 0; i < deadPorts; ++i) {
        arguments << "--dead-port" << QString::number(kFirstDeadPort + i);
    }
    SimProcess sim(rig.portDir, arguments);
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_search: %s\n", sim.Problem().c_str());
        run.setupFailed = true;
        return run;
    }
    const CpuTimes cpuStart = ProcessCpuTime();
    const double start = SteadySeconds();
    const int found = rig.link->SearchDevice();
    run.seconds = SteadySeconds() - start;
    run.cpu = (ProcessCpuTime() - cpuStart).Total();
    run.found = found == 1 && rig.link->state.portNumber == kAnalyserPort;
    if (!run.found) {
        std::fprintf(stderr,
                     "bench_search: k=%d: not found (port %d, error code %d, status '%s')\n",
                     deadPorts, rig.link->state.portNumber, rig.link->state.errorCode,
                     qPrintable(view.status));
    }
    return run;
}

// Bluetooth links through the demo back end (the simulator inside the process), whose
// links hold what is written in their output queue while they connect, as rfcomm's do.
struct LinkCase {
    const char* name;
    std::vector<std::string> simulator;  ///< fumilink-sim's options
};
const std::vector<LinkCase> kLinkCases = {
    {"bt_none", {"--port", "5"}},
    {"bt_silent_up1000", {"--port", "5", "--dead-port", "4", "--bluetooth", "4:up=1000"}},
    {"bt_analyser_up2500", {"--port", "5", "--bluetooth", "5:up=2500"}},
};

SearchRun SearchInDemo(const LinkCase& demoCase) {
    SearchRun run;
    const SimOptionsResult parsed =
        ParseSimOptions(demoCase.simulator, {}, SimPortPlace::InProgram);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "bench_search: %s: %s\n", demoCase.name, parsed.error.c_str());
        run.setupFailed = true;
        return run;
    }
    // Made right before the search: the simulator's clock starts with it.
    UseDemoPorts(std::make_shared<DemoPorts>(parsed.options));
    {
        BenchView view;
        LinkRig rig(view);
        const CpuTimes cpuStart = ProcessCpuTime();
        const double start = SteadySeconds();
        const int found = rig.link->SearchDevice();
        run.seconds = SteadySeconds() - start;
        run.cpu = (ProcessCpuTime() - cpuStart).Total();
        run.found = found == 1 && rig.link->state.portNumber == 5;
        if (!run.found) {
            std::fprintf(stderr,
                         "bench_search: %s: not found (port %d, error code %d, status '%s')\n",
                         demoCase.name, rig.link->state.portNumber, rig.link->state.errorCode,
                         qPrintable(view.status));
        }
    }
    UseDemoPorts(nullptr);
    return run;
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
        double total = 0;
        double totalCpu = 0;
        double longest = 0;
        for (int r = 0; r < repeat; ++r) {
            const SearchRun run = SearchOnce(k);
            if (run.setupFailed) {
                return 1;
            }
            allFound = allFound && run.found;
            total += run.seconds;
            totalCpu += run.cpu;
            longest = std::max(longest, run.seconds);
        }
        meanSeconds[k] = total / repeat;
        const std::string prefix = "search.k" + std::to_string(k);
        Figure(prefix + ".seconds", meanSeconds[k], "s");
        if (repeat > 1) {
            Figure(prefix + ".seconds_longest", longest, "s");
        }
        Figure(prefix + ".cpu", totalCpu / repeat, "s");
    }
    for (int k : kDeadPortCounts) {
        if (k > 0) {
            Figure("search.per_dead_port.k" + std::to_string(k),
                   (meanSeconds[k] - meanSeconds[0]) / k, "s");
        }
    }
    std::map<std::string, double> linkSeconds;
    for (const LinkCase& demoCase : kLinkCases) {
        double total = 0;
        double totalCpu = 0;
        double longest = 0;
        for (int r = 0; r < repeat; ++r) {
            const SearchRun run = SearchInDemo(demoCase);
            if (run.setupFailed) {
                return 1;
            }
            allFound = allFound && run.found;
            total += run.seconds;
            totalCpu += run.cpu;
            longest = std::max(longest, run.seconds);
        }
        linkSeconds[demoCase.name] = total / repeat;
        const std::string prefix = std::string("search.") + demoCase.name;
        Figure(prefix + ".seconds", total / repeat, "s");
        if (repeat > 1) {
            Figure(prefix + ".seconds_longest", longest, "s");
        }
        Figure(prefix + ".cpu", totalCpu / repeat, "s");
    }
    Figure("search.bt_silent_up1000.cost", linkSeconds["bt_silent_up1000"] - linkSeconds["bt_none"],
           "s");
    Count("search.repeat", static_cast<unsigned long long>(repeat), "searches per k");
    if (!allFound) {
        Note("search.warning", "a search did not find the analyser");
    }
    return allFound ? 0 : 3;
}
