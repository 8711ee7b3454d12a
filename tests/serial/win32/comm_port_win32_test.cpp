// The Win32 back end against COM ports that Wine maps to pseudo-terminals, filled in by
// with_port_pairs.sh: COM5 and COM6 are the two ends of one line, COM7 and COM8 hang up
// after the first byte they receive. Wine cannot wait for port events on a pty, so the
// arrival tests run through the back end's polling fallback there.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/port_list.h"

using namespace std::chrono_literals;

namespace {

constexpr uint8_t kPort = 5;
constexpr uint8_t kPeer = 6;
constexpr uint8_t kHangUpPort = 7;

std::string AllBytes() {
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte) {
        bytes.push_back(static_cast<char>(byte));
    }
    return bytes;
}

// What the program asks for: 9600 baud, 8 data bits, no parity, one and a half stop bits.
// Windows refuses 1.5 stop bits with 8 data bits (the port keeps its settings), Wine takes
// them; the program does not look, and neither do these tests.
DCB ProgramSettings() {
    DCB settings = DefaultLineSettings();
    settings.StopBits = kOne5StopBits;
    return settings;
}

/// Everything `side` can read within `deadline`, stopping once `expected` bytes have come.
std::string ReadUpTo(CommPort& side, size_t expected, std::chrono::milliseconds deadline = 10s) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    char buffer[512];
    while (got.size() < expected && std::chrono::steady_clock::now() < end) {
        const int32_t n = side.Read(buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<size_t>(n));
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    return got;
}

/// Waits for the next port event as the component's watcher does: on a thread of its own,
/// pausing after failed waits, until a wait gives something other than a failure. `during`
/// runs on the calling thread meanwhile. Nothing when `deadline` passes first; the waiting
/// thread is then released by writing the mask `mask` again.
std::optional<CommWaitResult> NextEvent(CommPort& port, uint32_t mask,
                                        std::chrono::milliseconds deadline = 10s,
                                        const std::function<void()>& during = {}) {
    std::atomic<bool> giveUp{false};
    std::packaged_task<CommWaitResult()> task([&port, &giveUp] {
        for (;;) {
            const CommWaitResult result = port.WaitEvent();
            if (result.status != CommWaitStatus::Failed || giveUp) {
                return result;
            }
            std::this_thread::sleep_for(10ms);
        }
    });
    std::future<CommWaitResult> result = task.get_future();
    std::thread watcher(std::move(task));
    if (during) {
        during();
    }
    const bool ended = result.wait_for(deadline) == std::future_status::ready;
    if (!ended) {
        giveUp = true;
        port.SetEventMask(mask);
    }
    watcher.join();
    if (!ended) {
        return std::nullopt;
    }
    return result.get();
}

class Line : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(port_.Open(kPort));
        ASSERT_TRUE(peer_.Open(kPeer));
        port_.ApplySettings(ProgramSettings(), 2048, 2048);
        ASSERT_TRUE(peer_.ApplySettings(DefaultLineSettings(), 2048, 2048));
        // The line outlives the test: nothing of an earlier one may still be on it.
        port_.Purge();
        peer_.Purge();
    }
    void TearDown() override {
        port_.Close();
        peer_.Close();
    }

    CommPort port_;
    CommPort peer_;
};

}  // namespace

TEST(PortList, MappedPortsAreListedAndOthersDoNotOpen) {
    const std::vector<std::string> names = ListSerialPorts();
    for (const char* mapped : {"COM5", "COM6", "COM7", "COM8"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), mapped), names.end()) << mapped;
    }
    CommPort port;
    EXPECT_FALSE(port.Open(98));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(DevicePathOfPort(12), "\\\\.\\COM12");
    EXPECT_EQ(DevicePathOfPort(0), "");
}

TEST_F(Line, BytesTravelBothWaysEightBitClean) {
    // Every byte value arriving unchanged also shows raw mode: no XON/XOFF taken out, no
    // CR/LF translation, no eighth bit stripped.
    const std::string all = AllBytes();
    EXPECT_EQ(port_.Write(all.data(), static_cast<int32_t>(all.size())), 256);
    EXPECT_EQ(ReadUpTo(peer_, 256), all);
    EXPECT_EQ(peer_.Write(all.data(), static_cast<int32_t>(all.size())), 256);
    EXPECT_EQ(ReadUpTo(port_, 256), all);
    EXPECT_EQ(port_.QueueStatus().inQueue, 0u);
}

TEST_F(Line, LineSettingsGoToTheDriverWhichMayRefuseThem) {
    EXPECT_TRUE(port_.ApplySettings(DefaultLineSettings(), 4096, 1024));
    DCB fast = DefaultLineSettings();
    fast.BaudRate = 115200;
    fast.Parity = 2;  // even
    fast.Flags |= kDcbParity;
    EXPECT_TRUE(port_.ApplySettings(fast, 2048, 2048));
    DCB nine = DefaultLineSettings();
    nine.ByteSize = 9;
    EXPECT_FALSE(port_.ApplySettings(nine, 2048, 2048));
}

TEST_F(Line, ReadOfAnEmptyQueueTakesNothingAwayFromLaterBytes) {
    char buffer[16];
    // Nothing there: the read is left pending and must be cancelled, not go on reading.
    EXPECT_EQ(port_.Read(buffer, sizeof buffer), 0);
    peer_.Write("abc", 3);
    EXPECT_EQ(ReadUpTo(port_, 3), "abc");
}

TEST_F(Line, ReopenedPortKeepsWorking) {
    port_.Close();
    EXPECT_FALSE(port_.IsOpen());
    ASSERT_TRUE(port_.Open(kPort));
    port_.ApplySettings(ProgramSettings(), 2048, 2048);
    peer_.Write("\r\n", 2);
    EXPECT_EQ(ReadUpTo(port_, 2), "\r\n");
}

TEST_F(Line, ArrivalsAreReportedOnceNotWhileBytesWait) {
    port_.SetEventMask(EV_RXCHAR_BIT);
    peer_.Write("x", 1);
    std::optional<CommWaitResult> arrival = NextEvent(port_, EV_RXCHAR_BIT);
    ASSERT_TRUE(arrival);
    // A wake-up from the mask written above may come first.
    if (arrival->status == CommWaitStatus::Woken) {
        arrival = NextEvent(port_, EV_RXCHAR_BIT);
        ASSERT_TRUE(arrival);
    }
    EXPECT_EQ(arrival->status, CommWaitStatus::Event);
    EXPECT_EQ(arrival->events, EV_RXCHAR_BIT);

    // The byte stays unread: that is no new arrival.
    EXPECT_FALSE(NextEvent(port_, EV_RXCHAR_BIT, 300ms));

    peer_.Write("y", 1);
    std::optional<CommWaitResult> next = NextEvent(port_, EV_RXCHAR_BIT);
    if (next && next->status == CommWaitStatus::Woken) {
        next = NextEvent(port_, EV_RXCHAR_BIT);  // the wake-up that ended the quiet wait
    }
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, CommWaitStatus::Event);
    EXPECT_EQ(ReadUpTo(port_, 2), "xy");
}

TEST_F(Line, BytesThatCameWhileArrivalsWereNotWatchedAreNoEvent) {
    peer_.Write("early", 5);
    // Wait until they are in the queue, then switch EV_RXCHAR on.
    for (int i = 0; i < 1000 && port_.QueueStatus().inQueue < 5; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(port_.QueueStatus().inQueue, 5u);
    port_.SetEventMask(EV_RXCHAR_BIT);
    const std::optional<CommWaitResult> first = NextEvent(port_, EV_RXCHAR_BIT, 300ms);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, CommWaitStatus::Woken);  // the mask change, nothing else
    EXPECT_FALSE(NextEvent(port_, EV_RXCHAR_BIT, 300ms));
}

TEST_F(Line, EventMaskWrittenDuringAWaitEndsIt) {
    port_.SetEventMask(EV_RXCHAR_BIT);
    (void)NextEvent(port_, EV_RXCHAR_BIT, 100ms);  // takes the wake-up of the line above
    const std::optional<CommWaitResult> result = NextEvent(port_, 0, 10s, [this] {
        // Long enough for a few failed waits, so that under Wine the wait has become polling.
        std::this_thread::sleep_for(200ms);
        port_.SetEventMask(0);  // what Close does to stop the watcher
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Woken);
}

TEST(HangUp, PeerHangingUpEndsTheWaitAsGoneAndStopsReadsAndWrites) {
    CommPort port;
    ASSERT_TRUE(port.Open(kHangUpPort));
    port.ApplySettings(ProgramSettings(), 2048, 2048);
    port.SetEventMask(EV_RXCHAR_BIT);
    ASSERT_EQ(port.Write("!", 1), 1);  // the other end takes it and hangs up

    std::optional<CommWaitResult> result;
    for (int i = 0; i < 10 && !(result && result->status == CommWaitStatus::Gone); ++i) {
        result = NextEvent(port, EV_RXCHAR_BIT, 2s);
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Gone);
    char buffer[8];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.QueueStatus().inQueue, 0u);
    EXPECT_EQ(port.Write("?", 1), 0);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}
