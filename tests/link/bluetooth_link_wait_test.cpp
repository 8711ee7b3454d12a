// The first exchange on a Bluetooth link waits for the link, then gives the reply its
// usual second: against the demo's simulated links, whose output queue holds the
// program's bytes while they connect (as rfcomm's does, which a pty cannot show). The
// simulator's clock moves with the timeout timer, 100 ms a tick, so every figure below is
// counted in the link's own ticks, however loaded the machine.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/status_texts.h"
#include "recording_view.h"
#include "serial/demo_ports.h"
#include "tests/support/link_rig.h"
#include "tools/sim/sim_options.h"

namespace {

using namespace std::chrono_literals;

class BluetoothLinkWait : public ::testing::Test {
protected:
    void TearDown() override {
        rig.reset();
        UseDemoPorts(nullptr);
    }

    /// The simulator with `arguments` in place of the ports, its clock one tick ahead at
    /// every tick of the link's timeout timer; then the link.
    void Start(const std::vector<std::string>& arguments) {
        const SimOptionsResult parsed = ParseSimOptions(arguments, {}, SimPortPlace::InProgram);
        ASSERT_EQ(parsed.error, "");
        demo = std::make_shared<DemoPorts>(
            parsed.options,
            [this](SimTime at, const std::string& port, const std::string& event) {
                std::lock_guard lock(logMutex);
                log.push_back({at, port + " " + event});
            },
            DemoPorts::Clock::Manual);
        UseDemoPorts(demo);
        rig = std::make_unique<LinkRig>(view);
        ASSERT_TRUE(rig->Valid());
        // Connected after the link's own handler: the tick counts down first.
        QObject::connect(&rig->timeouttimer, &QTimer::timeout,
                         [this] { demo->SetTime(demo->Now() + 100ms); });
    }

    /// The simulator's time of the first log line that starts with `text`.
    std::optional<SimTime> FirstAt(const std::string& text) {
        std::lock_guard lock(logMutex);
        for (const auto& [at, line] : log) {
            if (line.rfind(text, 0) == 0) {
                return at;
            }
        }
        return std::nullopt;
    }

    RecordingView view;
    std::shared_ptr<DemoPorts> demo;
    std::unique_ptr<LinkRig> rig;
    std::mutex logMutex;
    std::vector<std::pair<SimTime, std::string>> log;
};

}  // namespace

TEST_F(BluetoothLinkWait, ASilentDeviceCostsItsConnectionAndTheUsualSecond) {
    // A paired device that is not the analyser: its link comes up after a second, and it
    // never answers.
    Start({"--port", "5", "--dead-port", "4", "--bluetooth", "4:up=1000"});
    ASSERT_EQ(rig->link->SearchDevice(), 1);
    EXPECT_EQ(rig->link->state.portNumber, 5);
    const std::optional<SimTime> up = FirstAt("COM4 LINK up");
    const std::optional<SimTime> next = FirstAt("COM5 RX \"SERVICE002\"");
    ASSERT_TRUE(up && next);
    EXPECT_EQ(*up, SimMs(1000));
    // One second for the reply from the tick the link was seen up (at most a tick late),
    // not until ten seconds after the open.
    EXPECT_GE(*next, SimMs(2000));
    EXPECT_LE(*next, SimMs(2200)) << "the next port came " << next->count() / 1000 << " ms in";
}

TEST_F(BluetoothLinkWait, ALinkSlowToComeUpIsStillFound) {
    Start({"--port", "5", "--bluetooth", "5:up=9000"});
    ASSERT_EQ(rig->link->SearchDevice(), 1);
    EXPECT_EQ(rig->link->state.errorCode, kErrNone);
    EXPECT_EQ(FirstAt("COM5 LINK up"), SimMs(9000));
    EXPECT_TRUE(FirstAt("COM5 RX \"R004\""));
}

TEST_F(BluetoothLinkWait, TenSecondsFromTheOpenStayTheMostALinkMayTake) {
    Start({"--port", "5", "--bluetooth", "5:up=10500"});
    EXPECT_EQ(rig->link->SearchDevice(), 0);
    EXPECT_EQ(rig->link->state.errorCode, kErrNoDevice);
    EXPECT_FALSE(FirstAt("COM5 LINK up")) << "the search gave the link up before";
    const std::optional<SimTime> down = FirstAt("COM5 LINK down");
    ASSERT_TRUE(down);
    EXPECT_LE(*down, SimMs(10100));
}
