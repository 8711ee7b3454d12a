// bench_idle: what the program costs while it waits: the connected link while nothing
// arrives (standby), one exchange that times out, and the whole program (both windows
// included) idling in an error state because nothing answers. All should be close to
// nothing: every wait sleeps in the event loop, and a tick that changes nothing on
// screen must not redraw or reload anything.

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/bench_options.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/process_cpu_time.h"
#include "bench/sim_log_reader.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"
#include "tests/support/link_rig.h"
#include "tests/support/sim_process.h"
#include "tests/support/waits.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"

namespace {

constexpr int kAnalyserPort = 5;
constexpr int kDeadPort = 3;

const char* const kPurpose =
    "1. Connects the link to fumilink-sim as the program does (first poll tick, remembered\n"
    "   port) with a stream that never comes (--stream-seconds 0: w904 is answered, no data\n"
    "   follows), lets it stand by for the given time and prints the processor time of\n"
    "   this process.\n"
    "2. Opens a dead port and times command exchanges that time out.\n"
    "3. Creates both windows as the program does, against a simulator with one dead port\n"
    "   only: the search finds nothing and the window stays in its error state, re-shown\n"
    "   every poll tick. Prints the processor time over the given time, first with the\n"
    "   help window hidden, then with it open (as after \"Was ist zu tun?\").\n"
    "The windows use the offscreen platform unless QT_QPA_PLATFORM says otherwise.";

struct Span {
    CpuTimes cpu;
    double wall = 0;
};

Span Measure(int milliseconds) {
    const CpuTimes cpuStart = ProcessCpuTime();
    const double wallStart = SteadySeconds();
    PumpFor(std::chrono::milliseconds(milliseconds));
    return {ProcessCpuTime() - cpuStart, SteadySeconds() - wallStart};
}

void PrintSpan(const std::string& prefix, const Span& span) {
    Figure(prefix + "_wall", span.wall, "s");
    Figure(prefix + "_cpu_user", span.cpu.user, "s");
    Figure(prefix + "_cpu_system", span.cpu.system, "s");
    Figure(prefix + "_cpu_total", span.cpu.Total(), "s");
    Figure(prefix + "_cpu_percent_of_one_core", 100 * span.cpu.Total() / span.wall, "%", 3);
}

/// Standby and timed-out exchanges on the link alone. False when the run went wrong
/// (warnings printed); `setupFailed` when it could not even start.
bool MeasureLink(double seconds, int exchanges, bool& setupFailed) {
    BenchView view;
    LinkRig rig(view);
    if (!rig.Valid()) {
        std::fprintf(stderr, "bench_idle: no temporary folder\n");
        setupFailed = true;
        return false;
    }
    SimProcess sim(rig.portDir, {"--port", QString::number(kAnalyserPort), "--dead-port",
                                 QString::number(kDeadPort), "--stream-seconds", "0"});
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_idle: %s\n", sim.Problem().c_str());
        setupFailed = true;
        return false;
    }
    {
        std::ofstream settings(rig.portDir + "/fumilink.ini", std::ios::binary);
        settings << "[Main]\r\ncomport=" << kAnalyserPort << "\r\nSerNr=ZOR GX40 SN42\r\n";
    }
    DeviceLink& link = *rig.link;

    // As showing the window does: the first tick searches and connects.
    link.state.firstTick = true;
    rig.timer1.start();
    const bool standby = PumpUntil(
        [&] {
            return link.state.connected && !link.state.firstTick && view.status == kStatusStandby;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    if (!standby) {
        std::fprintf(stderr, "bench_idle: no standby (status '%s', error code %d)\n",
                     qPrintable(view.status), link.state.errorCode);
        setupFailed = true;
        return false;
    }

    SimLogReader log(sim.LogPath());
    log.Poll();
    const int w904Before = log.Count("COM5 RX \"w904\"");
    const long ticksBefore = view.dispDataCalls;
    const Span span = Measure(static_cast<int>(seconds * 1000));
    const long ticks = view.dispDataCalls - ticksBefore;
    log.Poll();
    const int keepAlives = log.Count("COM5 RX \"w904\"") - w904Before;
    const bool stillStandby = link.state.errorCode == kErrNone && view.status == kStatusStandby &&
                              link.state.dataLinesDecoded == 0;

    PrintSpan("idle.standby", span);
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
        setupFailed = true;
        return false;
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
    return stillStandby && allTimedOut;
}

/// The program's two windows idling in the error state that a search without an answer
/// leaves behind.
bool MeasureErrorState(double seconds, bool& setupFailed) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_idle: no temporary folder\n");
        setupFailed = true;
        return false;
    }
    const std::string portDir = dir.path().toStdString();
    setenv("FUMILINK_PORT_DIR", portDir.c_str(), 1);
    SimProcess sim(portDir, {"--no-analyser", "--dead-port", QString::number(kDeadPort)});
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_idle: %s\n", sim.Problem().c_str());
        setupFailed = true;
        return false;
    }
    SetMessageBoxHook([](MessageKind, const QString& text) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    });

    TFormmain formmain;
    TForm1 form1;
    formmain.SetHelpWindow(&form1);
    formmain.Link->SetSettingsPath(portDir + "/fumilink.ini");
    formmain.Link->SetDebugLogPath(portDir + "/debug.log");
    formmain.Arguments = {"BENCH", "/ART=14", portDir + "/data.csv"};
    long ticks = 0;
    QObject::connect(formmain.Timer1, &QTimer::timeout, [&] { ++ticks; });
    formmain.show();
    const DeviceLink& link = *formmain.Link;
    const bool errorShown = PumpUntil(
        [&] {
            return !link.state.firstTick && !link.Busy() && link.state.errorCode > 0 &&
                   formmain.BtWastun->isVisible();
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    if (!errorShown) {
        std::fprintf(stderr, "bench_idle: no error state (status '%s', error code %d)\n",
                     qPrintable(formmain.StatusMessage()), link.state.errorCode);
        setupFailed = true;
        return false;
    }
    const int errorCode = link.state.errorCode;
    Note("idle.error_code", std::to_string(errorCode));

    const int milliseconds = static_cast<int>(seconds * 1000);
    long ticksBefore = ticks;
    PrintSpan("idle.error_help_hidden", Measure(milliseconds));
    Count("idle.error_help_hidden_poll_ticks", static_cast<unsigned long long>(ticks - ticksBefore),
          "ticks");

    formmain.BtWastunClick();
    PumpFor(std::chrono::milliseconds(
        500));  // the help window's first paint is no part of its idle cost
    ticksBefore = ticks;
    PrintSpan("idle.error_help_shown", Measure(milliseconds));
    Count("idle.error_help_shown_poll_ticks", static_cast<unsigned long long>(ticks - ticksBefore),
          "ticks");

    const bool unchanged = link.state.errorCode == errorCode && form1.isVisible() &&
                           form1.SelectedPage() == errorCode && formmain.isVisible();
    if (!unchanged) {
        Note("idle.warning", "the error state changed during the measurement");
    }
    formmain.Link->state.abortFlag = true;
    formmain.Timer1->stop();
    formmain.Link->ClosePort();
    SetMessageBoxHook(nullptr);
    unsetenv("FUMILINK_PORT_DIR");
    return unchanged;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::vector<BenchOption> options = {
        {"seconds", 60, 1, 3600, "time measured in each idle state"},
        {"exchanges", 3, 1, 100, "timed-out exchanges measured"},
    };
    if (const auto exitCode = TakeBenchCommandLine(argc, argv, "bench_idle", kPurpose, options)) {
        return *exitCode;
    }
    const double seconds = OptionValue(options, "seconds");
    const int exchanges = static_cast<int>(OptionValue(options, "exchanges"));

    bool setupFailed = false;
    const bool linkOk = MeasureLink(seconds, exchanges, setupFailed);
    if (setupFailed) {
        return 1;
    }
    const bool errorOk = MeasureErrorState(seconds, setupFailed);
    if (setupFailed) {
        return 1;
    }
    return linkOk && errorOk ? 0 : 3;
}
