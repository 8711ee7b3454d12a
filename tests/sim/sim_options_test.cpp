#include "sim/sim_options.h"

#include <gtest/gtest.h>

namespace {

SimOptionsResult Parse(std::vector<std::string> args, const std::string& env = "/tmp/ports") {
    return ParseSimOptions(args, env);
}

TEST(SimOptions, DefaultsAreAHealthyAnalyserOnCom5) {
    const auto r = Parse({});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.analyserPort, 5);
    EXPECT_EQ(r.options.portDir, "/tmp/ports");
    EXPECT_EQ(r.options.id, "ZOR GX40");
    EXPECT_EQ(r.options.serial, "SN42");
    EXPECT_EQ(r.options.cycle, SimMs(1000));
    EXPECT_FALSE(r.options.streamDuration.has_value());
    EXPECT_EQ(r.options.bytesPerSecond, 960);
    EXPECT_EQ(r.options.status[2], 'G');
}

TEST(SimOptions, ValuesInBothSpellingsAndRepeatedOptions) {
    const auto r = Parse({"--port=7",
                          "--port-dir",
                          "/x",
                          "--dead-port",
                          "3",
                          "--dead-port=4",
                          "--foreign-port",
                          "9",
                          "--id",
                          "ZOR T730",
                          "--stream-seconds",
                          "2.5",
                          "--status",
                          "053=F",
                          "--status",
                          "513=E",
                          "--rate",
                          "max",
                          "--cycle-ms",
                          "0",
                          "--seed",
                          "99",
                          "--steady"});
    ASSERT_EQ(r.error, "");
    const SimOptions& o = r.options;
    EXPECT_EQ(o.analyserPort, 7);
    EXPECT_EQ(o.portDir, "/x");
    EXPECT_EQ(o.deadPorts, (std::vector<int>{3, 4}));
    EXPECT_EQ(o.foreignPorts, (std::vector<int>{9}));
    EXPECT_EQ(o.id, "ZOR T730");
    EXPECT_EQ(o.streamDuration, SimMs(2500));
    EXPECT_EQ(o.status[2], 'F');  // 053 is the third streamed parameter
    EXPECT_EQ(o.status[5], 'E');  // 513
    EXPECT_EQ(o.status[0], 'G');
    EXPECT_FALSE(o.bytesPerSecond.has_value());
    EXPECT_EQ(o.cycle, SimTime{0});
    EXPECT_EQ(o.seed, 99u);
    EXPECT_TRUE(o.steady);
    EXPECT_FALSE(Parse({}).options.steady);
}

TEST(SimOptions, FaultListsCombine) {
    const auto r = Parse({"--fault", "delay=300,slow=20", "--fault=no-cr", "--fault",
                          "hangup-on=w904,hangup-after=5000,noise"});
    ASSERT_EQ(r.error, "");
    const SimFaults& f = r.options.faults;
    EXPECT_EQ(f.replyDelay, SimMs(300));
    EXPECT_EQ(f.slowByteGap, SimMs(20));
    EXPECT_TRUE(f.noCr);
    EXPECT_TRUE(f.noise);
    EXPECT_EQ(f.hangupOn, "w904");
    EXPECT_EQ(f.hangupAfter, SimMs(5000));
    EXPECT_FALSE(f.silent);
    EXPECT_FALSE(f.emptyReplies);
    EXPECT_FALSE(f.flood);

    const SimFaults endless = Parse({"--fault", "endless-line"}).options.faults;
    EXPECT_TRUE(endless.flood && endless.noNewlineStream && endless.noCr);
    const SimFaults flood = Parse({"--fault", "flood"}).options.faults;
    EXPECT_TRUE(flood.flood);
    EXPECT_FALSE(flood.noNewlineStream || flood.noCr);
    EXPECT_FALSE(flood.nonstopFrom || flood.replyNoise);
    EXPECT_TRUE(Parse({"--fault", "reply-noise"}).options.faults.replyNoise);
    EXPECT_EQ(Parse({"--fault", "nonstop"}).options.faults.nonstopFrom, "w904");
    EXPECT_EQ(Parse({"--fault", "noise,nonstop=R002"}).options.faults.nonstopFrom, "R002");
    EXPECT_EQ(Parse({"--fault", "nonstop="}).options.faults.nonstopFrom, "")
        << "the empty command, which only the take-over sends";

    // From a command on, and upon the Nth of a command.
    const SimFaults later =
        Parse({"--fault", "silent=SERVICE002#4,no-cr=,hangup-on=w904#4"}).options.faults;
    EXPECT_FALSE(later.silent || later.noCr);
    EXPECT_EQ(later.silentFrom, "SERVICE002");
    EXPECT_EQ(later.silentFromCount, 4);
    EXPECT_EQ(later.noCrFrom, "");
    EXPECT_EQ(later.noCrFromCount, 1);
    EXPECT_EQ(later.hangupOn, "w904");
    EXPECT_EQ(later.hangupOnCount, 4);
    EXPECT_EQ(f.hangupOnCount, 1);
    EXPECT_EQ(Parse({"--fault", "hangup-on=A#B"}).options.faults.hangupOn, "A#B")
        << "no count: all of it is the command";
}

TEST(SimOptions, BluetoothLinksComeUpOrFailAfterTheGivenTime) {
    const auto r = Parse({"--dead-port", "4", "--bluetooth", "5:up=2500", "--bluetooth=4:fail=3000",
                          "--foreign-port", "6", "--bluetooth", "6"});
    ASSERT_EQ(r.error, "");
    const auto& links = r.options.bluetoothLinks;
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].port, 5);
    EXPECT_EQ(links[0].after, SimMs(2500));
    EXPECT_FALSE(links[0].fails);
    EXPECT_EQ(links[1].port, 4);
    EXPECT_EQ(links[1].after, SimMs(3000));
    EXPECT_TRUE(links[1].fails);
    EXPECT_EQ(links[2].after, SimTime{0});
    EXPECT_FALSE(links[2].fails);
}

TEST(SimOptions, NoAnalyserLeavesOnlyExtraPorts) {
    const auto r = Parse({"--no-analyser", "--dead-port", "2"});
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.options.analyserPort.has_value());
}

TEST(SimOptions, LogSentIsAFlagAndOffByDefault) {
    EXPECT_FALSE(Parse({}).options.logSent);
    EXPECT_TRUE(Parse({"--log-sent"}).options.logSent);
    EXPECT_NE(Parse({"--log-sent=1"}).error.find("takes no value"), std::string::npos);
}

TEST(SimOptions, RateIsBaudOverTenBitsPerByte) {
    EXPECT_EQ(Parse({"--rate", "19200"}).options.bytesPerSecond, 1920);
}

TEST(SimOptions, HelpIsRecognisedAndNamesEveryOption) {
    EXPECT_TRUE(Parse({"--help"}).helpRequested);
    const std::string help = SimHelpText();
    for (const char* option : {"--port",
                               "--no-analyser",
                               "--dead-port",
                               "--foreign-port",
                               "--port-dir",
                               "--bluetooth",
                               "--id",
                               "--id2",
                               "--serial",
                               "--foreign-reply",
                               "--cycle-ms",
                               "--stream-seconds",
                               "--status",
                               "--seed",
                               "--rate",
                               "--fault",
                               "--log",
                               "--ready-file",
                               "--log-sent",
                               "SENT",
                               "silent",
                               "delay=",
                               "slow=",
                               "no-cr",
                               "empty",
                               "noise",
                               "no-newline-stream",
                               "hangup-after=",
                               "hangup-on=",
                               "foreign",
                               "flood",
                               "endless-line",
                               "nonstop",
                               "reply-noise"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

struct Rejection {
    const char* name;
    std::vector<std::string> args;
    std::string env;
    const char* expectedInMessage;
};

void PrintTo(const Rejection& r, std::ostream* os) {
    *os << r.name;
}

class SimOptionsRejects : public testing::TestWithParam<Rejection> {};

TEST_P(SimOptionsRejects, WithAMessageNamingTheProblem) {
    const Rejection& row = GetParam();
    const auto r = ParseSimOptions(row.args, row.env);
    EXPECT_NE(r.error.find(row.expectedInMessage), std::string::npos)
        << "message: '" << r.error << "'";
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, SimOptionsRejects,
    testing::Values(
        Rejection{"UnknownOption", {"--bogus"}, "/d", "unknown option '--bogus'"},
        Rejection{"MissingValue", {"--port"}, "/d", "--port needs a value"},
        Rejection{"PortNotANumber", {"--port", "5x"}, "/d", "not a port number"},
        Rejection{"PortZero", {"--port", "0"}, "/d", "not a port number"},
        Rejection{"PortTooLarge", {"--dead-port", "256"}, "/d", "not a port number"},
        Rejection{"NoFolder", {}, "", "no port folder"},
        Rejection{"SamePortTwice",
                  {"--port", "5", "--dead-port", "5"},
                  "/d",
                  "COM5 is given more than once"},
        Rejection{"NothingToServe", {"--no-analyser"}, "/d", "no ports"},
        Rejection{"FlagWithValue", {"--no-analyser=1"}, "/d", "takes no value"},
        Rejection{"UnknownFault", {"--fault", "explode"}, "/d", "unknown fault 'explode'"},
        Rejection{"FaultNeedsValue", {"--fault", "delay"}, "/d", "needs a value"},
        Rejection{"FaultTakesNoValue", {"--fault", "noise=1"}, "/d", "takes no value"},
        Rejection{"MisspeltFaultWithValue",
                  {"--fault", "hangup-aftr=3000"},
                  "/d",
                  "unknown fault 'hangup-aftr'"},
        Rejection{"ReplayTwice", {"--replay", "a.log", "--replay", "b.log"}, "/d", "given twice"},
        Rejection{"TriggerWithCr", {"--fault", "silent=R0\r02"}, "/d", "silent: the command"},
        Rejection{"NegativeDelay", {"--fault", "delay=-5"}, "/d", "milliseconds"},
        Rejection{"EmptyFaultItem", {"--fault", "silent,"}, "/d", "unknown fault ''"},
        Rejection{"StatusWithoutEquals", {"--status", "053"}, "/d", "expected NNN=C"},
        Rejection{"StatusTwoChars", {"--status", "053=FF"}, "/d", "expected NNN=C"},
        Rejection{"StatusUnknownParameter", {"--status", "054=F"}, "/d", "not one of the streamed"},
        Rejection{"BadRate", {"--rate", "fast"}, "/d", "neither 'max' nor a baud rate"},
        Rejection{"BadStreamSeconds", {"--stream-seconds", "soon"}, "/d", "seconds"},
        Rejection{"BadCycle", {"--cycle-ms", "1.5"}, "/d", "milliseconds"},
        Rejection{"BluetoothOfNoPort", {"--bluetooth", "7"}, "/d", "COM7 is none of the ports"},
        Rejection{"BluetoothTwice",
                  {"--bluetooth", "5", "--bluetooth", "5:up=10"},
                  "/d",
                  "COM5 is given twice"},
        Rejection{"BluetoothWithoutPort", {"--bluetooth", "up=10"}, "/d", "port number"},
        Rejection{"BluetoothUnknownTime", {"--bluetooth", "5:after=10"}, "/d", "N:up=MS"},
        Rejection{"BluetoothBadTime", {"--bluetooth", "5:fail=soon"}, "/d", "milliseconds"},
        // They press the program's buttons: only its demo has any.
        Rejection{"TakeOverAfterIsTheDemos",
                  {"--take-over-after", "5"},
                  "/d",
                  "--take-over-after: an option of the program's demo"},
        Rejection{"AbortAfterIsTheDemos",
                  {"--abort-after=5"},
                  "/d",
                  "--abort-after: an option of the program's demo"}),
    [](const testing::TestParamInfo<Rejection>& info) { return info.param.name; });

}  // namespace
