// The measuring chain of bench_throughput, end to end: the simulator's count of lines
// written must match what the link decodes, and its stamps must lie on this process's
// clock, or the lag the benchmark prints means nothing.

#include <gtest/gtest.h>
#include <QCoreApplication>

#include "bench/bench_clock.h"
#include "bench/bench_view.h"
#include "bench/figures.h"
#include "bench/lag.h"
#include "bench/sim_log_reader.h"
#include "serial/tcomm.h"
#include "tests/support/link_rig.h"
#include "tests/support/sim_process.h"
#include "tests/support/waits.h"

namespace {

TEST(LinkAgainstSimulator, DecodesExactlyTheLinesTheSimulatorCountsOnOneClock) {
    int argc = 1;
    char name[] = "bench_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    BenchView view;
    LinkRig rig(view, nullptr, nullptr);
    ASSERT_TRUE(rig.Valid());
    SimProcess sim(rig.portDir, {"--port", "5", "--rate", "max", "--cycle-ms", "0",
                                 "--stream-seconds", "0.5", "--log-sent"});
    ASSERT_TRUE(sim.Ready()) << sim.Problem();
    DeviceLink& link = *rig.link;
    link.OpenForStream(5);
    ASSERT_TRUE(rig.comm().Connected());

    std::vector<LineMark> shown;
    view.onDispData = [&] { shown.push_back({link.Poll().DataLinesDecoded(), SteadySeconds()}); };
    const double before = SteadySeconds();
    link.Exchange("w904");
    ASSERT_EQ(link.Exchanger().ReplyLine(), "OK");
    link.PollTimer().Start();

    SimLogReader log(sim.LogPath());
    const bool caughtUp = PumpUntil(
        [&] {
            log.Poll();
            return log.Count("STREAM end") > 0 && log.LastSent() > 0 &&
                   link.Poll().DataLinesDecoded() == log.LastSent() &&
                   rig.comm().InQueueCount() == 0;
        },
        std::chrono::seconds(60), std::chrono::milliseconds(50));
    link.PollTimer().Stop();
    const double after = SteadySeconds();
    EXPECT_TRUE(caughtUp) << "sent " << log.LastSent() << ", decoded "
                          << link.Poll().DataLinesDecoded();
    // Every stream line decoded means every channel of the cycle got a value.
    EXPECT_TRUE(link.Record().Valid(1));
    EXPECT_TRUE(link.Record().Valid(13));

    ASSERT_FALSE(log.Sent().empty());
    EXPECT_GE(log.Sent().front().steady, before);
    EXPECT_LE(log.Sent().back().steady, after);
    const LagResult lag = LargestLag(log.Sent(), shown);
    EXPECT_EQ(lag.linesNotShown, 0u);
    EXPECT_GE(lag.minLag, 0.0) << "a line was shown before the simulator had written it";
}

}  // namespace
