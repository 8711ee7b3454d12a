#include <QTimer>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

class CommandExchange : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        peer = &AddPeer(5);
        OpenPort(5);
    }
    ScriptedPeer* peer = nullptr;
};

}  // namespace

TEST_F(CommandExchange, ReplyUpToCarriageReturnLeavesErrorFlagAlone) {
    peer->SetResponder([](const std::string&) { return std::string("ABC\rnext"); });
    link->Exchange("R001");
    EXPECT_EQ(link->state.replyLine, "ABC");
    EXPECT_FALSE(link->state.errorFlag);
    EXPECT_EQ(link->state.errorCode, 0);
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{"R001"}));
    // The bytes after the CR belong to whatever comes next.
    EXPECT_TRUE(PumpUntil([&] { return comm->InQueueCount() == 4; }));
}

TEST_F(CommandExchange, PartialReplyTimesOutWithCodeTwoAndKeepsThePart) {
    peer->SetResponder([](const std::string&) { return std::string("AB"); });
    link->Exchange("R001");
    EXPECT_EQ(link->state.replyLine, "AB");
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_TRUE(link->state.errorFlag);
    EXPECT_EQ(link->state.timeoutCounter, 0);
}

TEST_F(CommandExchange, StickyErrorFlagSendsNothingAndEmptiesTheReply) {
    link->state.errorFlag = true;
    link->state.replyLine = "old";
    link->Exchange("R001");
    link->Drain();
    EXPECT_EQ(link->state.replyLine, "");
    // Give the peer time to see anything that might have been sent.
    PumpFor(300ms);
    EXPECT_TRUE(peer->Commands().empty());
}

TEST_F(CommandExchange, AbortEndsTheWaitWithCodeSeven) {
    // "Abbrechen" is pressed while the exchange waits for a reply that never comes.
    peer->SetResponder([this](const std::string&) {
        link->state.abortFlag = true;
        return std::string();
    });
    link->Exchange("SERVICE002");
    EXPECT_EQ(link->state.errorCode, kErrUserAbort);
    EXPECT_TRUE(link->state.errorFlag);
    EXPECT_GT(link->state.timeoutCounter, 0) << "the abort, not the timeout, ended the wait";
}

TEST_F(CommandExchange, EmptyCommandSendsOnlyCarriageReturnAndWaitsForALine) {
    peer->SetResponder([](const std::string&) { return std::string("\r"); });
    link->Exchange("");
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{""}));
    EXPECT_EQ(link->state.replyLine, "");
    EXPECT_FALSE(link->state.errorFlag);
}

TEST_F(CommandExchange, OverlongReplyIsDroppedButTheCarriageReturnStillEndsIt) {
    peer->SetResponder([](const std::string&) { return std::string(5000, 'x') + "\r"; });
    link->Exchange("R001");
    EXPECT_EQ(link->state.replyLine, "");
    EXPECT_FALSE(link->state.errorFlag);
}

TEST_F(CommandExchange, ReplyArrivingByteByByteAcrossTicksIsAssembled) {
    peer->SetResponder([this](const std::string&) {
        for (int i = 0; i < 4; ++i) {
            QTimer::singleShot(60 * (i + 1), [this, i] { peer->Send(std::string(1, "SN4\r"[i])); });
        }
        return std::string();
    });
    link->Exchange("R004");
    EXPECT_EQ(link->state.replyLine, "SN4");
    EXPECT_FALSE(link->state.errorFlag);
}

TEST_F(CommandExchange, DrainDiscardsWhatArrivesUntilTheNextTick) {
    peer->Send("junk\rmore junk");
    ASSERT_TRUE(PumpUntil([&] { return comm->InQueueCount() > 0; }));
    link->Drain();
    EXPECT_EQ(comm->InQueueCount(), 0u);
    EXPECT_EQ(link->state.timeoutCounter, 0);
}

TEST_F(CommandExchange, WaitsGoBackToTheEventLoopWhileBytesAreStillWaiting) {
    // A sender faster than the reader keeps the queue from ever running empty; a wait
    // that only returned to the event loop on an empty queue would then never return.
    // Bytes queued beforehand show it without depending on the sender's speed.
    peer->SetResponder([](const std::string&) { return std::string(); });
    constexpr uint32_t kQueued = 3000;  // less than a pty shows at once
    int passesWithBytesWaiting = 0;
    QTimer everyPass;
    QObject::connect(&everyPass, &QTimer::timeout, [&] {
        // Reading has begun, and bytes are still there.
        const uint32_t left = comm->InQueueCount();
        passesWithBytesWaiting += left > 0 && left < kQueued ? 1 : 0;
    });
    everyPass.start(0);
    for (const bool drain : {false, true}) {
        SCOPED_TRACE(drain ? "drain" : "exchange");
        link->state.errorFlag = false;
        peer->Send(std::string(kQueued, 'x'));
        ASSERT_TRUE(PumpUntil([&] { return comm->InQueueCount() == kQueued; }));
        passesWithBytesWaiting = 0;
        if (drain) {
            link->Drain();
        } else {
            link->Exchange("R001");
        }
        EXPECT_GT(passesWithBytesWaiting, 0);
        EXPECT_EQ(comm->InQueueCount(), 0u);
    }
}

TEST_F(CommandExchange, ExchangeOnAClosedPortTimesOut) {
    link->ClosePort();
    link->Exchange("R001");
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_TRUE(link->state.errorFlag);
}
