// fumilink-sim as a real process: what the program sees over the pty, the fault modes
// end to end, the command log, and clean start and stop.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "sim/sim_options.h"
#include "tests/sim/port_client.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/waits.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

/// fumilink-sim with exactly `args`; its standard output and error go to files in `folder`.
std::unique_ptr<ChildProcess> StartSim(const TempDir& folder,
                                       const std::vector<std::string>& args) {
    ChildProcess::Options options;
    options.argv = {FUMILINK_SIM_PATH};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.stdoutPath = folder.File("sim.stdout");
    options.stderrPath = folder.File("sim.stderr");
    return std::make_unique<ChildProcess>(std::move(options));
}

/// Waits for the READY line; returns it, or nothing if the simulator ended first or it
/// took longer than `timeout`.
std::optional<std::string> WaitReady(ChildProcess& sim, milliseconds timeout = seconds(10)) {
    std::optional<std::string> line;
    SpinUntil(
        [&] {
            const std::string out = sim.Stdout();
            const auto newline = out.find('\n');
            if (out.rfind("READY ", 0) == 0 && newline != std::string::npos) {
                line = out.substr(0, newline);
            }
            return line.has_value() || !sim.Running();
        },
        timeout);
    return line;
}

// A simulator in its own folder; most tests want a fast, unpaced analyser on COM5.
class SimRun {
public:
    explicit SimRun(std::vector<std::string> args, bool addDefaults = true) {
        if (addDefaults) {
            args.insert(args.begin(),
                        {"--port-dir", folder.Path(), "--log", folder.File("sim.log")});
        }
        process = StartSim(folder, args);
        ready = WaitReady(*process);
    }
    std::string Link(int port) const { return folder.File("COM" + std::to_string(port)); }
    std::string Log() const { return ReadBytes(folder.File("sim.log")); }

    TempDir folder;
    std::unique_ptr<ChildProcess> process;
    std::optional<std::string> ready;
};

int CountLines(const std::string& text, const std::string& needle) {
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        n += line.find(needle) != std::string::npos ? 1 : 0;
    }
    return n;
}

TEST(SimProcess, ReadyLineNamesEveryLinkAndTheLinksReachThePtys) {
    SimRun sim({"--port", "5", "--dead-port", "3", "--foreign-port", "4"});
    ASSERT_TRUE(sim.ready) << sim.process->Stderr();
    std::istringstream words(*sim.ready);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    ASSERT_EQ(w.size(), 7u) << *sim.ready;
    EXPECT_EQ(w[0], "READY");
    EXPECT_EQ(w[1], "COM5");
    EXPECT_EQ(w[3], "COM3");
    EXPECT_EQ(w[5], "COM4");
    for (int i : {1, 3, 5}) {
        char target[256] = {};
        ASSERT_GT(readlink(sim.Link(std::atoi(w[i].c_str() + 3)).c_str(), target, 255), 0);
        EXPECT_EQ(target, w[i + 1]);
    }
}

TEST(SimProcess, ProtocolOverThePty) {
    SimRun sim({"--rate", "max", "--id2", "GX40 V9"});
    ASSERT_TRUE(sim.ready) << sim.process->Stderr();
    PortClient port(sim.Link(5));
    ASSERT_TRUE(port.ok());
    for (const auto& [command, reply] :
         std::vector<std::pair<std::string, std::string>>{{"SERVICE002", "OK"},
                                                          {"SERVICE001", "OK"},
                                                          {"R001", "ZOR GX40"},
                                                          {"R002", "GX40 V9"},
                                                          {"R004", "SN42"},
                                                          {"", ""},
                                                          {"X99", "ERR"}}) {
        port.Send(command);
        EXPECT_EQ(port.ReadLine(), reply) << command;
    }
    // A person at a terminal ends lines with LF or CRLF.
    port.SendRaw("R004\nR001\r\n");
    EXPECT_EQ(port.ReadLine(), "SN42");
    EXPECT_EQ(port.ReadLine(), "ZOR GX40");

    port.Send("w904");
    EXPECT_EQ(port.ReadLine(), "OK");
    for (int i = 0; i < kStreamParameterCount; ++i) {
        const auto line = port.ReadLine();
        ASSERT_TRUE(line) << "line " << i;
        EXPECT_EQ(std::atoi(line->substr(0, 3).c_str()), kStreamParameters[i]) << *line;
        EXPECT_EQ(line->at(3), 'G');
        EXPECT_EQ(line->back(), ';');
    }

    port.Send("SERVICE002");
    EXPECT_EQ(port.ReadLine(), "OK");
    port.Send("R001");
    EXPECT_EQ(port.ReadLine(), "ZOR GX40");
    EXPECT_EQ(port.ReadFor(milliseconds(1500)), "") << "stream paused by the service command";

    const std::string log = sim.Log();
    EXPECT_EQ(CountLines(log, "COM5 RX \"w904\""), 1);
    EXPECT_EQ(CountLines(log, "COM5 RX \"R001\""), 3);
    EXPECT_EQ(CountLines(log, "COM5 STREAM pause"), 1);
}

TEST(SimProcess, SurvivesTheProgramClosingAndReopeningThePort) {
    SimRun sim({"--rate", "max"});
    ASSERT_TRUE(sim.ready);
    for (int round = 0; round < 5; ++round) {
        PortClient port(sim.Link(5));
        ASSERT_TRUE(port.ok()) << "round " << round;
        port.Send("R004");
        EXPECT_EQ(port.ReadLine(), "SN42") << "round " << round;
    }
    PortClient port(sim.Link(5));
    port.Send("w904");
    EXPECT_EQ(port.ReadLine(), "OK");
    EXPECT_EQ(port.ReadLine()->substr(0, 4), "051G");
}

TEST(SimProcess, StreamStopsAfterItsDurationUnlessRenewed) {
    SimRun sim({"--rate", "max", "--cycle-ms", "200", "--stream-seconds", "1"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    port.Send("w904");
    EXPECT_EQ(port.ReadLine(), "OK");
    // Wait for the end event in the log instead of timing the stream ourselves.
    const auto end = std::chrono::steady_clock::now() + seconds(10);
    while (CountLines(sim.Log(), "STREAM end") == 0 && std::chrono::steady_clock::now() < end) {
        port.ReadFor(milliseconds(100));
    }
    ASSERT_EQ(CountLines(sim.Log(), "STREAM end"), 1);
    port.ReadFor(milliseconds(100));
    EXPECT_EQ(port.ReadFor(milliseconds(600)), "");
    port.Send("w904");
    EXPECT_EQ(port.ReadLine(), "OK");
    EXPECT_EQ(port.ReadLine()->substr(0, 3), "051");
}

TEST(SimProcess, PacedOutputIsNeverFasterThanTheLine) {
    // Back-to-back cycles at 9600 baud: 960 bytes cannot arrive in less than a second.
    SimRun sim({"--cycle-ms", "0"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    // Timed from before the request: whatever the scheduler does to this test, the
    // simulator cannot have sent the reply and 960 data bytes sooner than the line allows.
    const auto start = std::chrono::steady_clock::now();
    port.Send("w904");
    ASSERT_EQ(port.ReadLine(), "OK");
    const std::string bytes = port.ReadBytes(960, seconds(20));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(bytes.size(), 960u);
    EXPECT_GE(took, milliseconds(1000));
}

TEST(SimProcess, RateMaxStreamsBackToBackCycles) {
    SimRun sim({"--rate", "max", "--cycle-ms", "0"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    port.Send("w904");
    ASSERT_EQ(port.ReadLine(), "OK");
    // Not reading for a while fills the pty; the stream must resume once we read again.
    std::this_thread::sleep_for(milliseconds(300));
    const std::string bytes = port.ReadBytes(100000, seconds(30));
    EXPECT_EQ(bytes.size(), 100000u);
    EXPECT_EQ(bytes.substr(0, 4), "051G");
    EXPECT_EQ(CountLines(sim.Log(), "OVERRUN"), 0) << "back-to-back cycles wait for the reader";
}

TEST(SimProcessFault, SilentNeverAnswers) {
    SimRun sim({"--rate", "max", "--fault", "silent"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    port.Send("R001");
    port.Send("w904");
    EXPECT_EQ(port.ReadFor(milliseconds(1500)), "");
    EXPECT_EQ(CountLines(sim.Log(), "RX \"w904\""), 1) << "still logs what it heard";
}

TEST(SimProcessFault, DelayedSlowRepliesArriveWhole) {
    SimRun sim({"--rate", "max", "--fault", "delay=1000,slow=30"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    port.Send("R001");
    EXPECT_EQ(port.ReadFor(milliseconds(300)), "") << "nothing before the delay";
    EXPECT_EQ(port.ReadLine(), "ZOR GX40");
}

TEST(SimProcessFault, NoCrAndEmptyShapeTheReply) {
    {
        SimRun sim({"--rate", "max", "--fault", "no-cr"});
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        port.Send("R001");
        EXPECT_EQ(port.ReadBytes(8), "ZOR GX40");
        EXPECT_EQ(port.ReadFor(milliseconds(500)), "");
    }
    {
        SimRun sim({"--rate", "max", "--fault", "empty"});
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        port.Send("R001");
        EXPECT_EQ(port.ReadLine(), "");
    }
}

TEST(SimProcessFault, NoiseAndNoNewlineStream) {
    {
        SimRun sim({"--rate", "max", "--fault", "noise"});
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        port.Send("w904");
        EXPECT_EQ(port.ReadLine(), "OK");
        port.ReadLine();  // the first data line follows the reply directly
        const auto second = port.ReadLine();
        ASSERT_TRUE(second);
        EXPECT_NE(second->find("052G "), std::string::npos);
        EXPECT_GT(second->find("052G "), 0u) << "noise before the line";
    }
    {
        SimRun sim({"--rate", "max", "--cycle-ms", "100", "--fault", "no-newline-stream"});
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        port.Send("w904");
        EXPECT_EQ(port.ReadLine(), "OK");
        const std::string bytes = port.ReadBytes(500);
        EXPECT_EQ(bytes.size(), 500u);
        EXPECT_EQ(bytes.find('\r'), std::string::npos);
    }
}

TEST(SimProcessFault, FloodAndEndlessLineOutrunTheLineFromTheStart) {
    {
        SimRun sim({"--fault", "flood"});  // at the default 9600 baud this would take minutes
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        const std::string bytes = port.ReadBytes(200000, seconds(60));
        EXPECT_EQ(bytes.size(), 200000u);
        port.Send("SERVICE002");
        std::optional<std::string> line;
        for (int i = 0; i < 100000 && line != "OK"; ++i) {
            line = port.ReadLine();
            ASSERT_TRUE(line);
        }
        ASSERT_EQ(line, "OK");
        const auto next = port.ReadLine();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->size() > 4 ? next->at(3) : ' ', 'G')
            << "the service command pauses nothing";
    }
    {
        SimRun sim({"--fault", "endless-line"});
        ASSERT_TRUE(sim.ready);
        PortClient port(sim.Link(5));
        port.Send("R001");
        const std::string bytes = port.ReadBytes(200000, seconds(60));
        EXPECT_EQ(bytes.size(), 200000u);
        EXPECT_EQ(bytes.find('\r'), std::string::npos);
        EXPECT_EQ(CountLines(sim.Log(), "RX \"R001\""), 1);
    }
}

TEST(SimProcessFault, HangupOnCommandClosesThePtyAndRemovesTheLink) {
    SimRun sim({"--rate", "max", "--fault", "hangup-on=w904"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    port.Send("R001");
    EXPECT_EQ(port.ReadLine(), "ZOR GX40");
    port.Send("w904");
    EXPECT_TRUE(port.WaitHangup());
    EXPECT_EQ(sim.process->WaitExit(), 0) << "the only port is gone";
    EXPECT_FALSE(Exists(sim.Link(5)));
    EXPECT_EQ(CountLines(sim.Log(), "COM5 HANGUP on \"w904\""), 1);
}

TEST(SimProcessFault, HangupAfterTimeKeepsOtherPortsServing) {
    SimRun sim({"--rate", "max", "--fault", "hangup-after=1000", "--foreign-port", "6"});
    ASSERT_TRUE(sim.ready);
    PortClient port(sim.Link(5));
    if (port.ok()) {  // not opened in time only when this test was stalled for a second
        EXPECT_TRUE(port.WaitHangup());
    }
    SpinUntil([&] { return !Exists(sim.Link(5)); });
    EXPECT_FALSE(Exists(sim.Link(5)));
    EXPECT_EQ(CountLines(sim.Log(), "COM5 HANGUP after 1000 ms"), 1);
    PortClient foreign(sim.Link(6));
    foreign.Send("R001");
    EXPECT_EQ(foreign.ReadLine(), "MODEM OK");
    EXPECT_EQ(sim.process->Stop(SIGTERM), 0);
}

// The simulator's own time stamps of the log lines that contain `needle`.
std::vector<double> Stamps(const std::string& log, const std::string& needle) {
    std::istringstream in(log);
    std::vector<double> stamps;
    for (std::string line; std::getline(in, line);) {
        if (line.find(needle) != std::string::npos) {
            stamps.push_back(std::atof(line.c_str()));
        }
    }
    return stamps;
}

std::string LinkTarget(const std::string& path) {
    char target[256] = {};
    return readlink(path.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

TEST(SimProcessBluetooth, EveryOpenConnectsAnewAndWhatComesMeanwhileWaitsForTheLink) {
    SimRun sim({"--rate", "max", "--bluetooth", "5:up=300"});
    ASSERT_TRUE(sim.ready) << sim.process->Stderr();
    // The folder marks the port: COM5 -> rfcomm5 -> the pty.
    EXPECT_EQ(LinkTarget(sim.Link(5)), "rfcomm5");
    EXPECT_EQ(LinkTarget(sim.folder.File("rfcomm5")), sim.ready->substr(sim.ready->rfind(' ') + 1));
    for (int round = 0; round < 2; ++round) {
        PortClient port(sim.Link(5));
        ASSERT_TRUE(port.ok());
        port.Send("R001");  // written at once, while the link is still being made
        EXPECT_EQ(port.ReadLine(), "ZOR GX40") << "round " << round;
    }
    // The simulator learns of the second close a moment later.
    SpinUntil([&] { return CountLines(sim.Log(), "COM5 LINK down") >= 2; });
    EXPECT_EQ(sim.process->Stop(SIGTERM), 0);
    EXPECT_FALSE(Exists(sim.Link(5)));
    EXPECT_FALSE(Exists(sim.folder.File("rfcomm5")));

    const std::string log = sim.Log();
    const auto connecting = Stamps(log, "COM5 LINK connecting (up in 300 ms)");
    const auto up = Stamps(log, "COM5 LINK up");
    const auto received = Stamps(log, "COM5 RX \"R001\"");
    ASSERT_EQ(connecting.size(), 2u) << log;
    ASSERT_EQ(up.size(), 2u) << log;
    ASSERT_EQ(received.size(), 2u) << log;
    EXPECT_EQ(CountLines(log, "COM5 LINK down"), 2);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_GE(up[i] - connecting[i], 0.3) << log;
        EXPECT_GE(received[i], up[i]) << "the command was heard only once the link was up";
    }
}

TEST(SimProcessBluetooth, FailingLinkHangsUpAfterEveryOpenAndThePortStays) {
    SimRun sim({"--rate", "max", "--dead-port", "4", "--bluetooth", "4:fail=200"});
    ASSERT_TRUE(sim.ready) << sim.process->Stderr();
    for (int round = 0; round < 2; ++round) {
        PortClient port(sim.Link(4));
        ASSERT_TRUE(port.ok()) << "round " << round;
        port.Send("SERVICE002");
        EXPECT_TRUE(port.WaitHangup()) << "round " << round;
    }
    const std::string log = sim.Log();
    EXPECT_EQ(CountLines(log, "COM4 LINK failed after 200 ms: hang-up"), 2) << log;
    EXPECT_EQ(CountLines(log, "COM4 RX"), 0) << "nothing went over a link that never came up";
    EXPECT_EQ(LinkTarget(sim.Link(4)), "rfcomm4");
    PortClient analyser(sim.Link(5));
    analyser.Send("R001");
    EXPECT_EQ(analyser.ReadLine(), "ZOR GX40") << "the other ports serve on";
    EXPECT_EQ(sim.process->Stop(SIGTERM), 0);
    EXPECT_FALSE(Exists(sim.Link(4)));
    EXPECT_FALSE(Exists(sim.folder.File("rfcomm4")));
}

TEST(SimProcessReplay, ARecordIsActedOutOnThePtys) {
    TempDir records;
    const std::string record = records.File("fumilink-20261210-024428.log");
    std::ofstream(record, std::ios::binary)
        << "Fumilink session record, started 2026-12-10T02:44:28\n"
           "10 fumilink.link search: ports: COM4 COM5; Bluetooth links: none\n"
           "20 fumilink.serial open COM4 failed: busy: another program holds it\n"
           "30 fumilink.serial open COM5 ok: /dev/ttyUSB0\n"
           "31 fumilink.link COM5 > \"R001\"\n"
           "40 fumilink.link COM5 < \"ZOR GX40\"\n"
           "530 fumilink.link COM5 data \"051G 4.0;\"\n"
           "930 fumilink.serial COM5 hung up\n";
    SimRun sim({"--replay", record});
    ASSERT_TRUE(sim.ready) << sim.process->Stderr();

    // Opened as the program opens a port: with its advisory lock, which the simulator holds.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = open(sim.Link(4).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0) << "attempt " << attempt;
        EXPECT_EQ(errno, EWOULDBLOCK);
        close(fd);
    }
    for (int round = 0; round < 2; ++round) {
        PortClient analyser(sim.Link(5));
        ASSERT_TRUE(analyser.ok()) << "round " << round;
        analyser.Send("R001");
        EXPECT_EQ(analyser.ReadLine(), "ZOR GX40 DEMO") << "round " << round;
        EXPECT_EQ(analyser.ReadLine(), "051G 4.0;") << "round " << round;
        EXPECT_TRUE(analyser.WaitHangup(seconds(3))) << "round " << round;
    }
    EXPECT_TRUE(Exists(sim.Link(5))) << "a hang-up the record does not end the port with";
    const std::string log = sim.Log();
    EXPECT_EQ(CountLines(log, "COM4 OPEN refused as recorded"), 2) << log;
    EXPECT_EQ(CountLines(log, "COM5 HANGUP as recorded"), 2) << log;
}

TEST(SimProcessFault, ForeignIdentityAndDeadPort) {
    SimRun sim({"--rate", "max", "--fault", "foreign", "--dead-port", "2"});
    ASSERT_TRUE(sim.ready);
    PortClient analyser(sim.Link(5));
    analyser.Send("R001");
    const auto reply = analyser.ReadLine();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->find("ZOR"), std::string::npos);
    PortClient dead(sim.Link(2));
    dead.Send("SERVICE002");
    dead.Send("R001");
    EXPECT_EQ(dead.ReadFor(milliseconds(1000)), "");
    EXPECT_EQ(CountLines(sim.Log(), "COM2 RX"), 2);
}

TEST(SimProcessLifecycle, TermAndIntRemoveTheLinks) {
    for (int signal : {SIGTERM, SIGINT}) {
        SimRun sim({"--dead-port", "8"});
        ASSERT_TRUE(sim.ready);
        ASSERT_TRUE(Exists(sim.Link(5)));
        PortClient port(sim.Link(5));  // a client still holding the port must not matter
        EXPECT_EQ(sim.process->Stop(signal), 0) << "signal " << signal;
        EXPECT_FALSE(Exists(sim.Link(5)));
        EXPECT_FALSE(Exists(sim.Link(8)));
        EXPECT_TRUE(port.WaitHangup());
    }
}

TEST(SimProcessLifecycle, RefusesAPortTakenInTheFolderAndLeavesItAlone) {
    SimRun first({"--port", "5"});
    ASSERT_TRUE(first.ready);
    auto second = StartSim(first.folder,
                           {"--port-dir", first.folder.Path(), "--port", "7", "--dead-port", "5"});
    EXPECT_EQ(second->WaitExit(), 2);
    EXPECT_NE(second->Stderr().find("COM5 is already taken"), std::string::npos)
        << second->Stderr();
    EXPECT_FALSE(Exists(first.Link(7))) << "refused before creating anything";
    PortClient port(first.Link(5));
    port.Send("R004");
    EXPECT_EQ(port.ReadLine(), "SN42") << "the first simulator's link is untouched";
}

TEST(SimProcessLifecycle, BadOptionsHelpAndVersion) {
    TempDir folder;
    {
        auto sim = StartSim(folder, {"--port-dir", folder.Path(), "--fault", "wobble"});
        EXPECT_EQ(sim->WaitExit(), 2);
        EXPECT_NE(sim->Stderr().find("fumilink-sim: --fault: unknown fault 'wobble'"),
                  std::string::npos);
    }
    {
        auto sim = StartSim(folder, {"--port-dir", folder.File("missing")});
        EXPECT_EQ(sim->WaitExit(), 2);
        EXPECT_NE(sim->Stderr().find("does not exist"), std::string::npos);
    }
    {
        auto sim = StartSim(folder, {"--help"});
        EXPECT_EQ(sim->WaitExit(), 0);
        EXPECT_NE(sim->Stdout().find("--fault"), std::string::npos);
    }
    {
        auto sim = StartSim(folder, {"--version"});
        EXPECT_EQ(sim->WaitExit(), 0);
        EXPECT_EQ(sim->Stdout(), "fumilink-sim " FUMILINK_VERSION "\n");
    }
}

TEST(SimProcessLifecycle, PortFolderFromTheEnvironmentAndReadyFile) {
    TempDir folder;
    setenv("FUMILINK_PORT_DIR", folder.Path().c_str(), 1);
    auto sim = StartSim(folder, {"--port", "9", "--ready-file", folder.File("ready")});
    unsetenv("FUMILINK_PORT_DIR");
    const auto ready = WaitReady(*sim);
    ASSERT_TRUE(ready) << sim->Stderr();
    EXPECT_EQ(ReadBytes(folder.File("ready")), *ready + "\n");
    EXPECT_TRUE(Exists(folder.File("COM9")));
    EXPECT_EQ(sim->Stop(SIGTERM), 0);
}

}  // namespace
