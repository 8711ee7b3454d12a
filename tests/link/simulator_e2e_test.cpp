// The link against fumilink-sim on pseudo-terminals, in real time: real bytes through the
// kernel's tty layer, the system's port list and back end, the poll timer running as in the
// program. The link's logic against every fault runs in clock time in simulator_test.cpp;
// here the serial layer is what is tested.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "data/cp1252.h"
#include "link/status_texts.h"
#include "recording_view.h"
#include "serial/tcomm.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/link_rig.h"
#include "tests/support/sim_process.h"
#include "tests/support/waits.h"

namespace {

using namespace std::chrono_literals;

class AgainstSimulatorOnPtys : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Valid()); }

    void StartSim(const QStringList& arguments) {
        sim = std::make_unique<SimProcess>(rig.portDir, arguments);
        ASSERT_TRUE(sim->Ready()) << sim->Problem();
    }

    /// Starts the program's poll loop: the first tick searches.
    void Run() { link_.Start(); }

    void TearDown() override {
        rig.link.reset();
        if (sim) {
            sim->Stop();
        }
    }

    bool IsOnline() const { return view.status == kStatusOnline; }
    TComm& comm() { return rig.comm(); }
    const MeasurementRecord& record() const { return link_.Record(); }

    RecordingView view;
    LinkRig rig{view, nullptr, nullptr};
    DeviceLink& link_ = *rig.link;
    std::unique_ptr<SimProcess> sim;
};

}  // namespace

TEST_F(AgainstSimulatorOnPtys, FindsTheAnalyserBehindDeadAndForeignPortsAndShowsLiveValues) {
    StartSim({"--port", "5", "--dead-port", "2", "--foreign-port", "3"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(); }, 20s)) << view.status.toStdString();
    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
    EXPECT_EQ(sim->Received(3, "w904"), 0) << "the foreign port is never asked to stream";
    EXPECT_NE(rig.ReadFile("fumilink.ini").find("comport=5"), std::string::npos);
    const auto allValid = [&] {
        for (int channel = 1; channel <= 13; ++channel) {
            if (!record().Valid(channel)) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(PumpUntil(allValid, 10s));
}

// A stand-in for a Bluetooth link on a pty (a link named rfcomm<k>): its output queue says
// nothing about the link, so the reply may come until ten seconds after the open.
TEST_F(AgainstSimulatorOnPtys, LinkThatComesUpAfterTwoAndAHalfSecondsIsFoundAndStreams) {
    StartSim({"--port", "5", "--bluetooth", "5:up=2500", "--cycle-ms", "300"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(); }, 40s)) << sim->Log();
    EXPECT_EQ(sim->Received(5, "SERVICE002"), 3) << "the first command waited for the link";
    EXPECT_EQ(sim->Count("COM5 LINK up"), 2);
}

TEST_F(AgainstSimulatorOnPtys, HangUpMidStreamEndsInTheNoReplyState) {
    StartSim({"--port", "5", "--fault", "hangup-after=3000"});
    Run();
    ASSERT_TRUE(PumpUntil([&] { return IsOnline(); }, 20s));
    ASSERT_TRUE(PumpUntil([&] { return view.btWastunVisible; }, 20s));
    EXPECT_EQ(link_.ErrorCode(), kErrNoReply);
    EXPECT_EQ(view.picture, 1);
    EXPECT_TRUE(record().Valid(1)) << "the last values stay";
}

TEST_F(AgainstSimulatorOnPtys, AFloodKeepsThePollTicksComingAndAbbrechenClosesTheWindow) {
    StartSim({"--port", "5", "--fault", "flood"});
    link_.OpenForStream(5);
    ASSERT_TRUE(comm().Connected());
    link_.PollTimer().Start();
    ASSERT_TRUE(PumpUntil([&] { return view.dispDataCalls >= 25; }, 60s));
    EXPECT_TRUE(record().Valid(1));
    link_.Abort();
    ASSERT_TRUE(PumpUntil([&] { return view.closed; }, 30s));
    EXPECT_FALSE(comm().Connected());
}

namespace {

class RefusedOnPtys : public AgainstSimulatorOnPtys {
protected:
    /// The simulator's analyser on COM5; the device its link points at.
    std::string StartAnalyser() {
        StartSim({"--port", "5"});
        return sim && sim->Ready() ? std::filesystem::canonical(rig.portDir + "/COM5").string()
                                   : std::string();
    }
    /// The first poll tick, which searches and shows the outcome.
    void FirstTick() {
        link_.Start();
        link_.Timer1Timer();
        link_.PollTimer().Stop();
    }
};

}  // namespace

// A user outside the group dialout: the status text stays, but help page 3 says which port
// he may not open, and the debug log why (with the system's own words).
TEST_F(RefusedOnPtys, APortTheUserMayNotOpenIsNamedOnHelpPageThreeAndInTheDebugLog) {
    const std::string device = StartAnalyser();
    ASSERT_FALSE(device.empty());
    ASSERT_TRUE(AsUserWhoCannotOpen(device, [this] { FirstTick(); }));

    EXPECT_EQ(link_.ErrorCode(), kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    const QString com5 = QString::fromStdString(rig.portDir + "/COM5");
    EXPECT_EQ(view.portsWithoutPermission, QStringList{QStringLiteral("COM5 (") + com5 + ")"});
    ASSERT_FALSE(link_.Log().Lines().empty());
    EXPECT_EQ(link_.Log().Lines().back(),
              Utf8ToCp1252("failure: COM5 permission denied - " + rig.portDir +
                           "/COM5: " + std::generic_category().message(EACCES) + " (code 13)"));
    EXPECT_EQ(sim->ReceivedAny(5), 0);

    ASSERT_EQ(chmod(device.c_str(), 0666), 0);
    link_.StartLink();
    EXPECT_TRUE(link_.Search().Connected());
    EXPECT_TRUE(view.portsWithoutPermission.isEmpty());
}

// Another program holds the port: the debug log says so; the user sees what he always saw.
TEST_F(RefusedOnPtys, APortAnotherProgramHoldsIsBusyInTheDebugLog) {
    const std::string device = StartAnalyser();
    ASSERT_FALSE(device.empty());
    const int holder = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);  // as a second copy of the program does
    FirstTick();
    close(holder);

    EXPECT_EQ(link_.ErrorCode(), kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_TRUE(view.portsWithoutPermission.isEmpty());
    ASSERT_FALSE(link_.Log().Lines().empty());
    EXPECT_EQ(link_.Log().Lines().back(), "failure: COM5 port busy - " + rig.portDir + "/COM5: " +
                                              std::generic_category().message(EWOULDBLOCK) +
                                              " (code " + std::to_string(EWOULDBLOCK) + ")");
}
