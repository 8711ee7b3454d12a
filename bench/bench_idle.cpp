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
#include "link/qt_link_clock.h"
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

/// The program's clock (Qt's), counting the ticks of the first timer the link makes: the
/// poll timer.
class CountingClock final : public LinkClock {
public:
    explicit CountingClock(long& pollTicks) : pollTicks_(pollTicks) {}
    std::chrono::milliseconds Now() const override { return clock_.Now(); }
    std::unique_ptr<Timer> MakeTimer(std::chrono::milliseconds interval,
                                     std::function<void()> onTimeout) override {
        if (timersMade_++ > 0) {
            return clock_.MakeTimer(interval, std::move(onTimeout));
        }
        return clock_.MakeTimer(interval, [this, onTimeout = std::move(onTimeout)] {
            ++pollTicks_;
            onTimeout();
        });
    }
    void WaitForEvents() override { clock_.WaitForEvents(); }
    void ProcessPendingEvents() override { clock_.ProcessPendingEvents(); }

private:
    QtLinkClock clock_;
    long& pollTicks_;
    int timersMade_ = 0;
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
    LinkRig rig(view, nullptr, nullptr);
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
    link.Start();
    const bool standby = PumpUntil(
        [&] {
            return link.Search().Connected() && !link.Poll().FirstTickPending() &&
                   view.status == kStatusStandby;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    if (!standby) {
        std::fprintf(stderr, "bench_idle: no standby (status '%s', error code %d)\n",
                     qPrintable(view.status), link.ErrorCode());
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
    const bool stillStandby = link.ErrorCode() == kErrNone && view.status == kStatusStandby &&
                              link.Poll().DataLinesDecoded() == 0;

    PrintSpan("idle.standby", span);
    Count("idle.standby_poll_ticks", static_cast<unsigned long long>(ticks), "ticks");
    Count("idle.standby_keep_alive_w904", static_cast<unsigned long long>(keepAlives), "exchanges");

    // One exchange that times out, on a port that takes bytes and never answers.
    link.PollTimer().Stop();
    link.ClosePort();
    link.OpenForStream(kDeadPort);
    if (!rig.comm().Connected()) {
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
        link.Exchanger().ClearErrorFlag();
        link.Exchanger().SetErrorCode(kErrNone);
        const CpuTimes before = ProcessCpuTime();
        const double start = SteadySeconds();
        link.Exchange("R001");
        const double took = SteadySeconds() - start;
        const double used = (ProcessCpuTime() - before).Total();
        allTimedOut = allTimedOut && link.ErrorCode() == kErrNoReply;
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

    // The program's clock, with the poll timer's ticks counted.
    long ticks = 0;
    CountingClock clock(ticks);
    WindowSetup setup;
    setup.link.clock = &clock;
    setup.link.commandLine = ReadCommandLine({"BENCH", "/ART=14", portDir + "/data.csv"});
    setup.link.files = {portDir + "/fumilink.ini", portDir + "/debug.log"};
    TFormmain formmain(std::move(setup));
    TForm1 form1;
    formmain.SetHelpWindow(&form1);
    formmain.show();
    const DeviceLink& link = *formmain.Link;
    const bool errorShown = PumpUntil(
        [&] {
            return !link.Poll().FirstTickPending() && !link.Busy() && link.ErrorCode() > 0 &&
                   formmain.BtWastun->isVisible();
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    if (!errorShown) {
        std::fprintf(stderr, "bench_idle: no error state (status '%s', error code %d)\n",
                     qPrintable(formmain.StatusMessage()), link.ErrorCode());
        setupFailed = true;
        return false;
    }
    const int errorCode = link.ErrorCode();
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

    const bool unchanged = link.ErrorCode() == errorCode && form1.isVisible() &&
                           form1.SelectedPage() == errorCode && formmain.isVisible();
    if (!unchanged) {
        Note("idle.warning", "the error state changed during the measurement");
    }
    formmain.Link->Abort();
    formmain.Link->PollTimer().Stop();
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
