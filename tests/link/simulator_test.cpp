// The link against the analyser simulator inside the test (the demo's ports): the
// simulator's devices and faults as fumilink-sim has them, the poll timer running as in the
// program, all in clock time.

#include "link/status_texts.h"
#include "link_fixture.h"
#include "tests/support/demo_sim.h"

namespace {

using namespace std::chrono_literals;

class AgainstSimulator : public LinkFixture {
protected:
    /// The simulator with `arguments`, and a link on its ports.
    void StartSim(const std::vector<std::string>& arguments, CommandLine commandLine = {}) {
        sim = std::make_unique<DemoSim>(arguments, clock);
        ASSERT_TRUE(sim->Ready()) << sim->Problem();
        provider = &sim->Ports();
        Relink(std::move(commandLine));
    }

    /// Starts the program's poll loop: the first tick searches.
    void Run() { link->Start(); }

    /// Runs the clock until `done`, at most `limit` of clock time.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) {
        return clock.RunUntil(done, limit);
    }

    bool IsOnline() const { return view.status == kStatusOnline; }

    /// "Abbrechen" is pressed once COM `port` has had its first command (checked every
    /// 20 ms, as a user's click reaches into a wait).
    void AbortOnceCommandsReach(int port) {
        clock.After(20ms, [this, port] {
            if (sim->ReceivedAny(port) > 0) {
                link->Abort();
            } else {
                AbortOnceCommandsReach(port);
            }
        });
    }

    void TearDown() override {
        rig.reset();  // the link before the simulator
        sim.reset();
    }

    std::unique_ptr<DemoSim> sim;
};

}  // namespace

TEST_F(AgainstSimulator, FindsTheAnalyserBehindDeadAndForeignPortsAndShowsLiveValues) {
    StartSim({"--port", "5", "--dead-port", "2", "--foreign-port", "3"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); })) << view.status.toStdString();

    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
    EXPECT_EQ(view.statusHistory.mid(0, 3),
              (QStringList{QStringLiteral("Messgerät wird gesucht ..."),
                           QStringLiteral("Teste COM2"), QStringLiteral("Teste COM3")}))
        << view.statusHistory.join(" | ").toStdString();
    EXPECT_EQ(sim->Received(2, "SERVICE002"), 1) << "one timeout, then the sticky flag";
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Gerät am COM5 gefunden")));
    EXPECT_GE(sim->Received(3, "R001"), 1);
    EXPECT_EQ(sim->Received(3, "w904"), 0) << "the foreign port is never asked to stream";
    EXPECT_EQ(view.picture, 3);
    EXPECT_TRUE(view.btExitEnabled);
    EXPECT_NE(ReadFile("fumilink.ini").find("comport=5"), std::string::npos);

    // All thirteen quantities of a cycle arrive and are decoded.
    const auto allValid = [&] {
        for (int channel = 1; channel <= 13; ++channel) {
            if (!record().Valid(channel)) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(RunUntil(allValid, 10s));
    EXPECT_GT(record().Value(9), 100.0);  // flue-gas temperature
}

TEST_F(AgainstSimulator, RememberedPortIsTheOnlyOneTouched) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n");
    StartSim({"--port", "5", "--foreign-port", "3"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); }));
    EXPECT_EQ(sim->ReceivedAny(3), 0);
    EXPECT_EQ(sim->Received(5, "R001"), 1);
}

TEST_F(AgainstSimulator, NothingAnsweringShowsTheErrorStateAndItsHelpPage) {
    StartSim({"--no-analyser", "--dead-port", "4", "--dead-port", "6"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.btWastunVisible; }));
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_EQ(view.helpPage, 3);
    // Every dead port cost one timed-out command, then the sticky flag spared the rest.
    EXPECT_EQ(sim->ReceivedAny(4), 1);
    EXPECT_EQ(sim->ReceivedAny(6), 1);
    EXPECT_LE(clock.Now(), 2300ms) << "a second for each dead port";
}

TEST_F(AgainstSimulator, OnlyPortOneDeadAsksToPairTheAnalyser) {
    StartSim({"--no-analyser", "--dead-port", "1"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.btWastunVisible; }));
    EXPECT_EQ(exchange().ErrorCode(), kErrNotPaired);
    EXPECT_EQ(view.status, QStringLiteral("Bitte ZOR Bluetooth-Messgerät am Computer anmelden"));
    EXPECT_EQ(view.helpPage, 4);
    EXPECT_NE(ReadFile("debug.log").find("failure: no pairing found"), std::string::npos);
}

// A Bluetooth link makes its radio connection when the port opens; what the program
// writes meanwhile waits in the link's output queue.
TEST_F(AgainstSimulator, LinkThatComesUpAfterTwoAndAHalfSecondsIsFoundAndStreams) {
    StartSim({"--port", "5", "--bluetooth", "5:up=2500", "--cycle-ms", "300"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); })) << sim->Log();
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Gerät am COM5 gefunden")));
    EXPECT_EQ(sim->Received(5, "SERVICE002"), 3) << "the first command waited for the link";
    // The port was opened again for the stream: a second connection, waited for as well.
    EXPECT_EQ(sim->Count("COM5 LINK up"), 2);
    EXPECT_EQ(exchange().ErrorCode(), kErrNone);
}

TEST_F(AgainstSimulator, LinkThatFailsIsAPortThatCannotBeOpenedAndTheSearchGoesOn) {
    StartSim({"--port", "5", "--bluetooth", "5:up=500", "--dead-port", "4", "--bluetooth",
              "4:fail=3000"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); })) << sim->Log();
    const QStringList expected = {QStringLiteral("Teste COM4"), QStringLiteral("TDA-Error COM4"),
                                  QStringLiteral("Teste COM5"),
                                  QStringLiteral("Gerät am COM5 gefunden")};
    const qsizetype from = view.statusHistory.indexOf(expected[0]);
    ASSERT_GE(from, 0) << view.statusHistory.join(" | ").toStdString();
    EXPECT_EQ(view.statusHistory.mid(from, 4), expected)
        << view.statusHistory.join(" | ").toStdString();
    EXPECT_EQ(sim->Count("COM4 LINK failed"), 1);
}

// The first exchange on a Bluetooth link waits for the link, then gives the reply its
// usual second: the demo's links hold the program's bytes in their output queue while
// they connect (as rfcomm's does, which a pty cannot show).
TEST_F(AgainstSimulator, ASilentBluetoothDeviceCostsItsConnectionAndTheUsualSecond) {
    // A paired device that is not the analyser: its link comes up after a second, and it
    // never answers.
    StartSim({"--port", "5", "--dead-port", "4", "--bluetooth", "4:up=1000"});
    ASSERT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->Search().PortNumber(), 5);
    const std::optional<SimTime> up = sim->FirstAt("COM4 LINK up");
    const std::optional<SimTime> next = sim->FirstAt("COM5 RX \"SERVICE002\"");
    ASSERT_TRUE(up && next);
    EXPECT_EQ(*up, SimMs(1000));
    // One second for the reply from the tick the link was seen up, not until ten seconds
    // after the open.
    EXPECT_EQ(*next, SimMs(2000));
}

TEST_F(AgainstSimulator, ABluetoothLinkSlowToComeUpIsStillFound) {
    StartSim({"--port", "5", "--bluetooth", "5:up=9000"});
    ASSERT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(exchange().ErrorCode(), kErrNone);
    EXPECT_EQ(sim->FirstAt("COM5 LINK up"), SimMs(9000));
    EXPECT_TRUE(sim->FirstAt("COM5 RX \"R004\""));
}

TEST_F(AgainstSimulator, TenSecondsFromTheOpenStayTheMostABluetoothLinkMayTake) {
    StartSim({"--port", "5", "--bluetooth", "5:up=10500"});
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_FALSE(sim->FirstAt("COM5 LINK up")) << "the search gave the link up before";
    const std::optional<SimTime> down = sim->FirstAt("COM5 LINK down");
    ASSERT_TRUE(down);
    EXPECT_EQ(*down, SimMs(10000));
}

TEST_F(AgainstSimulator, ReplyWithoutCarriageReturnIsNoReply) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\n");
    StartSim({"--port", "5", "--fault", "no-cr"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.btWastunVisible; }));
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(view.helpPage, 2);
}

TEST_F(AgainstSimulator, AbortDuringTheScanClosesWithoutAcceptingAPort) {
    StartSim({"--port", "7", "--dead-port", "2", "--dead-port", "3"});
    // The search runs inside the first tick; "Abbrechen" reaches into its waits once COM2
    // has had its first command.
    AbortOnceCommandsReach(2);
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.closed; }));
    EXPECT_FALSE(link->Search().Connected());
    EXPECT_EQ(sim->Received(7, "R001"), 0);
    EXPECT_FALSE(comm().Connected());
}

TEST_F(AgainstSimulator, KeepAliveRenewsAStreamThatStopped) {
    StartSim({"--port", "5", "--stream-seconds", "1", "--cycle-ms", "200"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); }));
    const int afterSearch = sim->Received(5, "w904");
    EXPECT_EQ(afterSearch, 3);
    // The stream ends one second after the last w904; ten idle ticks later the
    // keep-alive asks for it again, and values keep coming.
    ASSERT_TRUE(RunUntil([&] { return sim->Received(5, "w904") > afterSearch; }, 10s));
    ASSERT_TRUE(RunUntil([&] { return sim->Received(5, "w904") > afterSearch + 1; }, 10s));
    EXPECT_TRUE(IsOnline());
}

TEST_F(AgainstSimulator, NoiseInFrontOfEveryLineKeepsTheLinkAliveAndShowsNothingWrong) {
    // Noise glued to the front of a line shifts its fixed fields: such a line cannot be
    // read and must not be read as something else.
    StartSim({"--port", "5", "--fault", "noise", "--cycle-ms", "200", "--rate", "max"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return link->Search().Connected() && comm().Connected(); }));
    clock.Advance(2s);
    EXPECT_TRUE(comm().Connected());
    EXPECT_EQ(exchange().ErrorCode(), 0);
    for (int channel = 1; channel <= 13; ++channel) {
        if (record().Valid(channel)) {
            EXPECT_GE(record().Value(channel), -5.0) << "channel " << channel;
            EXPECT_LE(record().Value(channel), 1000.0) << "channel " << channel;
        }
    }
}

namespace {

/// Bytes below 0x20 that are not part of a CR LF line end, and DEL.
int ControlBytesOf(const std::string& file) {
    int count = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        const auto byte = static_cast<unsigned char>(file[i]);
        const bool lineEnd =
            file.compare(i, 2, "\r\n") == 0 || (byte == '\n' && i > 0 && file[i - 1] == '\r');
        count += (byte < 0x20 && !lineEnd) || byte == 0x7F ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST_F(AgainstSimulator, NoiseInFrontOfTheIdentificationRepliesGoesIntoNeitherFile) {
    StartSim({"--port", "5", "--fault", "reply-noise", "--cycle-ms", "300"},
             ReadCommandLine({"", "", portDir + "/m.txt"}));
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); })) << view.status.toStdString();
    ASSERT_TRUE(TakeOver()) << view.infoBoxes.join(" | ").toStdString();

    // NUL, BEL, DEL, ESC and the tab became blanks; the high bytes stayed.
    const std::string noise = "   \xFE\xFF#~ [0m  ";
    const std::string file = ReadFile("m.txt");
    EXPECT_NE(file.find("\r\n9000=" + noise + "ZOR GX40\r\n9100=" + noise +
                        "GX40 V2.31\r\n9200=" + noise + "SN42\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(ControlBytesOf(file), 0) << file;
    const std::string settings = ReadFile("fumilink.ini");
    EXPECT_NE(settings.find("\r\nSerNr=" + noise + "ZOR GX40 " + noise + "SN42\r\n"),
              std::string::npos)
        << settings;
    EXPECT_EQ(ControlBytesOf(settings), 0) << settings;
}

TEST_F(AgainstSimulator, StreamWithoutLineEndsNeverGoesOnline) {
    StartSim({"--port", "5", "--fault", "no-newline-stream", "--rate", "max", "--cycle-ms", "0"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.status == kStatusStandby; }));
    clock.Advance(1500ms);
    EXPECT_FALSE(IsOnline());
    EXPECT_FALSE(record().Valid(1));
}

TEST_F(AgainstSimulator, HangUpMidStreamEndsInTheNoReplyState) {
    StartSim({"--port", "5", "--fault", "hangup-after=4000"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return IsOnline(); }));
    ASSERT_TRUE(RunUntil([&] { return exchange().ErrorCode() == kErrNoReply; }));
    ASSERT_TRUE(RunUntil([&] { return view.btWastunVisible; }, 5s));
    EXPECT_EQ(view.picture, 1);
    EXPECT_TRUE(record().Valid(1)) << "the last values stay";
}

TEST_F(AgainstSimulator, AnalyserAnsweringOnlyEmptyLinesIsNotAccepted) {
    StartSim({"--port", "5", "--fault", "empty"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.btWastunVisible; }));
    EXPECT_FALSE(link->Search().Connected());
    EXPECT_EQ(sim->Received(5, "R001"), CommandExchange::kMaxEmptyReplies);
}

// A port that never lets up: every wait must still go back to the event loop, so the
// timeout ticks, timers and "Abbrechen" keep working, and every wait must end.
class AgainstAFlood : public AgainstSimulator {
protected:
    void Flood(const char* fault, CommandLine commandLine = {}) {
        StartSim({"--port", "5", "--fault", fault}, std::move(commandLine));
        OpenPort(5);
    }
};

TEST_F(AgainstAFlood, ExchangeEndsAtItsTimeout) {
    Flood("endless-line");
    const auto start = clock.Now();
    link->Exchange("w904");
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_TRUE(exchange().ErrorFlag());
    EXPECT_EQ(clock.Now() - start, 1000ms);
}

TEST_F(AgainstAFlood, DrainEndsAtItsTick) {
    Flood("flood");
    clock.Advance(500ms);  // a full receive queue and more behind it
    link->Drain();
    EXPECT_EQ(exchange().TimeoutCounter(), 0);
    EXPECT_EQ(clock.Now(), 600ms);
    EXPECT_TRUE(comm().Connected());
}

TEST_F(AgainstAFlood, AbbrechenDuringTheSearchClosesTheWindow) {
    StartSim({"--port", "5", "--fault", "flood"});
    AbortOnceCommandsReach(5);
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.closed; }));
    EXPECT_FALSE(link->Search().Connected());
    EXPECT_FALSE(comm().Connected());
}

TEST_F(AgainstAFlood, PollTicksKeepComingAndAbbrechenClosesTheWindow) {
    Flood("flood");
    link->PollTimer().Start();
    // Each tick takes what is queued when it starts and ends with a redraw.
    ASSERT_TRUE(RunUntil([&] { return view.dispDataCalls >= 25; }));
    EXPECT_TRUE(record().Valid(1));
    link->Abort();
    ASSERT_TRUE(RunUntil([&] { return view.closed; }));
    EXPECT_FALSE(comm().Connected());
}

TEST_F(AgainstAFlood, TakeOverEndsWithItsMessage) {
    Flood("endless-line", ReadCommandLine({"", "", portDir + "/m.txt"}));
    EXPECT_FALSE(TakeOver());
    ASSERT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(view.infoBoxes[0].contains(QStringLiteral("Keine Antwort")));
}

TEST_F(AgainstSimulator, KeepAliveReplyGluedToAStreamWithoutLineEndsIsNotDecoded) {
    // At the analyser's own pace the bytes of a cycle and the keep-alive's "OK" fit in
    // one reply line that starts like a data line.
    StartSim({"--port", "5", "--fault", "no-newline-stream"});
    Run();
    ASSERT_TRUE(RunUntil([&] { return view.status == kStatusStandby; }));
    const int afterSearch = sim->Received(5, "w904");
    ASSERT_TRUE(RunUntil([&] { return sim->Received(5, "w904") >= afterSearch + 2; }));
    ASSERT_TRUE(RunUntil([&] { return !link->Busy(); }, 5s));
    EXPECT_FALSE(IsOnline());
    EXPECT_FALSE(view.btExitEnabled);
    EXPECT_EQ(link->Poll().OnlineCountdown(), 0);
    for (int channel = 1; channel <= 14; ++channel) {
        EXPECT_FALSE(record().Valid(channel)) << "channel " << channel;
    }
}

namespace {

// An analyser that goes on streaming while the take-over asks for its identification:
// from the stream request on (through the service sequence), or from R002 on.
class AgainstAStreamThatGoesOn : public AgainstSimulator {
protected:
    /// Searches, waits for live values and takes them over.
    bool TakeOverWhileItStreams(const std::vector<std::string>& arguments) {
        StartSim(arguments, ReadCommandLine({"", "", portDir + "/m.txt"}));
        Run();
        if (!RunUntil([&] { return IsOnline(); })) {
            ADD_FAILURE() << view.status.toStdString();
            return false;
        }
        return TakeOver();
    }
};

class AgainstAStreamThatGoesOnBackToBack : public AgainstAStreamThatGoesOn,
                                           public testing::WithParamInterface<const char*> {};

constexpr const char* kRealIdentification = "\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n";

}  // namespace

TEST_P(AgainstAStreamThatGoesOnBackToBack, DataLinesAreNoIdentification) {
    const bool written =
        TakeOverWhileItStreams({"--port", "5", "--cycle-ms", "0", "--fault", GetParam()});
    const std::string file = ReadFile("m.txt");
    if (written) {
        // Only if the analyser's replies happened to come before its data lines.
        EXPECT_NE(file.find(kRealIdentification), std::string::npos) << file;
    } else {
        EXPECT_EQ(file, "") << "no transfer file";
        ASSERT_EQ(view.infoBoxes.size(), 1);
        EXPECT_TRUE(view.infoBoxes[0].contains(QStringLiteral("Keine Antwort")));
        EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
        EXPECT_EQ(view.status.toStdString(), ErrorStatusText(kErrNoReply).toStdString());
    }
    EXPECT_EQ(sim->Count("STREAM pause"), std::string(GetParam()) == "nonstop" ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(FromTheStreamRequestOrFromR002, AgainstAStreamThatGoesOnBackToBack,
                         testing::Values("nonstop", "nonstop=R002"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "nonstop" ? "FromW904" : "FromR002";
                         });

TEST_F(AgainstAStreamThatGoesOn, PausesBetweenCyclesLetTheRealAnswersThrough) {
    // A cycle a second: what streams after the service sequence runs out within a
    // fraction of it, and a data line that lands on a request is asked past.
    ASSERT_TRUE(TakeOverWhileItStreams({"--port", "5", "--fault", "nonstop"}))
        << view.infoBoxes.join(" | ").toStdString();
    EXPECT_NE(ReadFile("m.txt").find(kRealIdentification), std::string::npos) << ReadFile("m.txt");
    EXPECT_EQ(sim->Count("STREAM pause"), 0);
}
