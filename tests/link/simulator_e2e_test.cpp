// The link against the analyser simulator: real bytes through pseudo-terminals, the
// poll timer running as in the program.

#include "link/status_texts.h"
#include "link_fixture.h"
#include "tests/support/sim_process.h"

namespace {

using namespace std::chrono_literals;

class AgainstSimulator : public LinkFixture {
protected:
    void StartSim(const QStringList& arguments) {
        sim = std::make_unique<SimProcess>(portDir, arguments);
        ASSERT_TRUE(sim->Ready()) << sim->Log();
    }

    /// Starts the program's poll loop: the first tick searches.
    void Run() {
        link->state.firstTick = true;
        timer1.start();
    }

    void TearDown() override {
        timer1.stop();
        timer2.stop();
        link.reset();
        if (sim) {
            sim->Stop();
        }
        LinkFixture::TearDown();
    }

    std::unique_ptr<SimProcess> sim;
};

bool IsOnline(const RecordingView& view) {
    return view.status == QStringLiteral("Onlinedaten werden empfangen");
}

}  // namespace

TEST_F(AgainstSimulator, FindsTheAnalyserBehindDeadAndForeignPortsAndShowsLiveValues) {
    StartSim({"--port", "5", "--dead-port", "2", "--foreign-port", "3"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 20s)) << view.status.toStdString();

    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Teste COM2")));
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("TDA-Error COM2")) ||
                sim->Received(2, "SERVICE002") == 1);
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Gerät am COM5 gefunden")));
    EXPECT_EQ(sim->Received(3, "w904"), 0) << "the foreign port is never asked to stream";
    EXPECT_EQ(view.picture, 3);
    EXPECT_TRUE(view.btExitEnabled);
    EXPECT_NE(ReadFile("fumilink.ini").find("comport=5"), std::string::npos);

    // All thirteen quantities of a cycle arrive and are decoded.
    const auto allValid = [&] {
        for (int channel = 1; channel <= 13; ++channel) {
            if (!record.Valid(channel)) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(PumpUntil(allValid, 10s));
    EXPECT_GT(record.Value(9), 100.0);  // flue-gas temperature
}

TEST_F(AgainstSimulator, RememberedPortIsTheOnlyOneTouched) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n");
    StartSim({"--port", "5", "--foreign-port", "3"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 20s));
    EXPECT_EQ(sim->ReceivedAny(3), 0);
    EXPECT_EQ(sim->Received(5, "R001"), 1);
}

TEST_F(AgainstSimulator, NothingAnsweringShowsTheErrorStateAndItsHelpPage) {
    StartSim({"--no-analyser", "--dead-port", "4", "--dead-port", "6"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 20s));
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_EQ(view.helpPage, 3);
    // Every dead port cost one timed-out command, then the sticky flag spared the rest.
    EXPECT_EQ(sim->ReceivedAny(4), 1);
    EXPECT_EQ(sim->ReceivedAny(6), 1);
}

TEST_F(AgainstSimulator, OnlyPortOneDeadAsksToPairTheAnalyser) {
    StartSim({"--no-analyser", "--dead-port", "1"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 20s));
    EXPECT_EQ(link->state.errorCode, kErrNotPaired);
    EXPECT_EQ(view.status, QStringLiteral("Bitte ZOR Bluetooth-Messgerät am Computer anmelden"));
    EXPECT_EQ(view.helpPage, 4);
    EXPECT_NE(ReadFile("debug.log").find("failure: no pairing found"), std::string::npos);
}

// A Bluetooth link makes its radio connection when the port opens; what the program
// writes meanwhile waits in the kernel's queue.
TEST_F(AgainstSimulator, LinkThatComesUpAfterTwoAndAHalfSecondsIsFoundAndStreams) {
    StartSim({"--port", "5", "--bluetooth", "5:up=2500", "--cycle-ms", "300"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 40s)) << sim->Log();
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Gerät am COM5 gefunden")));
    EXPECT_EQ(sim->Received(5, "SERVICE002"), 3) << "the first command waited for the link";
    // The port was opened again for the stream: a second connection, waited for as well.
    EXPECT_EQ(sim->Count("COM5 LINK up"), 2);
    EXPECT_EQ(link->state.errorCode, kErrNone);
}

TEST_F(AgainstSimulator, LinkThatFailsIsAPortThatCannotBeOpenedAndTheSearchGoesOn) {
    StartSim({"--port", "5", "--bluetooth", "5:up=500", "--dead-port", "4", "--bluetooth",
              "4:fail=3000"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 40s)) << sim->Log();
    const QStringList expected = {QStringLiteral("Teste COM4"), QStringLiteral("TDA-Error COM4"),
                                  QStringLiteral("Teste COM5"),
                                  QStringLiteral("Gerät am COM5 gefunden")};
    const qsizetype from = view.statusHistory.indexOf(expected[0]);
    ASSERT_GE(from, 0) << view.statusHistory.join(" | ").toStdString();
    EXPECT_EQ(view.statusHistory.mid(from, 4), expected)
        << view.statusHistory.join(" | ").toStdString();
    EXPECT_EQ(sim->Count("COM4 LINK failed"), 1);
}

TEST_F(AgainstSimulator, ReplyWithoutCarriageReturnIsNoReply) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\n");
    StartSim({"--port", "5", "--fault", "no-cr"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 20s));
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(view.helpPage, 2);
}

TEST_F(AgainstSimulator, AbortDuringTheScanClosesWithoutAcceptingAPort) {
    StartSim({"--port", "7", "--dead-port", "2", "--dead-port", "3"});
    // The search runs inside the first tick; only a timer reaches into its waits, as a
    // click on "Abbrechen" would.
    QTimer pressAbort;
    QObject::connect(&pressAbort, &QTimer::timeout, [&] {
        if (sim->ReceivedAny(2) > 0) {
            link->state.abortFlag = true;
        }
    });
    pressAbort.start(20);
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.closed; }, 20s));
    EXPECT_FALSE(link->state.connected);
    EXPECT_EQ(sim->Received(7, "R001"), 0);
    EXPECT_FALSE(comm->Connected());
}

TEST_F(AgainstSimulator, KeepAliveRenewsAStreamThatStopped) {
    StartSim({"--port", "5", "--stream-seconds", "1", "--cycle-ms", "200"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 20s));
    const int afterSearch = sim->Received(5, "w904");
    EXPECT_EQ(afterSearch, 3);
    // The stream ends one second after the last w904; ten idle ticks later the
    // keep-alive asks for it again, and values keep coming.
    ASSERT_TRUE(PumpUntil([&] { return sim->Received(5, "w904") > afterSearch; }, 10s));
    ASSERT_TRUE(PumpUntil([&] { return sim->Received(5, "w904") > afterSearch + 1; }, 10s));
    EXPECT_TRUE(IsOnline(view));
}

TEST_F(AgainstSimulator, NoiseInFrontOfEveryLineKeepsTheLinkAliveAndShowsNothingWrong) {
    // Noise glued to the front of a line shifts its fixed fields: such a line cannot be
    // read and must not be read as something else.
    StartSim({"--port", "5", "--fault", "noise", "--cycle-ms", "200", "--rate", "max"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return link->state.connected && comm->Connected(); }, 20s));
    PumpFor(2s);
    EXPECT_TRUE(comm->Connected());
    EXPECT_EQ(link->state.errorCode, 0);
    for (int channel = 1; channel <= 13; ++channel) {
        if (record.Valid(channel)) {
            EXPECT_GE(record.Value(channel), -5.0) << "channel " << channel;
            EXPECT_LE(record.Value(channel), 1000.0) << "channel " << channel;
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
    StartSim({"--port", "5", "--fault", "reply-noise", "--cycle-ms", "300"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 20s)) << view.status.toStdString();
    link->state.transferFilePath = portDir + "/m.txt";
    ASSERT_TRUE(link->schreibeCSV_Datei()) << view.infoBoxes.join(" | ").toStdString();

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
    ASSERT_TRUE(PumpUntil([&] { return view.status == kStatusStandby; }, 20s));
    PumpFor(1500ms);
    EXPECT_FALSE(IsOnline(view));
    EXPECT_FALSE(record.Valid(1));
}

TEST_F(AgainstSimulator, HangUpMidStreamEndsInTheNoReplyState) {
    StartSim({"--port", "5", "--fault", "hangup-after=4000"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(view); }, 20s));
    ASSERT_TRUE(PumpUntil([&] { return link->state.errorCode == kErrNoReply; }, 20s));
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 5s));
    EXPECT_EQ(view.picture, 1);
    EXPECT_TRUE(record.Valid(1)) << "the last values stay";
}

TEST_F(AgainstSimulator, AnalyserAnsweringOnlyEmptyLinesIsNotAccepted) {
    StartSim({"--port", "5", "--fault", "empty"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 30s));
    EXPECT_FALSE(link->state.connected);
    EXPECT_EQ(sim->Received(5, "R001"), DeviceLink::kMaxEmptyReplies);
}

// A port that never lets up: every wait must still go back to the event loop, so the
// timeout ticks, timers and "Abbrechen" keep working, and every wait must end.
class AgainstAFlood : public AgainstSimulator {
protected:
    void Flood(const char* fault) {
        StartSim({"--port", "5", "--fault", fault});
        if (sim->Ready()) {
            OpenPort(5);
        }
    }
};

TEST_F(AgainstAFlood, ExchangeEndsAtItsTimeoutWhileTheTimersKeepTicking) {
    Flood("endless-line");
    int ticks = 0;
    QObject::connect(&timeouttimer, &QTimer::timeout, [&] { ++ticks; });
    link->Exchange("w904");
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_TRUE(link->state.errorFlag);
    EXPECT_GE(ticks, DeviceLink::kReplyTicks);
}

TEST_F(AgainstAFlood, DrainEndsAtItsTick) {
    Flood("flood");
    int ticks = 0;
    QObject::connect(&timeouttimer, &QTimer::timeout, [&] { ++ticks; });
    link->Drain();
    EXPECT_EQ(link->state.timeoutCounter, 0);
    EXPECT_GE(ticks, 1);
    EXPECT_TRUE(comm->Connected());
}

TEST_F(AgainstAFlood, AbbrechenDuringTheSearchClosesTheWindow) {
    StartSim({"--port", "5", "--fault", "flood"});
    QTimer pressAbort;
    QObject::connect(&pressAbort, &QTimer::timeout, [&] {
        if (sim->ReceivedAny(5) > 0) {
            link->state.abortFlag = true;
        }
    });
    pressAbort.start(20);
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.closed; }, 30s));
    EXPECT_FALSE(link->state.connected);
    EXPECT_FALSE(comm->Connected());
}

TEST_F(AgainstAFlood, PollTicksKeepComingAndAbbrechenClosesTheWindow) {
    Flood("flood");
    timer1.start();
    // Each tick takes what is queued when it starts and ends with a redraw.
    ASSERT_TRUE(PumpUntil([&] { return view.dispDataCalls >= 25; }, 60s));
    EXPECT_TRUE(record.Valid(1));
    link->state.abortFlag = true;
    ASSERT_TRUE(PumpUntil([&] { return view.closed; }, 30s));
    EXPECT_FALSE(comm->Connected());
}

TEST_F(AgainstAFlood, TakeOverEndsWithItsMessage) {
    Flood("endless-line");
    link->state.transferFilePath = portDir + "/m.txt";
    EXPECT_FALSE(link->schreibeCSV_Datei());
    ASSERT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(view.infoBoxes[0].contains(QStringLiteral("Keine Antwort")));
}

TEST_F(AgainstSimulator, KeepAliveReplyGluedToAStreamWithoutLineEndsIsNotDecoded) {
    // At the analyser's own pace the bytes of a cycle and the keep-alive's "OK" fit in
    // one reply line that starts like a data line.
    StartSim({"--port", "5", "--fault", "no-newline-stream"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return view.status == kStatusStandby; }, 20s));
    const int afterSearch = sim->Received(5, "w904");
    ASSERT_TRUE(PumpUntil([&] { return sim->Received(5, "w904") >= afterSearch + 2; }, 20s));
    ASSERT_TRUE(PumpUntil([&] { return !link->Busy(); }, 5s));
    EXPECT_FALSE(IsOnline(view));
    EXPECT_FALSE(view.btExitEnabled);
    EXPECT_EQ(record.onlineCountdown, 0);
    for (int channel = 1; channel <= 14; ++channel) {
        EXPECT_FALSE(record.Valid(channel)) << "channel " << channel;
    }
}

namespace {

// An analyser that goes on streaming while the take-over asks for its identification:
// from the stream request on (through the service sequence), or from R002 on.
class AgainstAStreamThatGoesOn : public AgainstSimulator {
protected:
    /// Searches, waits for live values and takes them over.
    bool TakeOverWhileItStreams(const QStringList& arguments) {
        StartSim(arguments);
        Run();
        if (!PumpUntil([&] { return IsOnline(view); }, 20s)) {
            ADD_FAILURE() << view.status.toStdString();
            return false;
        }
        link->state.transferFilePath = portDir + "/m.txt";
        return link->schreibeCSV_Datei();
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
        EXPECT_EQ(link->state.errorCode, kErrNoReply);
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
