// The search and OpenDevicePort where they fail for reasons of their own: a port already
// open, a debug log that cannot be written, the search itself failing, and ports the
// system does not let the program open (the analyser simulator on the other side).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "data/cp1252.h"
#include "link/status_texts.h"
#include "link_fixture.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/sim_process.h"

namespace {

class SearchFailures : public LinkFixture {
protected:
    /// The simulator's analyser on COM5; the device its link points at.
    std::string StartAnalyser() {
        sim = std::make_unique<SimProcess>(portDir, QStringList{"--port", "5"});
        if (!sim->Ready()) {
            ADD_FAILURE() << sim->Problem();
            return {};
        }
        return std::filesystem::canonical(portDir + "/COM5").string();
    }
    /// The first poll tick, which searches and shows the outcome.
    void FirstTick() {
        link->state.firstTick = true;
        link->Timer1Timer();
        timer1.stop();
    }
    void TearDown() override {
        link->ClosePort();
        link.reset();
        if (sim) {
            sim->Stop();
        }
    }

    std::unique_ptr<SimProcess> sim;
};

}  // namespace

TEST_F(SearchFailures, OpeningAPortThatIsOpenIsCodeFiveAndChangesNothingElse) {
    AddPeer(5);
    OpenPort(5);
    link->state.errorFlag = true;  // as a failed exchange leaves it
    link->state.debugLog.clear();

    link->OpenDevicePort();
    EXPECT_EQ(link->state.errorCode, kErrPortBusy);
    EXPECT_TRUE(comm->Connected());
    EXPECT_TRUE(link->state.errorFlag) << "only an open that is tried clears it";
    EXPECT_EQ(link->state.debugLog, std::vector<std::string>{"START -> openrs232"});

    link->ShowErrorState();
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Comport belegt"));
    EXPECT_EQ(view.helpPage, kErrPortBusy);
}

TEST_F(SearchFailures, ADebugLogThatCannotBeWrittenIsABoxAndTheOpenGoesOn) {
    AddPeer(1);
    // A file where the log's folder would have to be: no folder can be made there.
    WriteFile("not-a-folder", "x");
    link->SetDebugLogPath(portDir + "/not-a-folder/debug.log");
    link->state.portNumber = 1;
    link->OpenDevicePort();
    EXPECT_EQ(view.errorBoxes,
              QStringList{QStringLiteral("Logdatei konnte nicht geschrieben werden!")});
    EXPECT_TRUE(comm->Connected());
    EXPECT_EQ(link->state.errorCode, kErrNone) << "the open's outcome replaces code 1";
}

TEST_F(SearchFailures, ASearchThatFailsItselfIsInitalfehlerAndStillEndsWithItsResult) {
    link->SetPortLister(
        []() -> std::vector<std::string> { throw std::runtime_error("no port list"); });
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(view.errorBoxes, QStringList{QStringLiteral("Initalfehler")});
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_FALSE(link->state.connected);
}

// A user outside the group dialout: the status text stays, but help page 3 says which port
// he may not open, and the debug log why, instead of only "switch the analyser on".
TEST_F(SearchFailures, APortTheUserMayNotOpenIsNamedOnHelpPageThreeAndInTheDebugLog) {
    const std::string device = StartAnalyser();
    ASSERT_FALSE(device.empty());
    ASSERT_TRUE(AsUserWhoCannotOpen(device, [this] { FirstTick(); }));

    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.helpPage, 3);
    const QString com5 = QString::fromStdString(portDir + "/COM5");
    EXPECT_EQ(view.portsWithoutPermission, QStringList{QStringLiteral("COM5 (") + com5 + ")"});
    const std::vector<std::string> expected = {
        "Debug-Log",
        "START -> openrs232",
        "start -> rs232open",
        "Kein  gefunden",
        Utf8ToCp1252("Gerät einschalten!"),
        Utf8ToCp1252("failure: COM5 permission denied - " + portDir +
                     "/COM5: " + std::generic_category().message(EACCES) + " (code 13)"),
    };
    EXPECT_EQ(link->state.debugLog, expected);
    EXPECT_EQ(sim->ReceivedAny(5), 0);

    // Given the right (the udev rule), the next search finds the analyser, and the page
    // says no more about it.
    ASSERT_EQ(chmod(device.c_str(), 0666), 0);
    link->StartLink();
    EXPECT_TRUE(link->state.connected);
    EXPECT_TRUE(view.portsWithoutPermission.isEmpty());
}

// Another program holds the port: the debug log says so; the user sees what he always saw.
TEST_F(SearchFailures, APortAnotherProgramHoldsIsBusyInTheDebugLog) {
    const std::string device = StartAnalyser();
    ASSERT_FALSE(device.empty());
    const int holder = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);  // as a second copy of the program does
    FirstTick();
    close(holder);

    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_TRUE(view.portsWithoutPermission.isEmpty());
    ASSERT_FALSE(link->state.debugLog.empty());
    EXPECT_EQ(link->state.debugLog.back(), "failure: COM5 port busy - " + portDir + "/COM5: " +
                                               std::generic_category().message(EWOULDBLOCK) +
                                               " (code " + std::to_string(EWOULDBLOCK) + ")");
}
