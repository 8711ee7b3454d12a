// A Bluetooth COM port connects inside the open. Wine's open of a pty returns at once; a
// CreateFile that returns later stands in (slow_open_win32.h), so the component's wait for
// a slow open can be seen under Wine.

#include "tests/serial/win32/slow_open_win32.h"
// windows.h makes SetPort a macro (winspool's SetPortW); the component's SetPort is meant.
#undef SetPort

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <string>

#include "tests/serial/recording_comm.h"
#include "tests/serial/test_line.h"

TEST(WineSlowOpen, EventsRunWhileTheSystemOpensTheOpenWakesTheWaitAndCanBeGivenUp) {
    TestLine line;
    RecordingComm comm;
    comm.SetPort(line.Port());
    int waits = 0;
    comm.OnOpenWait = [&waits](TComm*) {
        ++waits;
        // Nothing else is due: only the component's wake-up ends this sleep.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return true;
    };
    SlowOpens("COM" + std::to_string(line.Port()), 300);
    EXPECT_TRUE(comm.Open());
    EXPECT_GE(waits, 1);
    EXPECT_TRUE(comm.Connected());
    comm.Close();

    // An open that never ends, given up by the owner after some timer ticks.
    SlowOpens("COM" + std::to_string(line.Port()), std::nullopt);
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
    NoSlowOpens();
}
