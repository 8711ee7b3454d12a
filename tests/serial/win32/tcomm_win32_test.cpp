// TComm under Wine on the pty-backed COM ports of with_port_pairs.sh (COM5 and COM6 are
// two ends of one line, COM7 hangs up after its first byte). Wine cannot wait for port
// events on a pty, so every notification here comes through the watcher's polling
// fallback: it must still arrive once per arrival, hold the hand-shake, and let Close
// return while notifications are pending.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <string>

#include "serial/comm_message.h"
#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/tcomm.h"
#include "tests/serial/event_pump.h"
#include "tests/serial/recording_comm.h"

using namespace std::chrono_literals;

namespace {

constexpr uint8_t kPort = 5;
constexpr uint8_t kPeer = 6;
constexpr uint8_t kHangUpPort = 7;

class WinePort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.Open(kPeer));
        ASSERT_TRUE(peer_.ApplySettings(DefaultLineSettings(), 2048, 2048));
        peer_.Purge();
        comm_.SetPort(kPort);
    }
    void TearDown() override {
        comm_.Close();  // also empties the line for the next test
        peer_.Close();
    }
    void DeviceWrite(const std::string& bytes) {
        ASSERT_EQ(peer_.Write(bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
    }

    CommPort peer_;  // the analyser's end of the line
    RecordingComm comm_;
};

}  // namespace

TEST_F(WinePort, OpenGivesTheFirstNotificationBeforeItReturns) {
    ASSERT_TRUE(comm_.Open());
    ASSERT_EQ(comm_.seen.size(), 1u);  // nothing pumped yet
    EXPECT_EQ(comm_.seen[0].message, static_cast<uint32_t>(WM_COMM_EVENT));
    EXPECT_EQ(comm_.seen[0].a, 0xFFFFFFFFu);
    EXPECT_FALSE(comm_.Open());
}

TEST_F(WinePort, ArrivalsAreNotifiedOnceWithTheQueueCount) {
    ASSERT_TRUE(comm_.Open());
    DeviceWrite("ABC\r");
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) > 0; }));
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);
    EXPECT_EQ(comm_.seen.back().a, 4u);

    // Unread bytes that were already reported are not reported again.
    PumpFor(300ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);
    EXPECT_EQ(comm_.InQueueCount(), 4u);

    // New bytes are, even while old ones still wait and after a partial read.
    EXPECT_EQ(comm_.ReadByte(), 'A');
    DeviceWrite("D");
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) > 1; }));
    EXPECT_EQ(comm_.ReadAll(), "BC\rD");
}

TEST_F(WinePort, NoSecondNotificationBeforeTheFirstIsHandled) {
    comm_.holdHandshake = true;
    ASSERT_TRUE(comm_.Open());
    DeviceWrite("A");
    ASSERT_TRUE(PumpUntil([&] { return comm_.holding; }));
    DeviceWrite("BC");
    PumpFor(300ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);

    comm_.holdHandshake = false;
    comm_.Finish();
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) >= 2; }));
    EXPECT_EQ(comm_.ReadAll(), "ABC");
}

TEST_F(WinePort, CloseReturnsWhileNotificationsArePending) {
    ASSERT_TRUE(comm_.Open());
    // Nothing is pumped: the first notification stays queued and the watcher, seeing more
    // data, blocks in its hand-shake.
    DeviceWrite("A");
    ASSERT_TRUE(WaitUntil([&] { return comm_.InQueueCount() == 1; }));
    DeviceWrite("B");
    ASSERT_TRUE(WaitUntil([&] { return comm_.InQueueCount() == 2; }));
    WaitUntil([] { return false; }, 100ms);  // lets the watcher reach its hand-shake
    comm_.Close();
    EXPECT_FALSE(comm_.Connected());

    // What was posted before Close still arrives; nothing after it.
    PumpFor(200ms);
    EXPECT_LE(comm_.Count(WM_COMM_RXCHAR), 1u);
    const size_t afterClose = comm_.seen.size();
    PumpFor(200ms);
    EXPECT_EQ(comm_.seen.size(), afterClose);

    // The component opens again, with a watcher that reports again.
    ASSERT_TRUE(comm_.Open());
    DeviceWrite("C");
    const size_t before = comm_.Count(WM_COMM_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return comm_.Count(WM_COMM_RXCHAR) > before; }));
    EXPECT_EQ(comm_.ReadAll(), "C");  // Close emptied the line
}

TEST_F(WinePort, CloseWhileAHandlerHoldsTheHandshake) {
    comm_.holdHandshake = true;
    ASSERT_TRUE(comm_.Open());
    DeviceWrite("A");
    ASSERT_TRUE(PumpUntil([&] { return comm_.holding; }));
    DeviceWrite("B");
    PumpFor(100ms);
    comm_.Close();
    EXPECT_FALSE(comm_.Connected());
    PumpFor(200ms);
    EXPECT_EQ(comm_.Count(WM_COMM_RXCHAR), 1u);
}

TEST(WineHangUp, OtherEndHangingUpIsToldByHungUpNotByANotification) {
    RecordingComm comm;
    comm.SetPort(kHangUpPort);
    comm.SetBaudRate(cbr9600);
    comm.SetStopBits(csbONE5);
    comm.SetParity(cpNONE);
    ASSERT_TRUE(comm.Open());
    comm.WriteByte('!');  // the other end takes it and hangs up
    // The hang-up shows as a queue that cannot be read any more; no notification reports
    // it, HungUp does.
    EXPECT_TRUE(PumpUntil([&] { return comm.HungUp(); }));
    EXPECT_EQ(comm.InQueueCount(), 0u);
    EXPECT_EQ(comm.ReadByte(), 0);
    EXPECT_EQ(comm.Count(WM_COMM_RXCHAR), 0u);
    EXPECT_EQ(comm.Count(WM_COMM_ERROR), 0u);
    EXPECT_TRUE(comm.Connected());  // until the owner closes it
    comm.Close();
    EXPECT_FALSE(comm.Connected());
}

// A Bluetooth COM port connects inside the open. Wine's open of a pty returns at once; the
// back end's test hook holds its outcome back instead (FUMILINK_TEST_SLOW_OPEN).
TEST(WineSlowOpen, EventsRunWhileTheSystemOpensTheOpenWakesTheWaitAndCanBeGivenUp) {
    RecordingComm comm;
    comm.SetPort(kPort);
    int waits = 0;
    comm.OnOpenWait = [&waits](TComm*) {
        ++waits;
        // Nothing else is due: only the component's wake-up ends this sleep.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return true;
    };
    qputenv("FUMILINK_TEST_SLOW_OPEN", "COM5:300");
    EXPECT_TRUE(comm.Open());
    EXPECT_GE(waits, 1);
    EXPECT_TRUE(comm.Connected());
    comm.Close();

    // An open that never ends, given up by the owner after some timer ticks.
    qputenv("FUMILINK_TEST_SLOW_OPEN", "COM8");
    comm.SetPort(8);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    comm.OnOpenWait = [&ticks](TComm*) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return ticks < 5;
    };
    const size_t notifications = comm.seen.size();
    EXPECT_FALSE(comm.Open());
    EXPECT_GE(ticks, 5) << "the timer ran while the open waited";
    EXPECT_FALSE(comm.Connected());
    EXPECT_EQ(comm.seen.size(), notifications) << "no notification from an open given up";
    qunsetenv("FUMILINK_TEST_SLOW_OPEN");
}
