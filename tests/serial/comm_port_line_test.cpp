// CommPort's watcher on a real line, on every back end: the POSIX one on a pty pair, the
// Win32 one under Wine on pty-backed COM ports (where Wine cannot wait for events on a pty,
// so the polling fallback answers).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/receive_count_probe.h"
#include "tests/serial/open_line.h"
#include "tests/serial/test_line.h"

using namespace std::chrono_literals;

namespace {

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

bool QueueReaches(CommPort& port, uint32_t count) {
    for (int i = 0; i < 2000; ++i) {
        if (port.QueueStatus().inQueue >= count) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

class CommPortLine : public OpenLine {
protected:
    /// Switches EV_RXCHAR on and takes the wake-up that the mask change itself gives.
    void WatchArrivals() {
        port_.SetEventMask(EV_RXCHAR_BIT);
        const std::optional<CommWaitResult> woken = NextEvent(port_, EV_RXCHAR_BIT, 10s);
        ASSERT_TRUE(woken);
        ASSERT_EQ(woken->status, CommWaitStatus::Woken);
    }
};

}  // namespace

TEST_F(CommPortLine, ReportsArrivalsNotWaitingBytes) {
    WatchArrivals();
    line_.DeviceWrite("AB");
    std::optional<CommWaitResult> result = NextEvent(port_, EV_RXCHAR_BIT);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Event);
    EXPECT_EQ(result->events, EV_RXCHAR_BIT);

    // The two bytes stay unread: that is no new arrival.
    EXPECT_FALSE(NextEvent(port_, EV_RXCHAR_BIT, 300ms));

    char byte = 0;
    EXPECT_EQ(port_.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 'A');
    line_.DeviceWrite("C");
    result = NextEvent(port_, EV_RXCHAR_BIT);
    if (result && result->status == CommWaitStatus::Woken) {
        result = NextEvent(port_, EV_RXCHAR_BIT);  // the wake-up that ended the quiet wait
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Event);
    ASSERT_TRUE(QueueReaches(port_, 2));
    EXPECT_EQ(port_.QueueStatus().inQueue, 2u);
}

TEST_F(CommPortLine, BytesThatCameWhileArrivalsWereNotWatchedAreNoEvent) {
    line_.DeviceWrite("early");
    ASSERT_TRUE(QueueReaches(port_, 5));
    WatchArrivals();
    EXPECT_FALSE(NextEvent(port_, EV_RXCHAR_BIT, 300ms));
}

TEST_F(CommPortLine, EventMaskWrittenDuringAWaitEndsIt) {
    WatchArrivals();
    const std::optional<CommWaitResult> result = NextEvent(port_, 0, 10s, [this] {
        // Long enough for a few failed waits, so that under Wine the wait has become polling.
        std::this_thread::sleep_for(200ms);
        port_.SetEventMask(0);  // what Close does to stop the watcher
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Woken);
}

namespace {

// The probe runs on the waiting thread; the test's state lives here for it.
struct ReadInTheWindow {
    CommPort* port = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
};
ReadInTheWindow* readInTheWindow = nullptr;

void ReadEverythingOnTheFirstCall() {
    std::lock_guard lock(readInTheWindow->mutex);
    if (readInTheWindow->calls++ == 0) {
        char buffer[64];
        while (readInTheWindow->port->Read(buffer, sizeof buffer) > 0) {
        }
    }
    readInTheWindow->changed.notify_all();
}

}  // namespace

// The watcher counts arrivals as bytes read plus bytes queued; a Read between its two
// looks must delay an event at most, never swallow a later one.
TEST_F(CommPortLine, AReadDuringTheCountNeverCostsALaterArrivalItsEvent) {
    WatchArrivals();
    line_.DeviceWrite("12345");
    ASSERT_TRUE(QueueReaches(port_, 5));
    ReadInTheWindow state;
    state.port = &port_;
    readInTheWindow = &state;
    SetReceiveCountProbe(ReadEverythingOnTheFirstCall);

    // The next bytes come once the wait that met the read has done its counting: when
    // it looks again (it reported something), or after a while (it went back to sleep).
    std::atomic<bool> nextBytesSent{false};
    std::thread device([&] {
        std::unique_lock lock(state.mutex);
        state.changed.wait(lock, [&] { return state.calls >= 1; });
        state.changed.wait_for(lock, 300ms, [&] { return state.calls >= 2; });
        nextBytesSent = true;
        lock.unlock();
        line_.DeviceWrite("67890");
    });

    bool nextBytesNotified = false;
    for (int wait = 0; wait < 3 && !nextBytesNotified; ++wait) {
        const std::optional<CommWaitResult> result = NextEvent(port_, EV_RXCHAR_BIT);
        if (!result || result->status != CommWaitStatus::Event) {
            break;
        }
        nextBytesNotified = nextBytesSent;
    }
    device.join();
    SetReceiveCountProbe(nullptr);
    readInTheWindow = nullptr;
    EXPECT_TRUE(nextBytesNotified) << "the bytes sent after the read raised no event";
}

TEST_F(CommPortLine, HangUpEndsTheWaitAsGoneAndStopsReadsAndWrites) {
    WatchArrivals();
    const std::optional<CommWaitResult> result =
        NextEvent(port_, EV_RXCHAR_BIT, 10s, [this] { line_.HangUp(); });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Gone);
    EXPECT_EQ(port_.QueueStatus().inQueue, 0u);
    char buffer[4];
    EXPECT_EQ(port_.Read(buffer, 4), 0);
    EXPECT_EQ(port_.Write("abcd", 4), 0);
}
