// bench_throughput: the link against a simulator that streams as fast as the pty takes
// bytes. Lines sent against lines decoded, the largest lag from a line leaving the
// simulator to its value on the window, and the processor time it costs.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/lag.h"
#include "bench/process_cpu_time.h"
#include "bench/sim_log_reader.h"
#include "serial/tcomm.h"
#include "tests/support/link_rig.h"
#include "tests/support/sim_process.h"
#include "tests/support/waits.h"

namespace {

constexpr int kAnalyserPort = 5;

const char* const kPurpose =
    "Streams from fumilink-sim --rate max --cycle-ms 0 (or at --baud) into the link with\n"
    "its 100 ms poll loop for the given time, then lets the link take what is still on\n"
    "its way. Prints lines sent and decoded, the largest lag from a line leaving the\n"
    "simulator to its value on the window, and the processor time of this process.";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<BenchOption> options = {
        {"seconds", 60, 1, 3600, "how long the simulator streams"},
        {"drain", 60, 1, 600, "seconds allowed for the backlog after the stream ended"},
        {"baud", 0, 0, 4000000, "pace the simulator like a line of this baud rate; 0 = max"},
    };
    if (const auto exitCode =
            TakeBenchCommandLine(argc, argv, "bench_throughput", kPurpose, options)) {
        return *exitCode;
    }
    const double seconds = OptionValue(options, "seconds");
    const double drainSeconds = OptionValue(options, "drain");
    const double baud = OptionValue(options, "baud");
    if (baud > 0 && baud < 10) {
        std::fprintf(stderr, "bench_throughput: --baud takes 0 (max) or 10..4000000\n");
        return 2;
    }

    BenchView view;
    LinkRig rig(view, nullptr, nullptr);
    if (!rig.Valid()) {
        std::fprintf(stderr, "bench_throughput: no temporary folder\n");
        return 1;
    }
    // The stream ends by itself `seconds` after the w904: the simulator's count is then
    // final once its queue has gone out, and nothing of the run is cut off by a stop.
    const QString rate =
        baud > 0 ? QString::number(static_cast<long>(baud)) : QStringLiteral("max");
    SimProcess sim(rig.portDir,
                   {"--port", QString::number(kAnalyserPort), "--rate", rate, "--cycle-ms", "0",
                    "--stream-seconds", QString::number(seconds), "--log-sent"});
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_throughput: %s\n", sim.Problem().c_str());
        return 1;
    }
    DeviceLink& link = *rig.link;

    // Connected as the search leaves the link: the analyser's port open, the stream asked
    // for once. (The search itself would close and reopen the port with lines in flight,
    // which no count could account for.)
    link.OpenForStream(kAnalyserPort);
    if (!rig.comm().Connected()) {
        std::fprintf(stderr, "bench_throughput: COM%d does not open\n", kAnalyserPort);
        return 1;
    }

    std::vector<LineMark> shown;
    shown.reserve(static_cast<size_t>(seconds + drainSeconds) * 12 + 64);
    view.onDispData = [&] { shown.push_back({link.Poll().DataLinesDecoded(), SteadySeconds()}); };

    const CpuTimes cpuStart = ProcessCpuTime();
    const double wallStart = SteadySeconds();
    link.Exchange("w904");
    if (link.Exchanger().ErrorFlag() || link.Exchanger().ReplyLine() != "OK") {
        std::fprintf(stderr, "bench_throughput: w904 got '%s' (error code %d)\n",
                     link.Exchanger().ReplyLine().c_str(), link.ErrorCode());
        return 1;
    }
    link.PollTimer().Start();
    PumpFor(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    const CpuTimes cpu = ProcessCpuTime() - cpuStart;
    const double wall = SteadySeconds() - wallStart;
    const uint64_t decodedInRun = link.Poll().DataLinesDecoded();

    // What the simulator wrote before its stream ended may still sit in the pty: the run
    // is over when the link has decoded as many lines as were sent and nothing more comes.
    SimLogReader log(sim.LogPath());
    int stableChecks = 0;
    const bool drained = PumpUntil(
        [&] {
            log.Poll();
            const bool caughtUp = log.Count("STREAM end") > 0 &&
                                  link.Poll().DataLinesDecoded() >= log.LastSent() &&
                                  rig.comm().InQueueCount() == 0;
            stableChecks = caughtUp ? stableChecks + 1 : 0;
            return stableChecks >= 2;
        },
        std::chrono::milliseconds(static_cast<int>(drainSeconds * 1000)),
        std::chrono::milliseconds(200));
    link.PollTimer().Stop();
    sim.Stop();
    log.Poll();

    const uint64_t sent = log.LastSent();
    const uint64_t decoded = link.Poll().DataLinesDecoded();
    const LagResult lag = LargestLag(log.Sent(), shown);
    // How long after the stream's end the window showed the last line.
    double lastShown = wallStart + wall;
    for (const LineMark& mark : shown) {
        if (mark.lines >= sent) {
            lastShown = mark.steady;
            break;
        }
    }
    const int w904 = log.Count("COM5 RX \"w904\"");

    Note("throughput.rate", rate.toStdString());
    Figure("throughput.stream_seconds", seconds, "s", 0);
    Figure("throughput.run_wall", wall, "s");
    Count("throughput.lines_sent", sent, "lines");
    Count("throughput.lines_decoded", decoded, "lines");
    Count("throughput.lines_decoded_during_stream", decodedInRun, "lines");
    Figure("throughput.lines_difference", static_cast<double>(decoded) - static_cast<double>(sent),
           "lines", 0);
    Figure("throughput.lines_per_second", static_cast<double>(sent) / seconds, "lines/s", 1);
    Figure("throughput.lag_max", lag.maxLag * 1000, "ms", 1);
    Count("throughput.lag_max_line", lag.worstLine, "(line number)");
    Figure("throughput.lag_mean", lag.meanLag * 1000, "ms", 1);
    Figure("throughput.lag_min_of_write_marks", lag.minLag * 1000, "ms", 1);
    Count("throughput.lines_never_shown", lag.linesNotShown, "lines");
    Figure("throughput.last_line_shown_after_stream_end", lastShown - (wallStart + wall), "s", 2);
    Count("throughput.poll_ticks", shown.size(), "ticks");
    Count("throughput.keep_alive_w904", static_cast<unsigned long long>(std::max(0, w904 - 1)),
          "exchanges");
    Figure("throughput.cpu_user", cpu.user, "s");
    Figure("throughput.cpu_system", cpu.system, "s");
    Figure("throughput.cpu_total", cpu.Total(), "s");
    Figure("throughput.cpu_percent_of_one_core", 100 * cpu.Total() / wall, "%", 2);
    if (!drained) {
        Note("throughput.warning", "the link had not caught up when the drain time ran out");
    }
    if (decoded != sent) {
        Note("throughput.warning", "lines decoded differ from lines sent");
    }
    return decoded == sent && drained ? 0 : 3;
}
