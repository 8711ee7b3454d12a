// bench_search: how long the search takes to find the analyser behind k dead ports, and
// with it what one dead port costs.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/process_cpu_time.h"
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
    "until the analyser was found, and the seconds each dead port adds.";

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
    Count("search.repeat", static_cast<unsigned long long>(repeat), "searches per k");
    if (!allFound) {
        Note("search.warning", "a search did not find the analyser");
    }
    return allFound ? 0 : 3;
}
