#include <QCoreApplication>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

class CommandExchangeTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        peer = &AddPeer(5);
        OpenPort(5);
    }
    ScriptedPeer* peer = nullptr;
};

}  // namespace

TEST_F(CommandExchangeTest, ReplyUpToCarriageReturnLeavesErrorFlagAlone) {
    peer->SetResponder([](const std::string&) { return std::string("ABC\rnext"); });
    link->Exchange("R001");
    EXPECT_EQ(exchange().ReplyLine(), "ABC");
    EXPECT_FALSE(exchange().ErrorFlag());
    EXPECT_EQ(exchange().ErrorCode(), 0);
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{"R001"}));
    // The bytes after the CR belong to whatever comes next.
    EXPECT_EQ(comm().InQueueCount(), 4u);
}

TEST_F(CommandExchangeTest, PartialReplyTimesOutAfterTenTicksWithCodeTwoAndKeepsThePart) {
    peer->SetResponder([](const std::string&) { return std::string("AB"); });
    const auto start = clock.Now();
    link->Exchange("R001");
    EXPECT_EQ(exchange().ReplyLine(), "AB");
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_TRUE(exchange().ErrorFlag());
    EXPECT_EQ(exchange().TimeoutCounter(), 0);
    EXPECT_EQ(clock.Now() - start, 1000ms) << "ten ticks of the time-out timer";
}

TEST_F(CommandExchangeTest, StickyErrorFlagSendsNothingAndEmptiesTheReply) {
    peer->SetResponder([](const std::string&) { return std::string("AB"); });
    link->Exchange("R001");  // fails: the flag is set, the reply holds "AB"
    ASSERT_TRUE(exchange().ErrorFlag());
    ASSERT_EQ(exchange().ReplyLine(), "AB");
    const auto start = clock.Now();
    link->Exchange("R002");
    link->Drain();
    EXPECT_EQ(exchange().ReplyLine(), "");
    EXPECT_EQ(peer->Commands(), std::vector<std::string>{"R001"});
    EXPECT_EQ(clock.Now(), start) << "neither waited";
}

TEST_F(CommandExchangeTest, AbortEndsTheWaitWithCodeSeven) {
    // "Abbrechen" is pressed while the exchange waits for a reply that never comes.
    peer->SetResponder([this](const std::string&) {
        clock.After(300ms, [this] { link->Abort(); });
        return std::string();
    });
    link->Exchange("SERVICE002");
    EXPECT_EQ(exchange().ErrorCode(), kErrUserAbort);
    EXPECT_TRUE(exchange().ErrorFlag());
    EXPECT_GT(exchange().TimeoutCounter(), 0) << "the abort, not the timeout, ended the wait";
}

TEST_F(CommandExchangeTest, EmptyCommandSendsOnlyCarriageReturnAndWaitsForALine) {
    peer->SetResponder([](const std::string&) { return std::string("\r"); });
    link->Exchange("");
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{""}));
    EXPECT_EQ(exchange().ReplyLine(), "");
    EXPECT_FALSE(exchange().ErrorFlag());
}

TEST_F(CommandExchangeTest, OverlongReplyIsDroppedButTheCarriageReturnStillEndsIt) {
    peer->SetResponder([](const std::string&) { return std::string(5000, 'x') + "\r"; });
    link->Exchange("R001");
    EXPECT_EQ(exchange().ReplyLine(), "");
    EXPECT_FALSE(exchange().ErrorFlag());
}

TEST_F(CommandExchangeTest, ReplyArrivingByteByByteAcrossTicksIsAssembled) {
    peer->SetResponder([this](const std::string&) {
        for (int i = 0; i < 4; ++i) {
            clock.After(60ms * (i + 1), [this, i] { peer->Send(std::string(1, "SN4\r"[i])); });
        }
        return std::string();
    });
    link->Exchange("R004");
    EXPECT_EQ(exchange().ReplyLine(), "SN4");
    EXPECT_FALSE(exchange().ErrorFlag());
}

TEST_F(CommandExchangeTest, DrainDiscardsWhatArrivesUntilTheNextTick) {
    peer->Send("junk\rmore junk");
    clock.After(50ms, [this] { peer->Send("late"); });
    link->Drain();
    EXPECT_EQ(comm().InQueueCount(), 0u);
    EXPECT_EQ(exchange().TimeoutCounter(), 0);
    EXPECT_EQ(clock.Now(), 100ms) << "until the next tick of the time-out timer";
}

TEST_F(CommandExchangeTest, WaitsGoBackToTheEventLoopWhileBytesAreStillWaiting) {
    // A sender faster than the reader keeps the queue from ever running empty; a wait
    // that only returned to the event loop on an empty queue would then never return.
    // Bytes queued beforehand show it without depending on the sender's speed.
    peer->SetResponder([](const std::string&) { return std::string(); });
    constexpr uint32_t kQueued = 3000;
    int passesWithBytesWaiting = 0;
    for (const bool drain : {false, true}) {
        SCOPED_TRACE(drain ? "drain" : "exchange");
        link->ClosePort();
        OpenPort(5);  // a fresh open clears the error flag the exchange left
        peer->Send(std::string(kQueued, 'x'));
        passesWithBytesWaiting = 0;
        // Posted events run at every visit to the event loop; count the visits that find
        // reading begun and bytes still there.
        std::function<void()> countPass;
        countPass = [&] {
            const uint32_t left = comm().InQueueCount();
            passesWithBytesWaiting += left > 0 && left < kQueued ? 1 : 0;
            if (left > 0) {
                QMetaObject::invokeMethod(QCoreApplication::instance(), countPass,
                                          Qt::QueuedConnection);
            }
        };
        QMetaObject::invokeMethod(QCoreApplication::instance(), countPass, Qt::QueuedConnection);
        if (drain) {
            link->Drain();
        } else {
            link->Exchange("R001");
        }
        EXPECT_GT(passesWithBytesWaiting, 0);
        EXPECT_EQ(comm().InQueueCount(), 0u);
    }
}

TEST_F(CommandExchangeTest, ExchangeOnAClosedPortTimesOut) {
    link->ClosePort();
    link->Exchange("R001");
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_TRUE(exchange().ErrorFlag());
}
