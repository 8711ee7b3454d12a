#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

class PollLoop : public LinkFixture {
protected:
    /// One poll tick by hand; the timer itself stays off so ticks can be counted.
    void Tick() {
        link->Timer1Timer();
        timer1.stop();
    }

    /// Sends bytes and waits until the port has them, so the next tick sees them.
    void Arrive(ScriptedPeer& peer, const std::string& bytes) {
        const uint32_t before = comm->InQueueCount();
        peer.Send(bytes);
        ASSERT_TRUE(PumpUntil([&] { return comm->InQueueCount() >= before + bytes.size(); }));
    }
};

}  // namespace

TEST_F(PollLoop, FirstTickConnectsAndOpensThePortForTheStream) {
    AddPeer(5);
    link->state.firstTick = true;
    Tick();
    EXPECT_FALSE(link->state.firstTick);
    EXPECT_TRUE(link->state.connected);
    EXPECT_TRUE(comm->Connected());
    EXPECT_FALSE(view.btWastunVisible);
    EXPECT_EQ(view.picture, 2);
    EXPECT_EQ(view.status, QStringLiteral("Verbindung hergestellt (Standby)"));
    EXPECT_GT(view.dispDataCalls, 0);
}

TEST_F(PollLoop, FailedSearchShowsTheErrorStateOnEveryTickWithoutSearchingAgain) {
    ScriptedPeer& dead = AddPeer(5, [](const std::string&) { return std::string(); });
    link->state.firstTick = true;
    Tick();
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_EQ(view.helpPage, 3);
    EXPECT_TRUE(view.btWastunVisible);
    EXPECT_TRUE(timer2.isActive());

    const size_t commandsAfterSearch = dead.Commands().size();
    view.status.clear();
    for (int i = 0; i < 5; ++i) {
        Tick();
    }
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(dead.Commands().size(), commandsAfterSearch);
}

TEST_F(PollLoop, LineSplitAcrossTicksIsDecodedWhenItsCarriageReturnArrives) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    Arrive(peer, "051G 20.9;");
    Tick();
    EXPECT_FALSE(record.Valid(1));
    Arrive(peer, "\r");
    Tick();
    EXPECT_TRUE(record.Valid(1));
    EXPECT_DOUBLE_EQ(record.Value(1), 20.9);
    EXPECT_EQ(record.onlineCountdown, 49);
    EXPECT_EQ(view.status, QStringLiteral("Onlinedaten werden empfangen"));
    EXPECT_EQ(view.picture, 3);
    EXPECT_TRUE(view.btExitEnabled);
}

TEST_F(PollLoop, EveryLineQueuedByTheTickIsDecoded) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    Arrive(peer, "051G 20.9;\r053E 12,0;\r041G 182.4;\r090G 8");
    Tick();
    EXPECT_DOUBLE_EQ(record.Value(1), 20.9);
    EXPECT_DOUBLE_EQ(record.Value(3), 12.0);
    EXPECT_DOUBLE_EQ(record.Value(9), 182.4);
    EXPECT_FALSE(record.Valid(13)) << "the unfinished line waits for its CR";
    Arrive(peer, ".7;\r");
    Tick();
    EXPECT_DOUBLE_EQ(record.Value(13), 8.7);
}

TEST_F(PollLoop, TenIdleTicksSendOneKeepAlive) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    for (int i = 0; i < 9; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 0);
    Tick();
    EXPECT_EQ(peer.CountOf("w904"), 1);
    EXPECT_EQ(link->state.keepAliveCounter, 10);
    for (int i = 0; i < 9; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 1);
    Tick();
    EXPECT_EQ(peer.CountOf("w904"), 2);
}

TEST_F(PollLoop, OnlineFallsBackToStandbyFiftyTicksAfterTheLastLine) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    Arrive(peer, "051G 20.9;\r");
    Tick();
    for (int i = 0; i < 49; ++i) {
        Tick();
        ASSERT_EQ(view.status, QStringLiteral("Onlinedaten werden empfangen")) << "tick " << i;
    }
    Tick();
    EXPECT_EQ(view.status, QStringLiteral("Verbindung hergestellt (Standby)"));
    EXPECT_EQ(view.picture, 2);
    EXPECT_FALSE(view.btExitEnabled);
    EXPECT_TRUE(record.Valid(1)) << "values stay after the stream stops";
}

TEST_F(PollLoop, DataLineClearsTheErrorFlagSoLaterKeepAlivesAreSentAgain) {
    ScriptedPeer& peer = AddPeer(5, [](const std::string&) { return std::string(); });
    OpenPort(5);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    ASSERT_EQ(peer.CountOf("w904"), 1);
    ASSERT_TRUE(link->state.errorFlag);
    ASSERT_EQ(link->state.errorCode, kErrNoReply);

    Arrive(peer, "051G 20.9;\r");
    Tick();
    EXPECT_FALSE(link->state.errorFlag);
    EXPECT_EQ(link->state.errorCode, 0);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 2);
}

TEST_F(PollLoop, DataLineArrivingAsTheKeepAliveReplyIsNotLost) {
    AddPeer(5, [](const std::string& c) { return c == "w904" ? std::string("052G 12.6;\r") : ""; });
    OpenPort(5);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    EXPECT_TRUE(record.Valid(2));
    EXPECT_DOUBLE_EQ(record.Value(2), 12.6);
}

TEST_F(PollLoop, KeepAliveReplyIsDecodedOnlyWhenItIsAWholeDataLine) {
    // Bytes without line ends, then the keep-alive's "OK": the reply line starts like a
    // data line but is none.
    ScriptedPeer& peer = AddPeer(5, [](const std::string& c) {
        return c == "w904" ? std::string("051G 4.0;052G 12.6;053G 12;OK\r") : std::string();
    });
    OpenPort(5);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    ASSERT_EQ(peer.CountOf("w904"), 1);
    EXPECT_FALSE(record.Valid(1));
    EXPECT_EQ(record.onlineCountdown, 0);
    EXPECT_NE(view.picture, 3);
    EXPECT_FALSE(view.btExitEnabled);
}

TEST_F(PollLoop, AbortClosesPortAndWindowOnTheNextTick) {
    AddPeer(5);
    OpenPort(5);
    link->state.abortFlag = true;
    EXPECT_FALSE(view.closed);
    Tick();
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(comm->Connected());
}

TEST_F(PollLoop, HangUpMidStreamEndsInNoReplyWithoutHanging) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    Arrive(peer, "051G 20.9;\r");
    Tick();
    peer.HangUp();
    for (int i = 0; i < 60; ++i) {
        Tick();
    }
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_TRUE(record.Valid(1));
}

TEST_F(PollLoop, TickInsideAWaitingExchangeLeavesItsReplyAlone) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    link->state.firstTick = true;  // a tick that ran would start a second search
    peer.SetResponder([this](const std::string&) {
        QTimer::singleShot(0, [this] { link->Timer1Timer(); });
        QTimer::singleShot(150, [this] { peers[0]->Send("ZOR GX40\r"); });
        return std::string();
    });
    link->Exchange("R001");
    EXPECT_EQ(link->state.replyLine, "ZOR GX40");
    EXPECT_EQ(peer.CountOf("SERVICE002"), 0);
    EXPECT_TRUE(link->state.firstTick);
}

TEST_F(PollLoop, RetryTimerFiresAlthoughEveryTickSwitchesItOnAgain) {
    // Every poll tick with an error re-shows the error state, which switches the 5 s retry
    // timer on; a timer that restarted each time would never fire.
    link->state.errorCode = kErrNoDevice;
    int retries = 0;
    QObject::connect(&timer2, &QTimer::timeout, [&] { ++retries; });
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [this] { link->ShowErrorState(); });
    ticks.start(100);
    EXPECT_TRUE(PumpUntil([&] { return retries > 0; }, 20s));
}
