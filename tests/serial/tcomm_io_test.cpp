// TComm on a real line, on every back end (a pty pair on Linux, pty-backed COM ports under
// Wine, where every notification comes through the watcher's polling fallback): opening
// and closing, bytes both ways, the watcher's notifications and their hand-shake, and a
// device that goes away.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/comm_message.h"
#include "serial/tcomm.h"
#include "tests/serial/recording_comm.h"
#include "tests/serial/test_line.h"
#include "tests/support/waits.h"

using namespace std::chrono_literals;

namespace {

// Counts the events of one type that reach the object it filters.
class EventCounter : public QObject {
public:
    EventCounter(uint32_t type, int& count) : type_(type), count_(count) {}
    bool eventFilter(QObject*, QEvent* event) override {
        count_ += static_cast<uint32_t>(event->type()) == type_ ? 1 : 0;
        return false;
    }

private:
    uint32_t type_;
    int& count_;
};

class TCommPort : public ::testing::Test {
protected:
    TestLine line_;
    RecordingComm comm_;

    void SetUp() override { comm_.SetPort(line_.Port()); }
    void TearDown() override { comm_.Close(); }
};

}  // namespace

TEST_F(TCommPort, OpenCallsTheFirstNotificationDirectlyWithAllEventBits) {
    int callsInsideOpen = -1;
    comm_.OnCommEvent = [this](TComm* sender, uint32_t events, uint32_t state) {
        EXPECT_EQ(sender, &comm_);
        EXPECT_EQ(events, 0xFFFFFFFFu);
        EXPECT_EQ(state, 0u);  // a pty has no modem lines
        EXPECT_TRUE(sender->Connected());
    };
    ASSERT_TRUE(comm_.Open());
    callsInsideOpen = static_cast<int>(comm_.Count(WM_COMM_EVENT));
    EXPECT_EQ(callsInsideOpen, 1);
    EXPECT_TRUE(comm_.Connected());
}

TEST_F(TCommPort, OpenTwiceFailsAndChangesNothing) {
    ASSERT_TRUE(comm_.Open());
    ASSERT_TRUE(SpinUntil([] { return WatcherCount() == 1; }));
    EXPECT_FALSE(comm_.Open());
    EXPECT_TRUE(comm_.Connected());
    EXPECT_FALSE(SpinUntil([] { return WatcherCount() > 1; }, 200ms));
    EXPECT_EQ(comm_.Count(WM_COMM_EVENT), 1u);
}

TEST_F(TCommPort, OpenOfAMissingPortFailsQuietly) {
    comm_.SetPort(TestLine::MissingPort());
    EXPECT_FALSE(comm_.Open());
    EXPECT_FALSE(comm_.Connected());
    EXPECT_TRUE(comm_.seen.empty());
    EXPECT_FALSE(SpinUntil([] { return WatcherCount() > 0; }, 200ms));
}

TEST_F(TCommPort, BytesTravelBothWaysEightBitClean) {
    ASSERT_TRUE(comm_.Open());
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    comm_.WriteBuffer(all.data(), static_cast<int32_t>(all.size()));
    EXPECT_EQ(line_.DeviceRead(all.size()), all);

    line_.DeviceWrite(all);
    std::string got;
    ASSERT_TRUE(PumpUntil([&] {
        got += comm_.ReadAll();
        return got.size() >= all.size();
    }));
    EXPECT_EQ(got, all);
}

TEST_F(TCommPort, ReadByteTellsNulFromNothingOnlyThroughHasData) {
    ASSERT_TRUE(comm_.Open());
    EXPECT_FALSE(comm_.HasData());
    EXPECT_EQ(comm_.ReadByte(), 0);

    line_.DeviceWrite(std::string(1, '\0'));
    ASSERT_TRUE(PumpUntil([&] { return comm_.HasData(); }));
    EXPECT_EQ(comm_.InQueueCount(), 1u);
    EXPECT_EQ(comm_.ReadByte(), 0);
    EXPECT_FALSE(comm_.HasData());

    for (uint8_t byte : {uint8_t{'R'}, uint8_t{0xFF}}) {
        comm_.WriteByte(byte);  // the argument is a copy: returns after handing it over
    }
    EXPECT_EQ(line_.DeviceRead(2), "R\xFF");
}

TEST_F(TCommPort, ClosedComponentReadsWritesAndCountsNothing) {
    uint8_t buffer[4] = {7, 7, 7, 7};
    EXPECT_EQ(comm_.ReadBuffer(buffer, 4), 0);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(comm_.ReadByte(), 0);
    EXPECT_EQ(comm_.InQueueCount(), 0u);
    EXPECT_FALSE(comm_.HasData());
    comm_.WriteByte('x');
    comm_.Close();  // closing a closed component does nothing
    EXPECT_FALSE(comm_.Connected());

    ASSERT_TRUE(comm_.Open());
    comm_.Close();
    line_.DeviceWrite("late");
    comm_.WriteByte('x');
    EXPECT_EQ(comm_.ReadByte(), 0);
    EXPECT_EQ(comm_.InQueueCount(), 0u);
    EXPECT_EQ(line_.DeviceRead(1, 200ms), "");
}

TEST_F(TCommPort, CloseDiscardsWhatWasNotRead) {
    ASSERT_TRUE(comm_.Open());
    line_.DeviceWrite("stale");
    ASSERT_TRUE(SpinUntil([&] { return comm_.InQueueCount() == 5; }));
    comm_.Close();
    ASSERT_TRUE(comm_.Open());
    EXPECT_EQ(comm_.InQueueCount(), 0u);
    line_.DeviceWrite("fresh");
    ASSERT_TRUE(SpinUntil([&] { return comm_.InQueueCount() == 5; }));
    EXPECT_EQ(comm_.ReadAll(), "fresh");
}

TEST_F(TCommPort, ReceivedDataIsNotifiedOnceWithTheQueueCount) {
    uint32_t lastCount = 0;
    int calls = 0;
    comm_.OnCharReceived = [&](TComm* sender, uint32_t cbInQue) {
        EXPECT_EQ(sender, &comm_);
        lastCount = cbInQue;
        ++calls;
    };
    ASSERT_TRUE(comm_.Open());
    line_.DeviceWrite("ABC\r");
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(lastCount, 4u);

    // Unread bytes that were already reported are not reported again.
    PumpFor(300ms);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(comm_.InQueueCount(), 4u);

    // New bytes are, even while old ones still wait, and even after partial reads.
    EXPECT_EQ(comm_.ReadByte(), 'A');
    line_.DeviceWrite("D");
    ASSERT_TRUE(PumpUntil([&] { return calls > 1; }));
    EXPECT_EQ(lastCount, 4u);
    EXPECT_EQ(comm_.ReadAll(), "BC\rD");
}

TEST_F(TCommPort, NoSecondNotificationBeforeTheFirstIsHandled) {
    comm_.holdHandshake = true;
    ASSERT_TRUE(comm_.Open());
    line_.DeviceWrite("A");
    ASSERT_TRUE(PumpUntil([&] { return comm_.holding; }));
    line_.DeviceWrite("BC");
    PumpFor(300ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);

    comm_.holdHandshake = false;
    comm_.Finish();
    // Finish releases the hand-shake; the watcher's next notification carries the count
    // of its own wait, which had all three bytes.
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) >= 2; }));
    EXPECT_EQ(comm_.seen.back().a, 3u);
}

TEST_F(TCommPort, CloseReturnsWhileTheWatcherWaitsBehindAnUnhandledNotification) {
    ASSERT_TRUE(comm_.Open());
    EXPECT_TRUE(SpinUntil([] { return WatcherCount() == 1; }));
    // Nothing is pumped: the first notification stays queued and the watcher, seeing more
    // data, blocks in its hand-shake.
    line_.DeviceWrite("A");
    ASSERT_TRUE(SpinUntil([&] { return comm_.InQueueCount() == 1; }));
    line_.DeviceWrite("B");
    ASSERT_TRUE(SpinUntil([&] { return comm_.InQueueCount() == 2; }));
    std::this_thread::sleep_for(100ms);  // lets the watcher reach its hand-shake
    comm_.Close();
    EXPECT_FALSE(comm_.Connected());
    EXPECT_TRUE(SpinUntil([] { return WatcherCount() == 0; }));

    // What was posted before Close still arrives; nothing after it.
    PumpFor(200ms);
    EXPECT_LE(comm_.Count(WM_COMM_RXCHAR), 1u);
    const size_t afterClose = comm_.seen.size();
    PumpFor(200ms);
    EXPECT_EQ(comm_.seen.size(), afterClose);

    // The component opens again, with a fresh watcher that reports again.
    ASSERT_TRUE(comm_.Open());
    EXPECT_TRUE(SpinUntil([] { return WatcherCount() == 1; }));
    line_.DeviceWrite("C");
    const size_t before = comm_.Count(WM_COMM_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) > before; }));
    EXPECT_EQ(comm_.ReadAll(), "C");  // Close emptied the line
}

TEST_F(TCommPort, CloseWhileAHandlerHoldsTheHandshake) {
    comm_.holdHandshake = true;
    ASSERT_TRUE(comm_.Open());
    line_.DeviceWrite("A");
    ASSERT_TRUE(PumpUntil([&] { return comm_.holding; }));
    line_.DeviceWrite("B");
    PumpFor(100ms);
    comm_.Close();
    EXPECT_TRUE(SpinUntil([] { return WatcherCount() == 0; }));
    PumpFor(200ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);
}

TEST_F(TCommPort, ForeignlyTaggedMessagesAreDropped) {
    bool called = false;
    comm_.OnCharReceived = [&](TComm*, uint32_t) { called = true; };
    comm_.OnCommError = [&](TComm*, uint32_t) { called = true; };
    TCommMessage rx(WM_COMM_RXCHAR, 5, 7);
    TCommMessage error(WM_COMM_ERROR, 5, 7);
    EXPECT_TRUE(QCoreApplication::sendEvent(comm_.MessageWindow(), &rx));
    EXPECT_TRUE(QCoreApplication::sendEvent(comm_.MessageWindow(), &error));
    EXPECT_FALSE(called);
    EXPECT_TRUE(comm_.seen.empty());

    TCommMessage tagged(WM_COMM_RXCHAR, 5, kCommMessageTag);
    QCoreApplication::sendEvent(comm_.MessageWindow(), &tagged);
    EXPECT_TRUE(called);
    ASSERT_EQ(comm_.seen.size(), 1u);
    EXPECT_EQ(comm_.seen[0].a, 5u);
}

TEST_F(TCommPort, LineEventsGoToOnCommEventWithTheEventWord) {
    comm_.OnCommEvent = [](TComm*, uint32_t, uint32_t) {};
    TCommMessage event(WM_COMM_EVENT, EV_CTS_BIT, MS_CTS_ON_BIT);
    QCoreApplication::sendEvent(comm_.MessageWindow(), &event);
    ASSERT_EQ(comm_.seen.size(), 1u);
    EXPECT_EQ(comm_.seen[0].a, EV_CTS_BIT);
    EXPECT_EQ(comm_.seen[0].b, MS_CTS_ON_BIT);
}

TEST_F(TCommPort, EventMaskWrittenWhileOpenTakesEffectAtOnce) {
    ASSERT_TRUE(comm_.Open());
    comm_.SetEventMask(EventBit(cevBREAK));
    line_.DeviceWrite("A");
    PumpFor(300ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 0u);

    comm_.SetEventMask(EventBit(cevRXCHAR));
    line_.DeviceWrite("B");
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) > 0; }));
    EXPECT_EQ(comm_.seen.back().a, 2u);
}

TEST_F(TCommPort, DeviceGoingAwayStopsTheWatcherAndSaysSo) {
    // A waiting owner must be woken: count the wake-ups the message window receives.
    int wakeUps = 0;
    EventCounter counter(WM_COMM_WAKE, wakeUps);
    comm_.MessageWindow()->installEventFilter(&counter);
    ASSERT_TRUE(comm_.Open());
    ASSERT_TRUE(SpinUntil([] { return WatcherCount() == 1; }));
    EXPECT_FALSE(comm_.HungUp());
    line_.HangUp();
    // The watcher notices the hang-up and ends by itself, posting no notification.
    ASSERT_TRUE(PumpUntil([] { return WatcherCount() == 0; }));
    EXPECT_TRUE(comm_.HungUp());
    EXPECT_TRUE(PumpUntil([&] { return wakeUps == 1; }));
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 0u);
    EXPECT_EQ(comm_.Count(WM_COMM_EVENT), 1u);  // only Open's own

    // Everything on the dead port returns at once without effect.
    EXPECT_TRUE(comm_.Connected());
    comm_.WriteBuffer("hello", 5);
    EXPECT_EQ(comm_.ReadByte(), 0);
    EXPECT_FALSE(comm_.HasData());
    comm_.Close();
    EXPECT_FALSE(comm_.Connected());
    EXPECT_FALSE(comm_.HungUp()) << "a closed port has nothing to hang up";
}

TEST_F(TCommPort, DestroyingAnOpenComponentClosesIt) {
    {
        TComm other(nullptr);
        other.SetPort(line_.Port());
        ASSERT_TRUE(other.Open());
        ASSERT_TRUE(SpinUntil([] { return WatcherCount() == 1; }));
        line_.DeviceWrite("A");  // leaves a notification queued for a window that goes
        ASSERT_TRUE(SpinUntil([&] { return other.InQueueCount() == 1; }));
    }
    EXPECT_TRUE(SpinUntil([] { return WatcherCount() == 0; }));
    PumpFor(100ms);
    ASSERT_TRUE(comm_.Open());
}
