// The Win32 open on a thread of its own, under Wine on the pty-backed COM5 of
// with_port_pairs.sh. Wine's CreateFile of a pty returns at once; the slow and the never
// answered open of a Bluetooth port are a CreateFile that returns that much later, or never
// (slow_open_win32.h).

#include "tests/serial/win32/slow_open_win32.h"

#include <gtest/gtest.h>

#include <string>

#include "serial/comm_open.h"
#include "serial/comm_open_probe_win32.h"

namespace {

const std::string kPath = "\\\\.\\COM5";

class SlowOpen : public ::testing::Test {
protected:
    void TearDown() override { NoSlowOpens(); }
};

HANDLE lateDeviceClosed = nullptr;

void TellLateDeviceClosed() {
    SetEvent(lateDeviceClosed);
}

}  // namespace

TEST_F(SlowOpen, AnOrdinaryPortOpensWithoutTheCallersWait) {
    int waits = 0;
    CommOpenWait wait;
    wait.wait = [&waits] {
        ++waits;
        return true;
    };
    CommOpenError error;
    const CommHandle device = OpenCommDevice(kPath, wait, error);
    ASSERT_NE(device, kNoCommHandle);
    EXPECT_EQ(waits, 0);
    CloseHandle(reinterpret_cast<HANDLE>(device));
}

TEST_F(SlowOpen, TheCallerWaitsItsOwnWayAndIsWokenWhenTheOpenIsDone) {
    SlowOpens("COM5", 300);
    HANDLE woken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int waits = 0;
    int wakeUps = 0;
    CommOpenWait wait;
    wait.wait = [&] {
        ++waits;
        // Sleeps as an event loop would, until the wake-up comes.
        return WaitForSingleObject(woken, 10000) == WAIT_OBJECT_0;
    };
    wait.wake = [&] {
        ++wakeUps;
        SetEvent(woken);
    };
    CommOpenError error;
    const CommHandle device = OpenCommDevice(kPath, wait, error);
    ASSERT_NE(device, kNoCommHandle);
    EXPECT_GE(waits, 1);
    EXPECT_EQ(wakeUps, 1);
    CloseHandle(reinterpret_cast<HANDLE>(device));
    CloseHandle(woken);
}

TEST_F(SlowOpen, AnOpenGivenUpIsNotWaitedForAndWhatArrivesLaterIsClosed) {
    lateDeviceClosed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetLateDeviceProbe(TellLateDeviceClosed);
    SlowOpens("COM5", 500);
    int wakeUps = 0;
    CommOpenWait wait;
    wait.wait = [] { return false; };  // "Abbrechen" at once
    wait.wake = [&wakeUps] { ++wakeUps; };
    CommOpenError error;
    EXPECT_EQ(OpenCommDevice(kPath, wait, error), kNoCommHandle);
    EXPECT_EQ(error.failure, CommOpenFailure::GivenUp);
    EXPECT_NE(WaitForSingleObject(lateDeviceClosed, 0), WAIT_OBJECT_0) << "not waited for";
    EXPECT_EQ(WaitForSingleObject(lateDeviceClosed, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(wakeUps, 0) << "no wake-up after the caller gave up";
    SetLateDeviceProbe(nullptr);
    CloseHandle(lateDeviceClosed);

    // An open that never answers ends the same way for the caller. (COM8, which no other
    // test uses: the device stays open behind the stalled thread for good.)
    SlowOpens("COM8", std::nullopt);
    EXPECT_EQ(OpenCommDevice("\\\\.\\COM8", wait, error), kNoCommHandle);
}
