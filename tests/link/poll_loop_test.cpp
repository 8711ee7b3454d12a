#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

class PollLoopTest : public LinkFixture {
protected:
    /// One poll tick by hand; the timer itself stays off so ticks can be counted.
    void Tick() {
        link->Timer1Timer();
        link->PollTimer().Stop();
    }
};

}  // namespace

TEST_F(PollLoopTest, TimersOfTheLink) {
    EXPECT_EQ(link->PollTimer().Interval(), 100ms);
    EXPECT_FALSE(link->PollTimer().IsActive());
    EXPECT_EQ(link->RetryTimer().Interval(), 5000ms);
    EXPECT_FALSE(link->RetryTimer().IsActive());
    EXPECT_EQ(link->TimeoutTimer().Interval(), 100ms);
    EXPECT_TRUE(link->TimeoutTimer().IsActive()) << "from the creation on";
    EXPECT_EQ(link->Poll().KeepAliveCounter(), 10);
    EXPECT_FALSE(comm().Connected());
}

TEST_F(PollLoopTest, StartMakesTheFirstTickConnectAndOpenThePortForTheStream) {
    AddPeer(5);
    link->Start();
    EXPECT_TRUE(link->PollTimer().IsActive());
    ASSERT_TRUE(link->Poll().FirstTickPending());
    Tick();
    EXPECT_FALSE(link->Poll().FirstTickPending());
    EXPECT_TRUE(link->Search().Connected());
    EXPECT_TRUE(comm().Connected());
    EXPECT_FALSE(view.btWastunVisible);
    EXPECT_EQ(view.picture, 2);
    EXPECT_EQ(view.status, QStringLiteral("Verbindung hergestellt (Standby)"));
    EXPECT_GT(view.dispDataCalls, 0);
}

TEST_F(PollLoopTest, FailedSearchShowsTheErrorStateOnEveryTickWithoutSearchingAgain) {
    ScriptedPeer& dead = AddPeer(5, [](const std::string&) { return std::string(); });
    link->Start();
    Tick();
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_EQ(view.helpPage, 3);
    EXPECT_TRUE(view.btWastunVisible);
    EXPECT_TRUE(link->RetryTimer().IsActive());

    const size_t commandsAfterSearch = dead.Commands().size();
    view.status.clear();
    for (int i = 0; i < 5; ++i) {
        Tick();
    }
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(dead.Commands().size(), commandsAfterSearch);
}

TEST_F(PollLoopTest, LineSplitAcrossTicksIsDecodedWhenItsCarriageReturnArrives) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    peer.Send("051G 20.9;");
    Tick();
    EXPECT_FALSE(record().Valid(1));
    peer.Send("\r");
    Tick();
    EXPECT_TRUE(record().Valid(1));
    EXPECT_DOUBLE_EQ(record().Value(1), 20.9);
    EXPECT_EQ(link->Poll().OnlineCountdown(), 49);
    EXPECT_EQ(view.status, QStringLiteral("Onlinedaten werden empfangen"));
    EXPECT_EQ(view.picture, 3);
    EXPECT_TRUE(view.btExitEnabled);
}

TEST_F(PollLoopTest, EveryLineQueuedByTheTickIsDecoded) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    peer.Send("051G 20.9;\r053E 12,0;\r041G 182.4;\r090G 8");
    Tick();
    EXPECT_DOUBLE_EQ(record().Value(1), 20.9);
    EXPECT_DOUBLE_EQ(record().Value(3), 12.0);
    EXPECT_DOUBLE_EQ(record().Value(9), 182.4);
    EXPECT_FALSE(record().Valid(13)) << "the unfinished line waits for its CR";
    peer.Send(".7;\r");
    Tick();
    EXPECT_DOUBLE_EQ(record().Value(13), 8.7);
}

TEST_F(PollLoopTest, TenIdleTicksSendOneKeepAlive) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    for (int i = 0; i < 9; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 0);
    Tick();
    EXPECT_EQ(peer.CountOf("w904"), 1);
    EXPECT_EQ(link->Poll().KeepAliveCounter(), 10);
    for (int i = 0; i < 9; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 1);
    Tick();
    EXPECT_EQ(peer.CountOf("w904"), 2);
}

TEST_F(PollLoopTest, OnlineFallsBackToStandbyFiftyTicksAfterTheLastLine) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    peer.Send("051G 20.9;\r");
    Tick();
    for (int i = 0; i < 49; ++i) {
        Tick();
        ASSERT_EQ(view.status, QStringLiteral("Onlinedaten werden empfangen")) << "tick " << i;
    }
    Tick();
    EXPECT_EQ(view.status, QStringLiteral("Verbindung hergestellt (Standby)"));
    EXPECT_EQ(view.picture, 2);
    EXPECT_FALSE(view.btExitEnabled);
    EXPECT_TRUE(record().Valid(1)) << "values stay after the stream stops";
}

TEST_F(PollLoopTest, DataLineClearsTheErrorFlagSoLaterKeepAlivesAreSentAgain) {
    ScriptedPeer& peer = AddPeer(5, [](const std::string&) { return std::string(); });
    OpenPort(5);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    ASSERT_EQ(peer.CountOf("w904"), 1);
    ASSERT_TRUE(exchange().ErrorFlag());
    ASSERT_EQ(exchange().ErrorCode(), kErrNoReply);

    peer.Send("051G 20.9;\r");
    Tick();
    EXPECT_FALSE(exchange().ErrorFlag());
    EXPECT_EQ(exchange().ErrorCode(), 0);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    EXPECT_EQ(peer.CountOf("w904"), 2);
}

TEST_F(PollLoopTest, DataLineArrivingAsTheKeepAliveReplyIsNotLost) {
    AddPeer(5, [](const std::string& c) { return c == "w904" ? std::string("052G 12.6;\r") : ""; });
    OpenPort(5);
    for (int i = 0; i < 10; ++i) {
        Tick();
    }
    EXPECT_TRUE(record().Valid(2));
    EXPECT_DOUBLE_EQ(record().Value(2), 12.6);
}

TEST_F(PollLoopTest, KeepAliveReplyIsDecodedOnlyWhenItIsAWholeDataLine) {
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
    EXPECT_FALSE(record().Valid(1));
    EXPECT_EQ(link->Poll().OnlineCountdown(), 0);
    EXPECT_NE(view.picture, 3);
    EXPECT_FALSE(view.btExitEnabled);
}

TEST_F(PollLoopTest, AbortClosesPortAndWindowOnTheNextTick) {
    AddPeer(5);
    OpenPort(5);
    link->Abort();
    EXPECT_FALSE(view.closed);
    Tick();
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(comm().Connected());
}

TEST_F(PollLoopTest, HangUpMidStreamEndsInNoReplyWithoutHanging) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    peer.Send("051G 20.9;\r");
    Tick();
    peer.HangUp();
    const auto start = clock.Now();
    for (int i = 0; i < 60; ++i) {
        Tick();
    }
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(view.picture, 1);
    EXPECT_TRUE(record().Valid(1));
    EXPECT_LT(clock.Now() - start, 1000ms) << "a hung-up port is not given the reply's second";
}

TEST_F(PollLoopTest, TickInsideAWaitingExchangeLeavesItsReplyAlone) {
    ScriptedPeer& peer = AddPeer(5);
    OpenPort(5);
    link->Start();  // a tick that ran would start a second search
    peer.SetResponder([&](const std::string&) {
        clock.After(0ms, [this] { link->Timer1Timer(); });
        clock.After(150ms, [&] { peer.Send("ZOR GX40\r"); });
        return std::string();
    });
    link->Exchange("R001");
    EXPECT_EQ(exchange().ReplyLine(), "ZOR GX40");
    EXPECT_EQ(peer.CountOf("SERVICE002"), 0);
    EXPECT_TRUE(link->Poll().FirstTickPending());
}

TEST_F(PollLoopTest, RetryTimerFiresAlthoughEveryTickSwitchesItOnAgain) {
    // Every poll tick with an error re-shows the error state, which switches the 5 s retry
    // timer on; a timer that restarted each time would never fire. Its tick switches the
    // poll timer on again where no error flag holds it.
    link->StartLink();  // no ports: error code 3, the error flag clear
    ASSERT_EQ(exchange().ErrorCode(), kErrNoDevice);
    ASSERT_FALSE(exchange().ErrorFlag());
    ASSERT_TRUE(link->RetryTimer().IsActive());
    ASSERT_FALSE(link->PollTimer().IsActive());
    std::function<void()> tick = [&] {
        link->ShowErrorState();
        clock.After(100ms, tick);
    };
    clock.After(100ms, tick);
    EXPECT_TRUE(clock.RunUntil([&] { return link->PollTimer().IsActive(); }, 20s));
    EXPECT_EQ(clock.Now(), 5000ms);
}
