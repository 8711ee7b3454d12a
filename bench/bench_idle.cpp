// bench_idle: what the connected link costs while nothing arrives (standby), and what one
// exchange that times out costs: both should be close to nothing, since every wait sleeps
// in the event loop.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_rig.h"
#include "bench/process_cpu_time.h"
#include "tools/sim/sim_child.h"
#include "bench/sim_log_reader.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"

namespace {

constexpr int kAnalyserPort = 5;
constexpr int kDeadPort = 3;

const char* const kPurpose =
    "Connects the link to fumilink-sim as the program does (first poll tick, remembered\n"
    "port) with a stream that never comes (--stream-seconds 0: w904 is answered, no data\n"
    "follows), lets it stand by for the given time and prints the processor time of this\n"
    "process. Then it opens a dead port and times command exchanges that time out.";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<BenchOption> options = {
        {"seconds", 60, 1, 3600, "standby time measured"},
        {"exchanges", 3, 1, 100, "timed-out exchanges measured"},
    };
    const BenchParse parsed =
        ParseBenchOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (parsed.help) {
        std::fputs(BenchUsage("bench_idle", kPurpose, options).c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "bench_idle: %s\n", parsed.error.c_str());
        return 2;
    }
    const double seconds = OptionValue(options, "seconds");
    const int exchanges = static_cast<int>(OptionValue(options, "exchanges"));

    LinkRig rig;
    if (!rig.Valid()) {
        std::fprintf(stderr, "bench_idle: no temporary folder\n");
        return 1;
    }
    SimChild sim(rig.PortDir(), {"--port", QString::number(kAnalyserPort), "--dead-port",
                                 QString::number(kDeadPort), "--stream-seconds", "0"});
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_idle: %s\n", sim.Problem().c_str());
        return 1;
    }
    {
        std::ofstream settings(rig.PortDir() + "/fumilink.ini", std::ios::binary);
        settings << "[Main]\r\ncomport=" << kAnalyserPort << "\r\nSerNr=ZOR GX40 SN42\r\n";
    }
    DeviceLink& link = *rig.link;

    // As showing the window does: the first tick searches and connects.
    link.state.firstTick = true;
    rig.timer1.start();
    const bool standby = RunUntil(
        [&] {
            return link.state.connected && !link.state.firstTick &&
                   rig.view.status == kStatusStandby;
        },
        30000);
    if (!standby) {
        std::fprintf(stderr, "bench_idle: no standby (status '%s', error code %d)\n",
                     qPrintable(rig.view.status), link.state.errorCode);
        return 1;
    }

    SimLogReader log(sim.LogPath());
    log.Poll();
    const int w904Before = log.Count("COM5 RX \"w904\"");
    const long ticksBefore = rig.view.dispDataCalls;
    const CpuTimes cpuStart = ProcessCpuTime();
    const double wallStart = SteadySeconds();
    RunFor(static_cast<int>(seconds * 1000));
    const CpuTimes cpu = ProcessCpuTime() - cpuStart;
    const double wall = SteadySeconds() - wallStart;
    const long ticks = rig.view.dispDataCalls - ticksBefore;
    log.Poll();
    const int keepAlives = log.Count("COM5 RX \"w904\"") - w904Before;
    const bool stillStandby = link.state.errorCode == kErrNone &&
                              rig.view.status == kStatusStandby && link.state.dataLinesDecoded == 0;

    Figure("idle.standby_wall", wall, "s");
    Figure("idle.standby_cpu_user", cpu.user, "s");
    Figure("idle.standby_cpu_system", cpu.system, "s");
    Figure("idle.standby_cpu_total", cpu.Total(), "s");
    Figure("idle.standby_cpu_percent_of_one_core", 100 * cpu.Total() / wall, "%", 3);
    Count("idle.standby_poll_ticks", static_cast<unsigned long long>(ticks), "ticks");
    Count("idle.standby_keep_alive_w904", static_cast<unsigned long long>(keepAlives), "exchanges");

    // One exchange that times out, on a port that takes bytes and never answers.
    rig.timer1.stop();
    link.ClosePort();
    link.state.connected = false;
    link.state.portNumber = kDeadPort;
    link.OpenDevicePort();
    if (!rig.comm->Connected()) {
        std::fprintf(stderr, "bench_idle: dead port COM%d does not open\n", kDeadPort);
        return 1;
    }
    double cpuMax = 0;
    double cpuSum = 0;
    double wallMin = 1e9;
    double wallMax = 0;
    bool allTimedOut = true;
    for (int i = 0; i < exchanges; ++i) {
        // Only the sticky error flag would stop the next exchange from waiting.
        link.state.errorFlag = false;
        link.state.errorCode = kErrNone;
        const CpuTimes before = ProcessCpuTime();
        const double start = SteadySeconds();
        link.Exchange("R001");
        const double took = SteadySeconds() - start;
        const double used = (ProcessCpuTime() - before).Total();
        allTimedOut = allTimedOut && link.state.errorCode == kErrNoReply;
        cpuMax = std::max(cpuMax, used);
        cpuSum += used;
        wallMin = std::min(wallMin, took);
        wallMax = std::max(wallMax, took);
    }
    Count("idle.timeout_exchanges", static_cast<unsigned long long>(exchanges), "exchanges");
    Figure("idle.timeout_exchange_wall_min", wallMin, "s");
    Figure("idle.timeout_exchange_wall_max", wallMax, "s");
    Figure("idle.timeout_exchange_cpu_mean", 1000 * cpuSum / exchanges, "ms", 2);
    Figure("idle.timeout_exchange_cpu_max", 1000 * cpuMax, "ms", 2);
    if (!stillStandby) {
        Note("idle.warning", "the link left standby during the measurement");
    }
    if (!allTimedOut) {
        Note("idle.warning", "an exchange on the dead port did not time out");
    }
    return stillStandby && allTimedOut ? 0 : 3;
}
