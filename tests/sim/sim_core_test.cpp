// The simulator's logic driven with a fake clock: framing, pacing, the stream's content
// and the protocol state machine, without ptys or processes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "sim/command_framer.h"
#include "sim/paced_output.h"
#include "sim/sim_device.h"
#include "sim/sim_link.h"
#include "sim/stream_generator.h"

namespace {

std::vector<std::string> FeedAll(CommandFramer& framer, const std::string& bytes) {
    return framer.Feed(bytes.data(), bytes.size());
}

TEST(CommandFramer, CrLfAndCrlfEachEndOneCommandEvenWhenSplit) {
    CommandFramer framer;
    EXPECT_EQ(FeedAll(framer, "R0"), std::vector<std::string>{});
    EXPECT_EQ(FeedAll(framer, "01\r"), std::vector<std::string>{"R001"});
    EXPECT_EQ(FeedAll(framer, "R004\n\r"), (std::vector<std::string>{"R004", ""}));
    // The LF of a CRLF split across two reads must not produce a second, empty command.
    EXPECT_EQ(FeedAll(framer, "w904\r"), std::vector<std::string>{"w904"});
    EXPECT_EQ(FeedAll(framer, "\nR002\r\n"), std::vector<std::string>{"R002"});
    EXPECT_EQ(FeedAll(framer, "\r"), std::vector<std::string>{""});
}

TEST(CommandFramer, KeepsHighAndNulBytesAndCutsEndlessGarbage) {
    CommandFramer framer;
    const std::string odd("A\0\xFF", 3);
    EXPECT_EQ(FeedAll(framer, odd + "\r"), std::vector<std::string>{odd});
    const auto cut = FeedAll(framer, std::string(10000, 'x') + "\r");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), CommandFramer::kMaxCommandLength);
}

// Drains the queue at time `now`, as the event loop does with a pty that takes anything.
std::string TakeDue(PacedOutput& out, SimTime now) {
    std::string taken;
    for (auto due = out.Due(now); !due.empty(); due = out.Due(now)) {
        taken += due;
        out.Consume(due.size());
    }
    return taken;
}

TEST(PacedOutput, ReleasesBytesAtTheLineRateAndNotFaster) {
    const SimTime byte{1000};  // 1000 bytes per second
    PacedOutput out(byte);
    out.Push(std::string(100, 'a'), PacedOutput::Kind::Reply, SimMs(0));
    EXPECT_EQ(TakeDue(out, SimMs(0)).size(), 1u);
    EXPECT_EQ(TakeDue(out, SimMs(9)).size(), 9u);  // bytes 1..9 are due at 1..9 ms
    EXPECT_EQ(TakeDue(out, SimMs(9)).size(), 0u);
    EXPECT_EQ(TakeDue(out, SimMs(60)).size(), 51u);  // a late wake-up catches up exactly
    EXPECT_EQ(TakeDue(out, SimMs(1000)).size(), 39u);
    EXPECT_TRUE(out.Empty());
    // An idle line saves up no credit: a new chunk starts from its push time.
    out.Push("xyz", PacedOutput::Kind::Reply, SimMs(5000));
    EXPECT_EQ(TakeDue(out, SimMs(5000)), "x");
}

TEST(PacedOutput, PartialWritesKeepTheRestInOrder) {
    PacedOutput out(SimTime{0});
    out.Push("abc", PacedOutput::Kind::Reply, SimMs(0));
    out.Push("de", PacedOutput::Kind::Stream, SimMs(0));
    EXPECT_EQ(out.Due(SimMs(0)), "abc");
    out.Consume(2);
    EXPECT_EQ(out.Due(SimMs(0)), "c");
    out.Consume(1);
    EXPECT_EQ(out.Due(SimMs(0)), "de");
    EXPECT_EQ(out.Pending(), 2u);
}

TEST(PacedOutput, DelayAndSlowGapAndDeadlines) {
    PacedOutput out(SimTime{0});
    out.Push("OK\r", PacedOutput::Kind::Reply, SimMs(100), SimMs(400), SimMs(50));
    EXPECT_EQ(out.NextDeadline(), SimMs(400));
    EXPECT_EQ(TakeDue(out, SimMs(399)), "");
    EXPECT_EQ(TakeDue(out, SimMs(400)), "O");
    EXPECT_EQ(out.NextDeadline(), SimMs(450));
    EXPECT_EQ(TakeDue(out, SimMs(449)), "");
    EXPECT_EQ(TakeDue(out, SimMs(500)), "K\r");
    EXPECT_FALSE(out.NextDeadline().has_value());
}

TEST(PacedOutput, StreamLinesCountOnceTheirLastByteIsOutRepliesNever) {
    PacedOutput out(SimTime{0});
    out.Push("051G 4.0;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.Push("OK\r", PacedOutput::Kind::Reply, SimMs(0));
    out.Push("052G 12.5;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.Consume(9);  // all but the CR
    EXPECT_EQ(out.StreamChunksSent(), 0u);
    out.Consume(1);
    EXPECT_EQ(out.StreamChunksSent(), 1u);
    EXPECT_EQ(TakeDue(out, SimMs(0)), "OK\r052G 12.5;\r");
    EXPECT_EQ(out.StreamChunksSent(), 2u);
    // Lines dropped before they started were never sent.
    out.Push("053G 12;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.DropUnsentStream();
    EXPECT_EQ(out.StreamChunksSent(), 2u);
}

TEST(PacedOutput, DroppingTheStreamKeepsRepliesAndTheLineInProgress) {
    PacedOutput out(SimTime{0});
    out.Push("051G 4.0;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.Push("052G 12.5;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.Push("OK\r", PacedOutput::Kind::Reply, SimMs(0));
    out.Push("053G 12;\r", PacedOutput::Kind::Stream, SimMs(0));
    out.Consume(3);  // "051" is on the wire: the rest of that line must follow
    out.DropUnsentStream();
    EXPECT_EQ(TakeDue(out, SimMs(0)), "G 4.0;\rOK\r");
    EXPECT_EQ(out.PendingStream(), 0u);
}

TEST(StreamGenerator, LineFormatPadsTheNumberAndUsesAPoint) {
    EXPECT_EQ(StreamGenerator::FormatLine(51, 'G', 20.94), "051G 20.9;");
    EXPECT_EQ(StreamGenerator::FormatLine(80, 'G', -0.123), "080G -0.12;");
    EXPECT_EQ(StreamGenerator::FormatLine(513, 'E', 51.4), "513E 51;");
    EXPECT_EQ(StreamGenerator::FormatLine(92, 'G', 1.234), "092G 1.23;");
    // A value that rounds to zero must not come out as "-0".
    EXPECT_EQ(StreamGenerator::FormatLine(53, 'G', -0.2), "053G 0;");
}

TEST(StreamGenerator, CyclesAreConsistentPlausibleAndDriftSlowly) {
    std::array<char, kStreamParameterCount> status;
    status.fill('G');
    status[2] = 'F';
    StreamGenerator gen(7, status);
    CombustionValues previous = gen.NextValues();
    bool o2Changed = false;
    for (int cycle = 0; cycle < 500; ++cycle) {
        const CombustionValues v = gen.NextValues();
        EXPECT_NEAR(v.o2, 4.0, 0.6);
        EXPECT_NEAR(v.lambda, 21 / (21 - v.o2), 1e-9);
        EXPECT_NEAR(v.co2 + v.o2 * 15.4 / 21, 15.4, 1e-9);
        EXPECT_NEAR(v.eta + v.qa, 100, 1e-9);
        EXPECT_NEAR(v.nox, v.no + v.no2, 1e-9);
        EXPECT_GT(v.qa, 5);
        EXPECT_LT(v.qa, 11);
        EXPECT_LT(v.draft, 0);
        EXPECT_NEAR(v.flueTemp, 180, 8);
        EXPECT_LT(std::abs(v.o2 - previous.o2), 0.2) << "O2 jumps instead of drifting";
        o2Changed = o2Changed || v.o2 != previous.o2;
        previous = v;
    }
    EXPECT_TRUE(o2Changed);

    const auto lines = gen.NextCycle();
    for (int i = 0; i < kStreamParameterCount; ++i) {
        char expectedHead[8];
        std::snprintf(expectedHead, sizeof expectedHead, "%03d%c ", kStreamParameters[i],
                      status[i]);
        EXPECT_EQ(lines[i].substr(0, 5), expectedHead);
        EXPECT_EQ(lines[i].back(), ';');
        EXPECT_EQ(lines[i].find(','), std::string::npos);
    }
}

TEST(StreamGenerator, SameSeedSameValues) {
    std::array<char, kStreamParameterCount> status;
    status.fill('G');
    StreamGenerator a(3, status);
    StreamGenerator b(3, status);
    StreamGenerator c(4, status);
    const auto first = a.NextCycle();
    EXPECT_EQ(first, b.NextCycle());
    EXPECT_NE(first, c.NextCycle());
}

TEST(StreamGenerator, SteadyValuesAreThoseOfTheFirstCycleEveryCycle) {
    std::array<char, kStreamParameterCount> status;
    status.fill('G');
    StreamGenerator drifting(3, status);
    StreamGenerator steady(3, status, true);
    const auto first = steady.NextCycle();
    EXPECT_EQ(first, drifting.NextCycle());  // the same start as without --steady
    for (int cycle = 0; cycle < 20; ++cycle) {
        EXPECT_EQ(steady.NextCycle(), first) << cycle;
    }
    EXPECT_NE(drifting.NextCycle(), first);
}

// A device under a fake clock, recording its log and everything it would write.
class DeviceBench {
public:
    explicit DeviceBench(SimOptions options, PortRole role = PortRole::Analyser)
        : device_(role, options, [this](SimTime, const std::string& e) { events.push_back(e); }) {}

    void Send(const std::string& bytes, SimTime at) {
        now = at;
        device_.Receive(bytes.data(), bytes.size(), at);
    }
    // Runs the device up to `until` the way the event loop would, collecting output.
    std::string RunUntil(SimTime until) {
        for (;;) {
            device_.Advance(now);
            wire += TakeDue(device_.Output(), now);
            const auto next = device_.NextDeadline(true);
            if (!next || *next > until || device_.WantsHangup()) {
                now = until;
                device_.Advance(now);
                wire += TakeDue(device_.Output(), now);
                return wire;
            }
            now = std::max(now, *next);
        }
    }
    // One pass of the event loop at `at` with a pty that takes anything.
    void Pass(SimTime at) {
        now = at;
        device_.Advance(now);
        wire += TakeDue(device_.Output(), now);
    }
    int CountEvents(const std::string& prefix) const {
        int n = 0;
        for (const auto& e : events) {
            n += e.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
    SimDevice& device() { return device_; }

    std::vector<std::string> events;
    std::string wire;
    SimTime now{0};

private:
    SimDevice device_;
};

SimOptions Unpaced() {
    SimOptions o;
    o.bytesPerSecond.reset();
    return o;
}

std::vector<std::string> SplitCr(const std::string& wire) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t cr = wire.find('\r'); cr != std::string::npos; cr = wire.find('\r', start)) {
        lines.push_back(wire.substr(start, cr - start));
        start = cr + 1;
    }
    return lines;
}

TEST(SimDevice, AnswersEveryCommandWithOneLine) {
    DeviceBench bench(Unpaced());
    bench.Send("SERVICE002\rSERVICE001\rR001\rR002\rR004\r\rHELLO\r", SimMs(0));
    EXPECT_EQ(bench.RunUntil(SimMs(10)), "OK\rOK\rZOR GX40\rGX40 V2.31\rSN42\r\rERR\r");
    EXPECT_EQ(bench.events[0], "RX \"SERVICE002\"");
    EXPECT_EQ(bench.events[1], "TX \"OK\"");
    EXPECT_FALSE(bench.device().Streaming());
}

TEST(SimDevice, W904StreamsAtOnceThenEveryCycleUntilAServiceCommand) {
    SimOptions o = Unpaced();
    o.cycle = SimMs(1000);
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    auto lines = SplitCr(bench.RunUntil(SimMs(0)));
    ASSERT_EQ(lines.size(), 14u) << "the reply and one full cycle, with no wait";
    EXPECT_EQ(lines[0], "OK");
    for (int i = 0; i < kStreamParameterCount; ++i) {
        EXPECT_EQ(std::atoi(lines[i + 1].substr(0, 3).c_str()), kStreamParameters[i]);
    }
    EXPECT_EQ(SplitCr(bench.RunUntil(SimMs(999))).size(), 14u);
    EXPECT_EQ(SplitCr(bench.RunUntil(SimMs(2000))).size(), 14u + 2 * 13);

    // A renewing w904 does not restart the cycle.
    bench.Send("w904\r", SimMs(2500));
    EXPECT_EQ(SplitCr(bench.RunUntil(SimMs(2500))).size(), 14u + 2 * 13 + 1);
    EXPECT_EQ(bench.CountEvents("STREAM renew"), 1);

    bench.Send("SERVICE002\r", SimMs(2600));
    bench.wire.clear();
    EXPECT_EQ(bench.RunUntil(SimMs(10000)), "OK\r");
    EXPECT_EQ(bench.CountEvents("STREAM pause"), 1);

    bench.wire.clear();
    bench.Send("w904\r", SimMs(10000));
    EXPECT_EQ(SplitCr(bench.RunUntil(SimMs(10000))).size(), 14u) << "restarts at once";
}

TEST(SimDevice, ServiceCommandDropsQueuedDataSoTheReplyIsNotMixedWithData) {
    SimOptions o;  // paced at 960 bytes/s: a cycle takes ~130 ms on the line
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    bench.RunUntil(SimMs(20));
    bench.Send("SERVICE002\rR001\r", SimMs(20));
    const auto lines = SplitCr(bench.RunUntil(SimMs(3000)));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "OK");
    EXPECT_EQ(lines.back(), "ZOR GX40");
    EXPECT_LT(lines.size(), 6u) << "at most the line already on the wire may precede OK";
}

TEST(SimDevice, StreamEndsTheConfiguredTimeAfterTheLastW904) {
    SimOptions o = Unpaced();
    o.streamDuration = SimMs(2500);
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    bench.RunUntil(SimMs(2000));
    bench.Send("w904\r", SimMs(2000));  // keep-alive: end moves to 4500
    bench.RunUntil(SimMs(4400));
    EXPECT_TRUE(bench.device().Streaming());
    const size_t before = SplitCr(bench.wire).size();
    bench.RunUntil(SimMs(9000));
    EXPECT_FALSE(bench.device().Streaming());
    EXPECT_EQ(SplitCr(bench.wire).size(), before) << "no cycle at 5000 or later";
    EXPECT_EQ(bench.CountEvents("STREAM end"), 1);
}

TEST(SimDevice, BackToBackCyclesFollowTheOutputNotAClock) {
    SimOptions o;
    o.cycle = SimTime{0};  // paced at 960 bytes/s
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    const std::string wire = bench.RunUntil(SimMs(2000));
    // About 1920 bytes fit in two seconds; never more than the line allows.
    EXPECT_GT(wire.size(), 1500u);
    EXPECT_LE(wire.size(), 1921u);
}

TEST(SimDevice, StatusCharactersPerParameter) {
    SimOptions o = Unpaced();
    o.status[2] = 'F';  // 053
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    const auto lines = SplitCr(bench.RunUntil(SimMs(0)));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[3].substr(0, 4), "053F");
    EXPECT_EQ(lines[1].substr(0, 4), "051G");
}

TEST(SimDevice, ReaderThatFallsBehindDoesNotGrowTheQueueForever) {
    SimOptions o;
    o.cycle = SimMs(10);
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    // Nobody takes the output: just advance time.
    for (int t = 0; t < 60000; t += 10) {
        bench.device().Advance(SimMs(t));
    }
    EXPECT_LE(bench.device().Output().Pending(), 200u) << "at most one cycle waits";
    EXPECT_EQ(bench.CountEvents("OVERRUN"), 1);
}

struct FaultCase {
    const char* name;
    std::string faults;
    std::string input;
    std::string expectedWire;  // within one second, unpaced
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class SimDeviceFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(SimDeviceFaults, ShapeTheReplies) {
    SimOptions o = Unpaced();
    o.faults = ParseSimOptions({"--fault", GetParam().faults}, "/d").options.faults;
    DeviceBench bench(o);
    bench.Send(GetParam().input, SimMs(0));
    EXPECT_EQ(bench.RunUntil(SimMs(1000)), GetParam().expectedWire);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SimDeviceFaults,
    testing::Values(
        FaultCase{"Silent", "silent", "R001\rw904\r", ""},
        FaultCase{"NoCr", "no-cr", "R001\rR004\r", "ZOR GX40SN42"},
        FaultCase{"Empty", "empty", "R001\rR004\r", "\r\r"},
        FaultCase{"Foreign", "foreign", "R001\rw904\r", "MODEM OK\rMODEM OK\r"},
        FaultCase{"DelayBeyondTheWindow", "delay=1500", "R001\r", ""},
        FaultCase{"SlowStillCompletes", "slow=100", "R004\r", "SN42\r"},
        FaultCase{"ReplyNoise", "reply-noise", "R001\rR004\r",
                  std::string(kReplyNoise) + "ZOR GX40\r" + std::string(kReplyNoise) + "SN42\r"},
        FaultCase{"HangupOnDropsTheReply", "hangup-on=R001", "R004\rR001\rR002\r", "SN42\r"},
        FaultCase{"HangupOnTheNthTime", "hangup-on=R001#2", "R001\rR004\rR001\rR002\r",
                  "ZOR GX40\rSN42\r"},
        FaultCase{"SilentFromACommand", "silent=R002", "R001\rR002\rR004\rw904\r", "ZOR GX40\r"},
        FaultCase{"SilentFromTheNthTime", "silent=R001#2", "R001\rR004\rR001\rR004\r",
                  "ZOR GX40\rSN42\r"},
        FaultCase{"NoCrFromACommand", "no-cr=R002", "R001\rR002\rR004\r",
                  "ZOR GX40\rGX40 V2.31SN42"},
        FaultCase{"NoCrFromTheEmptyCommand", "no-cr=", "R001\r\rR004\r", "ZOR GX40\rSN42"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(SimDeviceFault, DelayAndSlowPlaceEachByteInTime) {
    SimOptions o = Unpaced();
    o.faults.replyDelay = SimMs(300);
    o.faults.slowByteGap = SimMs(100);
    DeviceBench bench(o);
    bench.Send("R004\r", SimMs(1000));
    EXPECT_EQ(bench.RunUntil(SimMs(1299)), "");
    EXPECT_EQ(bench.RunUntil(SimMs(1300)), "S");
    EXPECT_EQ(bench.RunUntil(SimMs(1599)), "SN4");
    EXPECT_EQ(bench.RunUntil(SimMs(1600)), "SN42");
    EXPECT_EQ(bench.RunUntil(SimMs(1700)), "SN42\r");
}

TEST(SimDeviceFault, NoiseSitsBetweenLinesAndNeverEndsOne) {
    SimOptions o = Unpaced();
    o.faults.noise = true;
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    const auto lines = SplitCr(bench.RunUntil(SimMs(5000)));
    ASSERT_EQ(lines.size(), 1u + 6 * 13);
    int withNoise = 0;
    bool sawNul = false;
    bool sawHigh = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int parameter = kStreamParameters[(i - 1) % kStreamParameterCount];
        char head[8];
        std::snprintf(head, sizeof head, "%03dG ", parameter);
        // Noise precedes the line (it followed the previous CR) and is never a CR or LF.
        const size_t at = line.find(head);
        ASSERT_NE(at, std::string::npos) << "line " << i;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        withNoise += at > 0 ? 1 : 0;
        for (size_t k = 0; k < at; ++k) {
            sawNul = sawNul || line[k] == '\0';
            sawHigh = sawHigh || static_cast<unsigned char>(line[k]) >= 0x80;
        }
    }
    EXPECT_GE(withNoise, 60);  // every line but the first follows noise
    EXPECT_TRUE(sawNul);
    EXPECT_TRUE(sawHigh);
}

TEST(SimDeviceFault, FloodRunsFromTheStartAtFullSpeedAndNoCommandPausesIt) {
    SimOptions o;  // 9600 baud and a one-second cycle: the flood ignores both
    o.faults.flood = true;
    DeviceBench bench(o);
    // Every pass at the same instant releases another whole cycle: no clock holds it back.
    for (int pass = 0; pass < 5; ++pass) {
        bench.Pass(SimMs(0));
    }
    EXPECT_EQ(SplitCr(bench.wire).size(), 5u * kStreamParameterCount);

    bench.Send("SERVICE002\rw904\rR001\r", SimMs(0));
    for (int pass = 0; pass < 3; ++pass) {
        bench.Pass(SimMs(0));
    }
    const auto lines = SplitCr(bench.wire);
    ASSERT_EQ(lines.size(), 8u * kStreamParameterCount + 3);
    std::vector<std::string> replies;
    for (const std::string& line : lines) {
        // Every line is whole: a reply never lands inside a data line.
        if (line.size() < 4 || line[3] != 'G') {
            replies.push_back(line);
        }
    }
    EXPECT_EQ(replies, (std::vector<std::string>{"OK", "OK", "ZOR GX40"}));
    EXPECT_EQ(lines.back().substr(0, 3), "090") << "the flood goes on after the commands";
    EXPECT_EQ(bench.CountEvents("STREAM flood"), 1);
    EXPECT_EQ(bench.CountEvents("STREAM pause"), 0);
    EXPECT_EQ(bench.CountEvents("STREAM start"), 0);
}

TEST(SimDeviceFault, EndlessLineNeverSendsACarriageReturn) {
    SimOptions o = Unpaced();
    o.faults = ParseSimOptions({"--fault", "endless-line"}, "/d").options.faults;
    DeviceBench bench(o);
    bench.Pass(SimMs(0));
    bench.Send("R001\r\rw904\r", SimMs(0));
    for (int pass = 0; pass < 3; ++pass) {
        bench.Pass(SimMs(0));
    }
    EXPECT_GT(bench.wire.size(), 4u * 100);
    EXPECT_EQ(bench.wire.find('\r'), std::string::npos);
    EXPECT_NE(bench.wire.find("ZOR GX40"), std::string::npos) << "still answers, without CR";
}

bool IsStreamLine(const std::string& line) {
    return line.size() > 4 && line[3] == 'G';
}

// An unpaced analyser with `faults`, streaming since a w904 at 0 ms; what it sent until
// 500 ms is cleared.
std::unique_ptr<DeviceBench> StreamingSinceStart(const std::string& faults) {
    SimOptions o = Unpaced();
    o.faults = ParseSimOptions({"--fault", faults}, "/d").options.faults;
    auto bench = std::make_unique<DeviceBench>(o);
    bench->Send("w904\r", SimMs(0));
    bench->RunUntil(SimMs(500));
    bench->wire.clear();
    return bench;
}

TEST(SimDeviceFault, NonstopStreamRunsThroughTheServiceSequence) {
    const auto bench = StreamingSinceStart("nonstop");
    bench->RunUntil(SimMs(1500));
    bench->Send("SERVICE002\rSERVICE001\rR001\r", SimMs(1500));
    const auto lines = SplitCr(bench->RunUntil(SimMs(2000)));
    ASSERT_EQ(lines.size(), kStreamParameterCount + 3u + kStreamParameterCount)
        << "the cycles at 1000 and 2000 are not skipped";
    EXPECT_EQ(std::vector<std::string>(lines.begin() + kStreamParameterCount,
                                       lines.begin() + kStreamParameterCount + 3),
              (std::vector<std::string>{"OK", "OK", "ZOR GX40"}));
    EXPECT_TRUE(IsStreamLine(lines.back()));
    EXPECT_TRUE(bench->device().Streaming());
    EXPECT_EQ(bench->CountEvents("STREAM pause"), 0);
    EXPECT_EQ(bench->CountEvents("STREAM nonstop from \"w904\""), 1);
}

TEST(SimDeviceFault, NonstopFromACommandStartsTheStreamBehindItsReply) {
    const auto bench = StreamingSinceStart("nonstop=R002");
    // Until R002 a service command pauses the stream as always.
    bench->Send("SERVICE002\rR001\r", SimMs(500));
    EXPECT_EQ(bench->RunUntil(SimMs(1500)), "OK\rZOR GX40\r");
    bench->Send("R002\r", SimMs(1500));
    bench->Send("SERVICE001\rR004\r", SimMs(1600));
    const auto lines = SplitCr(bench->RunUntil(SimMs(2600)));
    ASSERT_EQ(lines.size(), 2u + 3 + 2 * kStreamParameterCount) << bench->wire;
    EXPECT_EQ(lines[2], "GX40 V2.31");
    EXPECT_TRUE(IsStreamLine(lines[3])) << "the first cycle right behind the reply";
    EXPECT_EQ(lines[3 + kStreamParameterCount], "OK");
    EXPECT_EQ(lines[4 + kStreamParameterCount], "SN42");
    EXPECT_TRUE(IsStreamLine(lines.back())) << "the cycle at 2500 despite SERVICE001";
    EXPECT_EQ(bench->CountEvents("STREAM pause"), 1);
}

TEST(SimDeviceFault, SilenceFromACommandEndsTheStreamToo) {
    const auto bench = StreamingSinceStart("silent=R002");
    bench->Send("R002\r", SimMs(500));
    EXPECT_EQ(bench->RunUntil(SimMs(3000)), "");
    EXPECT_FALSE(bench->device().Streaming());
    EXPECT_EQ(bench->CountEvents("SILENT from \"R002\""), 1);
}

TEST(SimDeviceFault, HangupAfterIsTimedFromStartAndSilencesThePort) {
    SimOptions o = Unpaced();
    o.faults.hangupAfter = SimMs(1500);
    DeviceBench bench(o);
    bench.Send("w904\r", SimMs(0));
    bench.RunUntil(SimMs(1400));
    EXPECT_FALSE(bench.device().WantsHangup());
    EXPECT_EQ(bench.device().NextDeadline(false), SimMs(1500))
        << "the hang-up, before the cycle at 2000";
    bench.RunUntil(SimMs(1600));
    EXPECT_TRUE(bench.device().WantsHangup());
    EXPECT_EQ(bench.CountEvents("HANGUP after 1500 ms"), 1);
    bench.Send("R001\r", SimMs(1700));
    EXPECT_EQ(bench.CountEvents("RX"), 1) << "a hung-up port hears nothing";
}

TEST(SimLink, HoldsWhatComesWhileConnectingAndDeliversItWhenUp) {
    SimLink link(SimBluetoothLink{5, SimMs(2500), false});
    std::string delivered;
    EXPECT_EQ(link.Pass("R001\r"), "") << "nobody has the port open";
    link.Open(SimMs(1000));
    EXPECT_EQ(link.NextDeadline(), SimMs(3500));
    EXPECT_EQ(link.Pass("SERVICE002\r"), "");
    EXPECT_EQ(link.Pass("SERV"), "");
    EXPECT_EQ(link.Advance(SimMs(3499), delivered), SimLink::Change::None);
    EXPECT_EQ(link.Advance(SimMs(3500), delivered), SimLink::Change::CameUp);
    EXPECT_EQ(delivered, "SERVICE002\rSERV");
    EXPECT_EQ(link.Pass("ICE001\r"), "ICE001\r");
    EXPECT_FALSE(link.NextDeadline());

    // Every open connects anew; what was held when the port closed is lost.
    link.Close();
    EXPECT_EQ(link.Pass("w904\r"), "");
    link.Open(SimMs(5000));
    link.Pass("R004\r");
    link.Close();
    link.Open(SimMs(6000));
    delivered.clear();
    EXPECT_EQ(link.Advance(SimMs(8500), delivered), SimLink::Change::CameUp);
    EXPECT_EQ(delivered, "");
}

TEST(SimLink, FailingLinkFailsAfterEachOpenAndDeliversNothing) {
    SimLink link(SimBluetoothLink{4, SimMs(3000), true});
    std::string delivered;
    for (const SimTime open : {SimMs(0), SimMs(10000)}) {
        link.Open(open);
        link.Pass("SERVICE002\r");
        EXPECT_EQ(link.Advance(open + SimMs(2999), delivered), SimLink::Change::None);
        EXPECT_EQ(link.Advance(open + SimMs(3000), delivered), SimLink::Change::Failed);
        EXPECT_EQ(link.state(), SimLink::State::Down);
        EXPECT_EQ(delivered, "");
        EXPECT_EQ(link.Advance(open + SimMs(4000), delivered), SimLink::Change::None);
    }
}

TEST(SimDevice, LinkDownLosesWhatWasQueuedAndStopsTheStream) {
    SimOptions o;  // paced: a cycle takes ~130 ms on the line
    DeviceBench bench(o);
    bench.Send("w904\rR0", SimMs(0));
    bench.Pass(SimMs(5));
    ASSERT_TRUE(bench.device().Streaming());
    bench.device().LinkDown(SimMs(5));
    EXPECT_FALSE(bench.device().Streaming());
    EXPECT_EQ(bench.device().Output().Pending(), 0u);
    EXPECT_EQ(bench.CountEvents("STREAM pause"), 1);
    // The half command went down with the link: what follows is a command of its own.
    bench.Send("01\rR004\r", SimMs(10));
    bench.wire.clear();
    EXPECT_EQ(bench.RunUntil(SimMs(5000)), "ERR\rSN42\r") << "and no stream without a w904";
}

TEST(SimDevice, DeadPortLogsButNeverAnswersForeignPortNeverSaysZor) {
    DeviceBench dead(Unpaced(), PortRole::Dead);
    dead.Send("SERVICE002\rR001\rw904\r", SimMs(0));
    EXPECT_EQ(dead.RunUntil(SimMs(5000)), "");
    EXPECT_EQ(dead.CountEvents("RX"), 3);

    DeviceBench foreign(Unpaced(), PortRole::Foreign);
    foreign.Send("R001\r\rw904\r", SimMs(0));
    const std::string wire = foreign.RunUntil(SimMs(5000));
    EXPECT_EQ(wire, "MODEM OK\rMODEM OK\rMODEM OK\r");
}

TEST(QuoteForLog, OneLineWhateverTheBytes) {
    EXPECT_EQ(QuoteForLog("w904"), "\"w904\"");
    EXPECT_EQ(QuoteForLog(std::string("a\"\\\n\0\xFF", 6)), "\"a\\\"\\\\\\x0A\\x00\\xFF\"");
}

}  // namespace
