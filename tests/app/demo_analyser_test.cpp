// What FUMILINK_DEMO takes: the simulator's own options, refused with a reason where they
// make no sense inside the program, and an analyser that always says it is a demo.

#include "app/demo_analyser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "serial/port_provider.h"

namespace {

TEST(DemoSetting, OneIsTheDefaultAnalyserWhichSaysItIsADemo) {
    const DemoSetting setting = ParseDemoSetting("1");
    ASSERT_EQ(setting.refusal, "");
    EXPECT_EQ(setting.options.analyserPort, 5);
    EXPECT_TRUE(setting.options.deadPorts.empty());
    // R001 must still hold "ZOR" for the search to take it; all three replies go into the
    // transfer file (9000, 9100, 9200).
    EXPECT_EQ(setting.options.id, "ZOR GX40 DEMO");
    EXPECT_EQ(setting.options.id2, "GX40 V2.31 DEMO");
    EXPECT_EQ(setting.options.serial, "DEMO42");
    EXPECT_EQ(ParseDemoSetting("--serial 4711").options.serial, "4711 DEMO");
}

TEST(DemoSetting, TakesTheSimulatorsOptionsWithQuotedBlanks) {
    const DemoSetting setting = ParseDemoSetting(
        "--dead-port 3 --port 7  --fault hangup-after=8000 --bluetooth 7:up=2500 "
        "--id \"ZOR 730 Demo Test\" --serial DEMO-1");
    ASSERT_EQ(setting.refusal, "");
    EXPECT_EQ(setting.options.analyserPort, 7);
    EXPECT_EQ(setting.options.deadPorts, std::vector<int>{3});
    ASSERT_TRUE(setting.options.faults.hangupAfter);
    EXPECT_EQ(*setting.options.faults.hangupAfter, SimMs(8000));
    ASSERT_EQ(setting.options.bluetoothLinks.size(), 1u);
    EXPECT_EQ(setting.options.bluetoothLinks[0].after, SimMs(2500));
    EXPECT_EQ(setting.options.id, "ZOR 730 Demo Test DEMO") << "'Demo' is not the mark";
    EXPECT_EQ(setting.options.serial, "DEMO-1") << "marked already";
    EXPECT_EQ(SplitDemoArguments(" --log C:\\Temp\\demo log.txt \"\" "),
              (std::vector<std::string>{"--log", "C:\\Temp\\demo", "log.txt", ""}));
}

TEST(DemoSetting, RefusesWhatHasNoMeaningInsideTheProgramAndSaysWhy) {
    const struct {
        const char* value;
        const char* refusal;
    } cases[] = {
        {"--port-dir /tmp/ports",
         "--port-dir: the ports are inside the program, not on pseudo-terminals"},
        {"--ready-file r.txt",
         "--ready-file: the ports are inside the program, not on pseudo-terminals"},
        {"--log-sent", "--log-sent: the ports are inside the program, not on pseudo-terminals"},
        {"--port 100", "COM100: the program opens COM1 to COM99 only"},
        {"--dead-port 150", "COM150: the program opens COM1 to COM99 only"},
        {"yes", "unknown option 'yes'"},
        {"--fault delay", "--fault: 'delay' needs a value (delay=...)"},
        {"--help", "--help: the options are those of fumilink-sim (README, LIESMICH-README.txt)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDemoSetting(c.value).refusal, c.refusal) << c.value;
    }
}

TEST(DemoSetting, TakesThePressesOfAnUnattendedRunBesideTheSimulatorsOptions) {
    using std::chrono::milliseconds;
    const DemoSetting both =
        ParseDemoSetting("--steady --take-over-after 2.5 --port 7 --abort-after=30");
    ASSERT_EQ(both.refusal, "");
    EXPECT_EQ(both.presses.takeOverAfter, milliseconds(2500));
    EXPECT_EQ(both.presses.abortAfter, milliseconds(30000));
    EXPECT_EQ(both.options.analyserPort, 7) << "the options after them still count";
    EXPECT_TRUE(both.options.steady);
    EXPECT_EQ(ParseDemoSetting("--abort-after 0").presses.abortAfter, milliseconds(0));
    const DemoPresses none = ParseDemoSetting("1").presses;
    EXPECT_FALSE(none.takeOverAfter || none.abortAfter);
    EXPECT_EQ(ParseDemoSetting("--take-over-after soon").refusal,
              "--take-over-after: 'soon' is not a number of seconds (0..86400)");
    EXPECT_EQ(ParseDemoSetting("--abort-after -1").refusal,
              "--abort-after: '-1' is not a number of seconds (0..86400)");
    EXPECT_EQ(ParseDemoSetting("--port 5 --take-over-after").refusal,
              "option --take-over-after needs a value");
}

TEST(DemoStart, GivesTheSimulatorsPortsOnlyWhenSet) {
    EXPECT_EQ(StartDemoAnalyser(nullptr).ports, nullptr);
    EXPECT_EQ(StartDemoAnalyser("").ports, nullptr);
    EXPECT_EQ(StartDemoAnalyser("").refusal, "");
    for (const char* off : {"0", " 0 ", "  "}) {  // a user's "off"
        const DemoStart none = StartDemoAnalyser(off);
        EXPECT_EQ(none.ports, nullptr) << off;
        EXPECT_EQ(none.refusal, "") << off;
    }
    const DemoStart demo = StartDemoAnalyser("--port 7 --dead-port 2");
    EXPECT_EQ(demo.refusal, "");
    ASSERT_NE(demo.ports, nullptr);
    EXPECT_EQ(demo.ports->ListPorts(), (std::vector<std::string>{"COM2", "COM7"}));
    EXPECT_EQ(StartDemoAnalyser("--abort-after 3", "--demo").presses.abortAfter,
              std::chrono::milliseconds(3000));
}

TEST(DemoStart, ARefusedValueIsNamedAndGivesNoPorts) {
    const DemoStart bogus = StartDemoAnalyser("--port 5 --bogus");
    EXPECT_EQ(bogus.refusal,
              "FUMILINK_DEMO=--port 5 --bogus wird nicht angenommen:\n"
              "Die Vorführung kann so nicht starten (unknown option '--bogus').");
    EXPECT_EQ(bogus.ports, nullptr);
    // Given on the command line, the refusal names the switch as it was written.
    EXPECT_EQ(StartDemoAnalyser("--take-over-after x", "--demo").refusal,
              "--demo=--take-over-after x wird nicht angenommen:\n"
              "Die Vorführung kann so nicht starten (--take-over-after: 'x' is not a number of "
              "seconds (0..86400)).");
    const DemoStart log = StartDemoAnalyser("--log no/such/folder/demo.log");
    EXPECT_EQ(
        log.refusal.rfind("FUMILINK_DEMO=--log no/such/folder/demo.log wird nicht angenommen:\n"
                          "Die Vorführung kann so nicht starten (cannot write log file "
                          "no/such/folder/demo.log: ",
                          0),
        0u)
        << log.refusal;
    EXPECT_EQ(log.ports, nullptr);
}

}  // namespace
