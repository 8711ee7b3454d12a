// The Win32 back end against drivers that Wine cannot imitate: a test table of
// communications calls (comm_api_win32.h) stands in for the driver where Windows is
// stricter or slower than Wine, and passes everything else to Wine's port.

#include "serial/windows_dcb_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "serial/comm_api_win32.h"
#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/default_line_settings.h"
#include "tests/serial/test_line.h"

using namespace std::chrono_literals;

namespace {

constexpr ULONG_PTR kStatusCancelled = 0xC0000120;

// What the stand-in driver does; the test sets it, the table's functions read it.
struct Driver {
    // SetCommState refuses what Windows' serial drivers refuse.
    bool strict = false;
    DCB lastState{};
    std::optional<COMMTIMEOUTS> lastTimeouts;
    // Writes that never complete (a Bluetooth link whose analyser went out of range), or
    // that the driver's write time-out ends with nothing written.
    enum class Writes { Pass, Hang, TimeOut } writes = Writes::Pass;
    std::atomic<int> writeCalls{0};
    // Waits: complete at once with EV_RXCHAR the first `rememberedRxChars` times (Windows
    // remembers bytes that came after the previous wait ended), then stay pending.
    bool ownWaits = false;
    std::atomic<int> rememberedRxChars{0};
    std::atomic<int> waitCalls{0};
    // An adapter pulled out: the wait or the queue look fails with this error (0: no).
    DWORD waitError = 0;
    DWORD queueError = 0;
    // Bytes written that the driver holds (a Bluetooth stack whose open returned before
    // its link was up); 0: what Wine's port says.
    DWORD outQueue = 0;
    // Reads that never complete.
    enum class Reads { Pass, Hang } reads = Reads::Pass;
    // A line error while the settings ask the driver to abort on errors (fAbortOnError):
    // it accepts no request but ClearCommError, waits included (ERROR_OPERATION_ABORTED),
    // until ClearCommError has taken the error word (CE_FRAME).
    std::atomic<bool> abortedForLineError{false};
    // The system the back end is told it runs on: Windows in place of Wine.
    std::atomic<bool> windows{false};
    // A handle that is no serial port: GetCommState fails (ERROR_GEN_FAILURE), as it does
    // on what Wine opens for a mapped port whose device has gone.
    std::atomic<bool> noLineSettings{false};
    // CancelIoEx is taken, and nothing comes of it: drivers need not honour it.
    std::atomic<bool> deafToCancel{false};
    // SetCommMask completes the pending wait with an empty event word, as Windows does, and
    // lets the owner's thread go on only once the watcher has seen that (the test counts
    // the watcher's returns in waitReturns). EndsNextWait: the wait completed is the next
    // one after waitCallsBeforeChange, which a wake-up before the mask change gives.
    enum class MaskChange { System, EndsWait, EndsNextWait } maskChange = MaskChange::System;
    std::atomic<int> waitCallsBeforeChange{0};
    std::atomic<int> waitReturns{0};
    // Records the driver holds pending until they are cancelled; the last wait held.
    std::mutex lock;
    std::set<LPOVERLAPPED> pending;
    LPOVERLAPPED heldWait = nullptr;
    LPDWORD heldWaitEvents = nullptr;
};
Driver* driver = nullptr;

void HoldPending(LPOVERLAPPED record) {
    record->Internal = STATUS_PENDING;
    {
        std::lock_guard guard(driver->lock);
        driver->pending.insert(record);
    }
    SetLastError(ERROR_IO_PENDING);
}

// Ends a held operation as a cancel does. False when it was not held.
bool EndHeld(LPOVERLAPPED record, ULONG_PTR status) {
    {
        std::lock_guard guard(driver->lock);
        if (driver->pending.erase(record) == 0) {
            return false;
        }
    }
    record->Internal = status;
    record->InternalHigh = 0;
    SetEvent(record->hEvent);
    return true;
}

// The stand-in driver's own pace: waits for the other thread, a few seconds at the most.
void Until(const std::function<bool()>& done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
}

BOOL WINAPI StrictSetCommState(HANDLE handle, LPDCB state) {
    std::memcpy(&driver->lastState, state, sizeof(DCB));
    const Win32Dcb& dcb = *state;
    const bool invalid = dcb.ByteSize < 5 || dcb.ByteSize > 8 || !dcb.fBinary ||
                         (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize > 5) ||
                         (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) ||
                         dcb.XonChar == dcb.XoffChar || dcb.BaudRate == 0;
    if (driver->strict && invalid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return SystemCommApi().SetCommState(handle, state);
}

BOOL WINAPI ReadableGetCommState(HANDLE handle, LPDCB state) {
    if (driver->noLineSettings) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return SystemCommApi().GetCommState(handle, state);
}

BOOL WINAPI RecordedSetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    driver->lastTimeouts = *timeouts;
    return SystemCommApi().SetCommTimeouts(handle, timeouts);
}

BOOL WINAPI SlowWriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD written,
                          LPOVERLAPPED record) {
    ++driver->writeCalls;
    switch (driver->writes) {
        case Driver::Writes::Pass:
            break;
        case Driver::Writes::Hang:
            HoldPending(record);
            return FALSE;
        case Driver::Writes::TimeOut:
            // As Windows reports it: the write succeeded, with nothing written.
            record->Internal = 0;
            record->InternalHigh = 0;
            SetEvent(record->hEvent);
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
    }
    return SystemCommApi().WriteFile(handle, buffer, count, written, record);
}

BOOL WINAPI OwnWaitCommEvent(HANDLE handle, LPDWORD events, LPOVERLAPPED record) {
    ++driver->waitCalls;
    if (driver->abortedForLineError) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }
    if (driver->waitError != 0) {
        SetLastError(driver->waitError);
        return FALSE;
    }
    if (!driver->ownWaits) {
        return SystemCommApi().WaitCommEvent(handle, events, record);
    }
    if (driver->rememberedRxChars > 0) {
        --driver->rememberedRxChars;
        *events = EV_RXCHAR;
        return TRUE;
    }
    {
        std::lock_guard guard(driver->lock);
        driver->heldWait = record;
        driver->heldWaitEvents = events;
    }
    HoldPending(record);
    return FALSE;
}

BOOL WINAPI SlowReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD read,
                         LPOVERLAPPED record) {
    if (driver->reads == Driver::Reads::Hang) {
        HoldPending(record);
        return FALSE;
    }
    return SystemCommApi().ReadFile(handle, buffer, count, read, record);
}

BOOL WINAPI WaitEndingSetCommMask(HANDLE handle, DWORD mask) {
    if (driver->maskChange == Driver::MaskChange::System) {
        return SystemCommApi().SetCommMask(handle, mask);
    }
    if (driver->maskChange == Driver::MaskChange::EndsNextWait) {
        Until([] { return driver->waitCalls > driver->waitCallsBeforeChange; });
    }
    LPOVERLAPPED record = nullptr;
    {
        std::lock_guard guard(driver->lock);
        if (driver->heldWait == nullptr || driver->pending.erase(driver->heldWait) == 0) {
            return TRUE;  // no wait pending
        }
        record = driver->heldWait;
        *driver->heldWaitEvents = 0;
    }
    record->Internal = 0;
    record->InternalHigh = 0;
    const int returns = driver->waitReturns;
    SetEvent(record->hEvent);
    Until([returns] { return driver->waitReturns > returns; });
    return TRUE;
}

BOOL WINAPI PulledClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) {
    if (driver->queueError != 0) {
        SetLastError(driver->queueError);
        return FALSE;
    }
    if (!SystemCommApi().ClearCommError(handle, errors, status)) {
        return FALSE;
    }
    if (driver->abortedForLineError.exchange(false) && errors != nullptr) {
        *errors |= CE_FRAME;
    }
    if (driver->outQueue != 0 && status != nullptr) {
        status->cbOutQue = driver->outQueue;
    }
    return TRUE;
}

BOOL WINAPI CancelHeld(HANDLE handle, LPOVERLAPPED record) {
    {
        std::lock_guard guard(driver->lock);
        if (driver->pending.count(record) == 0) {
            return SystemCommApi().CancelIoEx(handle, record);
        }
    }
    if (!driver->deafToCancel) {
        EndHeld(record, kStatusCancelled);
    }
    return TRUE;
}

bool StandInIsWine() {
    return !driver->windows && SystemCommApi().IsWine();
}

// What the driver holds, ended after all (so that a thread stuck on it gets free).
void EndEveryHeld() {
    std::set<LPOVERLAPPED> held;
    {
        std::lock_guard guard(driver->lock);
        held = driver->pending;
    }
    for (LPOVERLAPPED record : held) {
        EndHeld(record, kStatusCancelled);
    }
}

// Puts the stand-in driver in place for one test; Wine's port is behind it.
class StandInDriver : public ::testing::Test {
protected:
    void SetUp() override {
        driver = &state_;
        api_ = SystemCommApi();
        api_.SetCommState = StrictSetCommState;
        api_.GetCommState = ReadableGetCommState;
        api_.SetCommTimeouts = RecordedSetCommTimeouts;
        api_.WriteFile = SlowWriteFile;
        api_.ReadFile = SlowReadFile;
        api_.SetCommMask = WaitEndingSetCommMask;
        api_.WaitCommEvent = OwnWaitCommEvent;
        api_.ClearCommError = PulledClearCommError;
        api_.CancelIoEx = CancelHeld;
        api_.IsWine = StandInIsWine;
        ReplaceCommApi(&api_);
        ASSERT_TRUE(port_.Open(line_.Port()));
    }
    void TearDown() override {
        port_.Close();
        ReplaceCommApi(nullptr);
        driver = nullptr;
    }

    /// WaitEvent on a thread of its own, as the watcher calls it; ended by `during`.
    CommWaitResult WaitDuring(const std::function<void()>& during) {
        std::future<CommWaitResult> result =
            std::async(std::launch::async, [this] { return port_.WaitEvent(); });
        during();
        return result.get();
    }
    /// WaitEvent as the watcher calls it, again after each failed wait: the first other
    /// result, or nothing when none comes within 10 s.
    std::optional<CommWaitStatus> FirstNotFailed() {
        std::atomic<bool> giveUp{false};
        std::future<CommWaitStatus> result = std::async(std::launch::async, [this, &giveUp] {
            for (;;) {
                const CommWaitResult waited = port_.WaitEvent();
                if (waited.status != CommWaitStatus::Failed || giveUp) {
                    return waited.status;
                }
                std::this_thread::sleep_for(10ms);
            }
        });
        if (result.wait_for(10s) == std::future_status::ready) {
            return result.get();
        }
        giveUp = true;
        port_.SetEventMask(EV_RXCHAR_BIT);
        result.wait();
        return std::nullopt;
    }

    /// `operation` on a thread of its own: its result, or nothing when it has not ended
    /// within 30 s (what the driver holds is then ended, so the thread gets free).
    template <typename Result>
    std::optional<Result> Ends(const std::function<Result()>& operation) {
        std::future<Result> result = std::async(std::launch::async, operation);
        if (result.wait_for(30s) == std::future_status::ready) {
            return result.get();
        }
        state_.deafToCancel = false;
        EndEveryHeld();
        result.wait();
        return std::nullopt;
    }

    Driver state_;
    CommApi api_{};
    TestLine line_;
    CommPort port_;
};

}  // namespace

// Windows refuses the whole record for one field it cannot do, and the port then keeps
// what the last program left; what the program asks for must reach the driver valid.
TEST_F(StandInDriver, SettingsWindowsRefusesReachTheDriverValid) {
    state_.strict = true;
    DCB search = DefaultLineSettings();
    search.StopBits = kOne5StopBits;  // what the port search sets, with 8 data bits
    EXPECT_TRUE(port_.ApplySettings(search, 2048, 2048));
    EXPECT_EQ(state_.lastState.StopBits, kOneStopBit);
    EXPECT_EQ(state_.lastState.ByteSize, 8);

    // A PC without COM1 gives the component a zero-filled record to start from.
    DCB zero{};
    zero.BaudRate = 9600;
    zero.StopBits = kOne5StopBits;
    EXPECT_TRUE(port_.ApplySettings(zero, 2048, 2048));
    EXPECT_EQ(state_.lastState.ByteSize, 8);
    EXPECT_NE(state_.lastState.Flags & kDcbBinary, 0u);
}

TEST_F(StandInDriver, TimeOutsAreSetOnOpenAndFollowTheRate) {
    ASSERT_TRUE(state_.lastTimeouts);
    EXPECT_EQ(state_.lastTimeouts->ReadIntervalTimeout, MAXDWORD);  // reads take what is there
    EXPECT_EQ(state_.lastTimeouts->ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(state_.lastTimeouts->ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(state_.lastTimeouts->WriteTotalTimeoutConstant, 2000u);
    DCB fast = DefaultLineSettings();
    fast.BaudRate = 115200;
    ASSERT_TRUE(port_.ApplySettings(fast, 2048, 2048));
    EXPECT_EQ(state_.lastTimeouts->WriteTotalTimeoutMultiplier, 1u);
    ASSERT_TRUE(port_.ApplySettings(DefaultLineSettings(), 2048, 2048));
    EXPECT_EQ(state_.lastTimeouts->WriteTotalTimeoutMultiplier, 3u);  // 2 x 11 bits at 9600
    EXPECT_EQ(state_.lastTimeouts->WriteTotalTimeoutConstant, 2000u);
}

// After one write missed its deadline, further writes fail without waiting, until a byte
// comes in or the port is opened again.
TEST_F(StandInDriver, AStalledLineFailsLaterWritesAtOnce) {
    ASSERT_TRUE(port_.ApplySettings(DefaultLineSettings(), 2048, 2048));
    for (const Driver::Writes stall : {Driver::Writes::Hang, Driver::Writes::TimeOut}) {
        const char* what = stall == Driver::Writes::Hang ? "hanging write" : "timed-out write";
        state_.writes = stall;
        state_.writeCalls = 0;
        EXPECT_EQ(port_.Write("S", 1), 0) << what;
        EXPECT_EQ(state_.writeCalls, 1) << what;
        state_.writes = Driver::Writes::Pass;
        EXPECT_EQ(port_.Write("ERVICE", 6), 0) << what;
        EXPECT_EQ(state_.writeCalls, 1) << what << ": the stalled line was written to again";

        // A byte from the other end shows the line is back.
        line_.DeviceWrite("R");
        char got = 0;
        for (int i = 0; i < 1000 && port_.Read(&got, 1) == 0; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        ASSERT_EQ(got, 'R') << what;
        EXPECT_EQ(port_.Write("x", 1), 1) << what;
        EXPECT_EQ(line_.DeviceRead(1), "x") << what;
    }

    state_.writes = Driver::Writes::TimeOut;
    EXPECT_EQ(port_.Write("S", 1), 0);
    port_.Close();
    ASSERT_TRUE(port_.Open(line_.Port()));
    state_.writes = Driver::Writes::Pass;
    EXPECT_EQ(port_.Write("y", 1), 1);  // opened again: no longer stalled
    EXPECT_EQ(line_.DeviceRead(1), "y");
}

// A wait that Windows completes for bytes the watcher has already counted is no failure:
// the watcher waits again at once instead of pausing and, after three, polling.
TEST_F(StandInDriver, AWaitForBytesAlreadyCountedIsWaitedAgain) {
    state_.ownWaits = true;
    port_.SetEventMask(EV_RXCHAR_BIT);
    ASSERT_EQ(port_.WaitEvent().status, CommWaitStatus::Woken);  // the mask change
    state_.rememberedRxChars = 1;
    const CommWaitResult result = WaitDuring([this] {
        for (int i = 0; i < 2000 && state_.waitCalls < 2; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        port_.SetEventMask(EV_RXCHAR_BIT);
    });
    EXPECT_EQ(result.status, CommWaitStatus::Woken);
    EXPECT_EQ(state_.waitCalls, 2);  // the remembered one, and one held until the mask change
}

// USB adapters pulled out report ERROR_DEVICE_NOT_CONNECTED or ERROR_NO_SUCH_DEVICE, from
// a wait and from the queue look of the polling fallback alike.
TEST_F(StandInDriver, AnAdapterPulledOutEndsTheWatchAsGone) {
    port_.SetEventMask(EV_RXCHAR_BIT);
    ASSERT_EQ(port_.WaitEvent().status, CommWaitStatus::Woken);
    for (const DWORD error : {DWORD{ERROR_DEVICE_NOT_CONNECTED}, DWORD{433}}) {
        state_.waitError = error;
        EXPECT_EQ(FirstNotFailed(), CommWaitStatus::Gone) << "wait failing with " << error;
        state_.waitError = 0;

        // Wine cannot wait on a pty: the watcher polls, and the queue look fails.
        state_.queueError = error;
        EXPECT_EQ(FirstNotFailed(), CommWaitStatus::Gone) << "queue look failing with " << error;
        state_.queueError = 0;
    }
}

// Windows completes a pending WaitCommEvent with an empty event word when the mask
// changes. That is a wake-up, never a failed wait (three of which in a row switch a
// healthy port to polling): whether the watcher sees the completion before the owner's
// thread goes on, or has already been woken and waits again when the mask reaches the
// driver.
TEST_F(StandInDriver, AMaskChangeEndsAWaitAsAWakeUpNeverAsAFailure) {
    state_.ownWaits = true;
    port_.SetEventMask(EV_RXCHAR_BIT);
    ASSERT_EQ(port_.WaitEvent().status, CommWaitStatus::Woken);  // no wait was pending
    for (const Driver::MaskChange change :
         {Driver::MaskChange::EndsWait, Driver::MaskChange::EndsNextWait}) {
        const bool next = change == Driver::MaskChange::EndsNextWait;
        for (int round = 0; round < 3; ++round) {
            state_.maskChange = change;
            const int calls = state_.waitCalls;
            std::future<std::vector<CommWaitStatus>> seen =
                std::async(std::launch::async, [this, next] {
                    std::vector<CommWaitStatus> statuses;
                    for (int i = 0; i < (next ? 2 : 1); ++i) {
                        statuses.push_back(port_.WaitEvent().status);
                        ++state_.waitReturns;
                    }
                    return statuses;
                });
            Until([this, calls] { return state_.waitCalls > calls; });  // the watcher waits
            state_.waitCallsBeforeChange = state_.waitCalls.load();
            port_.SetEventMask(EV_RXCHAR_BIT);
            state_.maskChange = Driver::MaskChange::System;
            if (seen.wait_for(30s) != std::future_status::ready) {
                port_.SetEventMask(EV_RXCHAR_BIT);  // frees a watcher left waiting
            }
            for (const CommWaitStatus status : seen.get()) {
                EXPECT_EQ(status, CommWaitStatus::Woken) << (next ? "next wait" : "pending wait");
            }
        }
    }
}

// Drivers need not honour CancelIoEx: a write, a read or a wait that the driver keeps after
// it was cancelled must not hold the window's thread (or Close, which waits for the
// watcher) for good. The wait for it is bounded; then the port counts as gone.
TEST_F(StandInDriver, AnOperationTheDriverKeepsAfterItsCancelMakesThePortGone) {
    ASSERT_TRUE(port_.ApplySettings(DefaultLineSettings(), 2048, 2048));
    state_.deafToCancel = true;

    state_.writes = Driver::Writes::Hang;
    EXPECT_EQ(Ends<int32_t>([this] { return port_.Write("S", 1); }), 0);
    EXPECT_EQ(FirstNotFailed(), CommWaitStatus::Gone) << "after a write";
    port_.Close();
    state_.writes = Driver::Writes::Pass;

    ASSERT_TRUE(port_.Open(line_.Port()));
    ASSERT_TRUE(port_.ApplySettings(DefaultLineSettings(), 2048, 2048));
    state_.reads = Driver::Reads::Hang;
    line_.DeviceWrite("R");
    Until([this] { return port_.QueueStatus().inQueue > 0; });
    EXPECT_EQ(Ends<int32_t>([this] {
                  char got = 0;
                  return port_.Read(&got, 1);
              }),
              0);
    EXPECT_EQ(FirstNotFailed(), CommWaitStatus::Gone) << "after a read";
    EXPECT_EQ(port_.QueueStatus().inQueue, 0u) << "no byte to wait for that cannot be read";
    port_.Close();
    state_.reads = Driver::Reads::Pass;

    ASSERT_TRUE(port_.Open(line_.Port()));
    state_.ownWaits = true;
    port_.SetEventMask(EV_RXCHAR_BIT);
    ASSERT_EQ(port_.WaitEvent().status, CommWaitStatus::Woken);
    const int calls = state_.waitCalls;
    EXPECT_EQ(Ends<CommWaitStatus>([this, calls] {
                  std::future<CommWaitStatus> waited =
                      std::async(std::launch::async, [this] { return port_.WaitEvent().status; });
                  Until([this, calls] { return state_.waitCalls > calls; });
                  port_.SetEventMask(EV_RXCHAR_BIT);  // the watcher cancels its wait
                  return waited.get();
              }),
              CommWaitStatus::Gone);
}

// Failed waits switch a port to polling only under Wine, which cannot wait on a pty. On
// Windows the same failures come from a driver whose waits work: after a line error one
// told to abort on errors fails every wait until the owner's next look at the queue takes
// the error. A port polled meanwhile would report bytes without any wait.
TEST_F(StandInDriver, OnlyUnderWineDoFailedWaitsTurnIntoPolling) {
    state_.ownWaits = true;
    for (const bool windows : {true, false}) {
        SCOPED_TRACE(windows ? "Windows" : "Wine");
        state_.windows = windows;
        port_.Close();
        ASSERT_TRUE(port_.Open(line_.Port()));
        port_.SetEventMask(EV_RXCHAR_BIT);
        ASSERT_EQ(port_.WaitEvent().status, CommWaitStatus::Woken);
        state_.abortedForLineError = true;
        const int calls = state_.waitCalls;
        // As the watcher calls it: three failures, then a byte comes.
        std::future<std::vector<CommWaitStatus>> watched =
            std::async(std::launch::async, [this, windows] {
                std::vector<CommWaitStatus> statuses;
                for (int i = 0; i < 6; ++i) {
                    if (i == 3) {
                        line_.DeviceWrite("x");
                    } else if (i == 4 && !windows) {
                        break;  // polled: nothing more will come
                    }
                    statuses.push_back(port_.WaitEvent().status);
                }
                return statuses;
            });
        for (int i = 0; watched.wait_for(i == 0 ? 10s : 1s) != std::future_status::ready; ++i) {
            port_.SetEventMask(EV_RXCHAR_BIT);  // frees a watcher left polling or waiting
        }
        const std::vector<CommWaitStatus> statuses = watched.get();
        ASSERT_EQ(statuses.size(), windows ? 6u : 4u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(statuses[i], CommWaitStatus::Failed) << "wait " << i;
        }
        if (windows) {
            for (size_t i = 3; i < 6; ++i) {
                EXPECT_EQ(statuses[i], CommWaitStatus::Failed) << "wait " << i;
            }
            EXPECT_EQ(state_.waitCalls - calls, 6) << "every wait went to the driver";
            EXPECT_EQ(port_.QueueStatus().errors & uint32_t{CE_FRAME}, uint32_t{CE_FRAME});
            // The error taken, the port waits again.
            const int before = state_.waitCalls;
            EXPECT_EQ(WaitDuring([this, before] {
                          Until([this, before] { return state_.waitCalls > before; });
                          port_.SetEventMask(EV_RXCHAR_BIT);
                      }).status,
                      CommWaitStatus::Woken);
        } else {
            // The polling's look at the queue took the error and saw the byte.
            EXPECT_EQ(statuses[3], CommWaitStatus::Event);
            EXPECT_EQ(state_.waitCalls - calls, 3) << "the byte was found without a wait";
        }
        port_.Purge();
    }
}

// What opens but keeps no line settings is no serial port, and the open fails.
TEST_F(StandInDriver, ADeviceWithoutLineSettingsDoesNotOpen) {
    port_.Close();
    state_.noLineSettings = true;
    EXPECT_FALSE(port_.Open(line_.Port()));
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(port_.LastOpenError().code, static_cast<uint32_t>(ERROR_GEN_FAILURE));
    state_.noLineSettings = false;
    EXPECT_TRUE(port_.Open(line_.Port())) << "the device was closed again";
}

TEST_F(StandInDriver, TheOutputQueueIsWhatTheDriverHolds) {
    state_.outQueue = 11;
    EXPECT_EQ(port_.QueueStatus().outQueue, 11u);
    state_.outQueue = 0;
    EXPECT_EQ(port_.QueueStatus().outQueue, 0u);
}
