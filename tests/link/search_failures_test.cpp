// The search and OpenDevicePort where they fail for reasons of their own: a port already
// open, a debug log that cannot be written, the search itself failing.

#include <stdexcept>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

class SearchFailures : public LinkFixture {};

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
    link->SetDebugLogPath(portDir + "/no-such-folder/debug.log");
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
