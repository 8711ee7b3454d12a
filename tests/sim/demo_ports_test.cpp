// CommPort on the demo's simulated ports (the analyser simulator inside the program), with
// the simulator's clock in the test's hand: every byte and every link comes when the test
// moves the time, on Linux and under Wine alike.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/comm_port.h"
#include "serial/comm_types.h"
#include "sim/demo_port_provider.h"
#include "sim/demo_ports.h"
#include "sim/replay_script.h"
#include "sim/sim_options.h"

using namespace std::chrono_literals;

namespace {

/// WaitEvent on a thread of its own, as the component's watcher calls it. Released with
/// the mask `mask` if it still waits when it goes.
class PendingWait {
public:
    PendingWait(CommPort& port, uint32_t mask)
        : port_(port),
          mask_(mask),
          result_(std::async(std::launch::async, [&port] { return port.WaitEvent(); })) {}
    ~PendingWait() {
        if (result_.valid() && result_.wait_for(0s) != std::future_status::ready) {
            port_.SetEventMask(mask_);
        }
        if (result_.valid()) {
            result_.wait();
        }
    }
    PendingWait(const PendingWait&) = delete;
    PendingWait& operator=(const PendingWait&) = delete;

    /// True when the wait is still blocked after `pause` (it must be, with nothing due).
    bool StillWaitingAfter(std::chrono::milliseconds pause) {
        return result_.wait_for(pause) == std::future_status::timeout;
    }
    std::optional<CommWaitResult> Result() {
        if (result_.wait_for(10s) != std::future_status::ready) {
            return std::nullopt;
        }
        return result_.get();
    }

private:
    CommPort& port_;
    const uint32_t mask_;
    std::future<CommWaitResult> result_;
};

/// Sets the mask and takes the wake-up that the change itself gives a watcher.
void Watch(CommPort& port, uint32_t mask) {
    port.SetEventMask(mask);
    PendingWait woken(port, mask);
    const std::optional<CommWaitResult> result = woken.Result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, CommWaitStatus::Woken);
}

class DemoPort : public ::testing::Test {
protected:
    /// Makes the provider of a simulator with `arguments` (fumilink-sim's options).
    void Use(const std::vector<std::string>& arguments) {
        const SimOptionsResult parsed = ParseSimOptions(arguments, {}, SimPortPlace::InProgram);
        ASSERT_EQ(parsed.error, "");
        demo = std::make_shared<DemoPorts>(
            parsed.options,
            [this](SimTime, const std::string& port, const std::string& event) {
                log.push_back(port + " " + event);
            },
            DemoPorts::Clock::Manual);
        ports = std::make_unique<DemoPortProvider>(demo);
    }

    /// Makes the provider of a simulator that replays the session record `record`.
    void UseReplay(const std::string& record) {
        std::string error;
        std::optional<ReplayScript> script = ParseReplayRecord(record, error);
        ASSERT_TRUE(script) << error;
        SimOptions options;
        options.analyserPort.reset();
        options.replay = std::make_shared<const ReplayScript>(std::move(*script));
        demo = std::make_shared<DemoPorts>(
            options,
            [this](SimTime, const std::string& port, const std::string& event) {
                log.push_back(port + " " + event);
            },
            DemoPorts::Clock::Manual);
        ports = std::make_unique<DemoPortProvider>(demo);
    }

    void At(std::chrono::milliseconds time) { demo->SetTime(time); }

    /// Reads what arrives from `from` to `to` in the program's 100 ms ticks.
    std::string ReadTicks(CommPort& port, std::chrono::milliseconds from,
                          std::chrono::milliseconds to) {
        std::string bytes;
        for (auto t = from; t <= to; t += 100ms) {
            At(t);
            bytes += ReadAll(port);
        }
        return bytes;
    }

    static std::string ReadAll(CommPort& port) {
        std::string bytes(port.QueueStatus().inQueue, '\0');
        bytes.resize(
            static_cast<size_t>(port.Read(bytes.data(), static_cast<int32_t>(bytes.size()))));
        return bytes;
    }

    static void Send(CommPort& port, const std::string& bytes) {
        ASSERT_EQ(port.Write(bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
    }

    bool Logged(const std::string& line) const {
        for (const std::string& entry : log) {
            if (entry == line) {
                return true;
            }
        }
        return false;
    }

    std::shared_ptr<DemoPorts> demo;
    std::unique_ptr<DemoPortProvider> ports;
    std::vector<std::string> log;  // written under the demo's lock; read once it is quiet
};

}  // namespace

TEST_F(DemoPort, TheProviderListsTheSimulatedPortsAndItsBluetoothLinks) {
    Use({"--dead-port", "3", "--port", "5", "--bluetooth", "5"});
    EXPECT_EQ(ports->ListPorts(), (std::vector<std::string>{"COM3", "COM5"}));
    EXPECT_TRUE(ports->IsBluetoothLink(5));
    EXPECT_TRUE(ports->OutQueueShowsLinkUp(5));
    EXPECT_FALSE(ports->IsBluetoothLink(3));
    EXPECT_FALSE(ports->OutQueueShowsLinkUp(3));

    CommPort port(*ports);
    EXPECT_FALSE(port.Open(4)) << "no simulated port has that number";
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::NoDevice);
    ASSERT_TRUE(port.Open(5));
    CommPort second(*ports);
    EXPECT_FALSE(second.Open(5)) << "open once only, as a port of the system";
    EXPECT_EQ(second.LastOpenError().failure, CommOpenFailure::Busy);
}

TEST_F(DemoPort, RepliesComeAtTheLineRateAndWakeTheWatcher) {
    Use({"--port", "5"});
    CommPort port(*ports);
    ASSERT_TRUE(port.Open(5));
    Watch(port, EV_RXCHAR_BIT);

    PendingWait idle(port, EV_RXCHAR_BIT);
    EXPECT_TRUE(idle.StillWaitingAfter(100ms)) << "nothing is due: the watcher sleeps";
    Send(port, "R001\r");
    // "ZOR GX40\r" at 960 bytes a second: the first byte at once, one every 1.042 ms.
    std::optional<CommWaitResult> arrived = idle.Result();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->status, CommWaitStatus::Event);
    EXPECT_EQ(arrived->events, EV_RXCHAR_BIT);
    EXPECT_EQ(ReadAll(port), "Z");

    PendingWait next(port, EV_RXCHAR_BIT);
    EXPECT_TRUE(next.StillWaitingAfter(100ms)) << "the next byte is not due yet";
    At(5ms);
    ASSERT_EQ(next.Result()->status, CommWaitStatus::Event);
    EXPECT_EQ(ReadAll(port), "OR G");
    At(100ms);
    EXPECT_EQ(ReadAll(port), "X40\r");
    EXPECT_TRUE(Logged("COM5 RX \"R001\""));
}

TEST_F(DemoPort, ABluetoothLinkHoldsWhatIsWrittenInItsOutputQueueUntilItIsUp) {
    Use({"--port", "5", "--bluetooth", "5:up=300"});
    CommPort port(*ports);
    ASSERT_TRUE(port.Open(5));
    constexpr uint32_t kMask = EV_RXCHAR_BIT | EV_RLSD_BIT | EV_TXEMPTY_BIT;
    Watch(port, kMask);
    Send(port, "R001\r");
    EXPECT_EQ(port.QueueStatus().outQueue, 5u);
    EXPECT_EQ(port.ModemStatus(), 0u) << "no carrier while the link connects";

    PendingWait comingUp(port, kMask);
    At(299ms);
    EXPECT_TRUE(comingUp.StillWaitingAfter(50ms));
    EXPECT_EQ(port.QueueStatus().outQueue, 5u);
    At(300ms);
    const std::optional<CommWaitResult> up = comingUp.Result();
    ASSERT_TRUE(up);
    EXPECT_EQ(up->status, CommWaitStatus::Event);
    // The carrier comes on and the queue runs empty together; the reply starts at once.
    EXPECT_EQ(up->events & (EV_RLSD_BIT | EV_TXEMPTY_BIT), EV_RLSD_BIT | EV_TXEMPTY_BIT);
    EXPECT_EQ(port.QueueStatus().outQueue, 0u);
    EXPECT_EQ(port.ModemStatus(), MS_CTS_ON_BIT | MS_DSR_ON_BIT | MS_RLSD_ON_BIT);
    At(400ms);
    EXPECT_EQ(ReadAll(port), "ZOR GX40\r");

    // A purge empties the output queue too: the held command never goes out.
    port.Close();
    ASSERT_TRUE(port.Open(5));
    Send(port, "R004\r");
    port.Purge();
    EXPECT_EQ(port.QueueStatus().outQueue, 0u);
    At(1000ms);
    EXPECT_EQ(ReadAll(port), "");
    EXPECT_FALSE(Logged("COM5 RX \"R004\""));
}

TEST_F(DemoPort, ALinkThatFailsHangsUpAndThePortCanBeOpenedAgain) {
    Use({"--port", "5", "--bluetooth", "5:fail=200"});
    CommPort port(*ports);
    ASSERT_TRUE(port.Open(5));
    Watch(port, EV_RXCHAR_BIT);
    Send(port, "R001\r");
    PendingWait failing(port, EV_RXCHAR_BIT);
    EXPECT_FALSE(port.Gone());
    At(200ms);
    // The owner's thread learns it without the watcher; the watcher's wait ends too.
    EXPECT_TRUE(port.Gone());
    ASSERT_EQ(failing.Result()->status, CommWaitStatus::Gone);
    EXPECT_EQ(port.Write("x", 1), 0);
    EXPECT_EQ(port.QueueStatus().outQueue, 0u);
    EXPECT_EQ(ports->ListPorts(), std::vector<std::string>{"COM5"}) << "still paired";
    port.Close();
    ASSERT_TRUE(port.Open(5));
    EXPECT_FALSE(port.Gone()) << "a new connection";
    EXPECT_TRUE(Logged("COM5 LINK failed after 200 ms: hang-up"));
    EXPECT_FALSE(Logged("COM5 RX \"R001\""));
}

TEST_F(DemoPort, AHangUpFaultEndsThePortForGood) {
    Use({"--port", "5", "--dead-port", "3", "--fault", "hangup-after=1000"});
    CommPort port(*ports);
    ASSERT_TRUE(port.Open(5));
    Watch(port, EV_RXCHAR_BIT);
    PendingWait hangingUp(port, EV_RXCHAR_BIT);
    At(1000ms);
    ASSERT_EQ(hangingUp.Result()->status, CommWaitStatus::Gone);
    EXPECT_EQ(ports->ListPorts(), std::vector<std::string>{"COM3"}) << "gone, as its pty";
    port.Close();
    EXPECT_FALSE(port.Open(5));
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::NoDevice);
}

TEST_F(DemoPort, AReplayActsOutTheRecordedOpensRepliesStreamAndHangUp) {
    UseReplay(
        "Fumilink session record, started 2026-12-10T02:44:28\n"
        "10 fumilink.link search: ports: COM5; Bluetooth links: none\n"
        "20 fumilink.serial open COM5 failed: busy: another program holds it\n"
        "1000 fumilink.serial open COM5 ok: /dev/ttyUSB0\n"
        "1001 fumilink.link COM5 > \"R001\"\n"
        "1301 fumilink.link COM5 < \"ZOR GX40\"\n"
        "1302 fumilink.link COM5 > \"R002\"\n"
        "2310 fumilink.link COM5 no reply to \"R002\" after 1008 ms (time-out), line \"\"\n"
        "3000 fumilink.link COM5 data \"051G 4.0;\"\n"
        "3800 fumilink.link COM5 data \"051G 4.1;\"\n"
        "13800 fumilink.link COM5 data \"051G 4.5;\"\n"
        "16000 fumilink.serial COM5 hung up\n");
    EXPECT_EQ(ports->ListPorts(), std::vector<std::string>{"COM5"});
    CommPort port(*ports);
    EXPECT_FALSE(port.Open(5)) << "the first open failed in the record";
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::Busy);
    ASSERT_TRUE(port.Open(5));

    // The reply with its recorded delay, marked DEMO; the silence; beyond the record the
    // last answer again.
    Send(port, "R001\r");
    At(250ms);
    EXPECT_EQ(ReadAll(port), "");
    At(400ms);
    EXPECT_EQ(ReadAll(port), "ZOR GX40 DEMO\r");
    Send(port, "R002\r");
    Send(port, "R001\r");
    At(1000ms);
    EXPECT_EQ(ReadAll(port), "ZOR GX40 DEMO\r");

    // The data lines at their times from the open; between the record's cycles the last
    // line of each quantity every cycle period (800 ms here).
    EXPECT_EQ(ReadTicks(port, 1100ms, 2900ms), "051G 4.0;\r051G 4.1;\r");
    std::string repeated;
    for (int i = 0; i < 11; ++i) {
        repeated += "051G 4.1;\r";
    }
    EXPECT_EQ(ReadTicks(port, 3000ms, 12000ms), repeated) << "fills at 3.6 s ... 11.6 s";
    const std::string later = ReadTicks(port, 12100ms, 13000ms);
    EXPECT_EQ(later.substr(later.size() - 10), "051G 4.5;\r");

    // The hang-up at its recorded time after the open; the port stays listed and opens
    // again, playing its last recorded open once more. A service command pauses its stream
    // and w904 resumes it with the last values, as the analyser does.
    At(14999ms);
    EXPECT_FALSE(port.Gone());
    At(15000ms);
    EXPECT_TRUE(port.Gone());
    EXPECT_EQ(ports->ListPorts(), std::vector<std::string>{"COM5"});
    port.Close();
    ASSERT_TRUE(port.Open(5));
    Send(port, "SERVICE002\r");
    EXPECT_EQ(ReadTicks(port, 15100ms, 18000ms), "") << "paused, and SERVICE002 is no record's";
    Send(port, "w904\r");
    At(18100ms);
    EXPECT_EQ(ReadAll(port), "051G 4.1;\r");
    EXPECT_TRUE(Logged("COM5 OPEN refused as recorded: busy: another program holds it"));
}

TEST_F(DemoPort, ARefusedPortIsListedAndRefusesEveryOpen) {
    Use({"--port", "5", "--refused-port", "4"});
    EXPECT_EQ(ports->ListPorts(), (std::vector<std::string>{"COM4", "COM5"}));
    CommPort port(*ports);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(port.Open(4));
        EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::Busy);
    }
    EXPECT_TRUE(port.Open(5));
}

TEST_F(DemoPort, ASenderFasterThanTheReaderWaitsForRoomInTheReceiveQueue) {
    Use({"--port", "5", "--fault", "flood"});
    CommPort port(*ports);
    ASSERT_TRUE(port.Open(5));
    const uint32_t full = port.QueueStatus().inQueue;
    EXPECT_EQ(full, 4096u);
    EXPECT_EQ(port.QueueStatus().inQueue, full) << "nothing lost, nothing beyond the queue";
    std::string some(1000, '\0');
    EXPECT_EQ(port.Read(some.data(), 1000), 1000);
    EXPECT_EQ(port.QueueStatus().inQueue, full) << "the sender goes on once there is room";
}
