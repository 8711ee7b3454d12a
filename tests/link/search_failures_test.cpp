// The search and OpenDevicePort where they fail for reasons of their own: a port already
// open, a debug log that cannot be written, the search itself failing, and ports the
// system does not let the program open.

#include <QDateTime>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "app/session_record.h"
#include "data/cp1252.h"
#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

class SearchFailures : public LinkFixture {
protected:
    /// The first poll tick, which searches and shows the outcome.
    void FirstTick() {
        link->Start();
        link->Timer1Timer();
        link->PollTimer().Stop();
    }
};

}  // namespace

TEST_F(SearchFailures, OpeningAPortThatIsOpenIsCodeFiveAndChangesNothingElse) {
    AddPeer(5);
    OpenPort(5);
    link->Exchanger().SetErrorFlag();  // as a failed exchange leaves it
    const std::vector<std::string> logBefore = link->Log().Lines();

    link->OpenDevicePort();
    EXPECT_EQ(exchange().ErrorCode(), kErrPortBusy);
    EXPECT_TRUE(comm().Connected());
    EXPECT_TRUE(exchange().ErrorFlag()) << "only an open that is tried clears it";
    std::vector<std::string> expected = logBefore;
    expected.emplace_back("START -> openrs232");
    EXPECT_EQ(link->Log().Lines(), expected);

    link->ShowErrorState();
    EXPECT_EQ(view.status, QStringLiteral("Fehler: Comport belegt"));
    EXPECT_EQ(view.helpPage, kErrPortBusy);
}

TEST_F(SearchFailures, ADebugLogThatCannotBeWrittenIsABoxWithTheReasonAndTheOpenGoesOn) {
    AddPeer(1);
    // A folder where the log would have to be written.
    std::filesystem::create_directory(portDir + "/debug.log");
    link->OpenForStream(1);
    ASSERT_EQ(view.errorBoxes.size(), 1);
    EXPECT_TRUE(view.errorBoxes[0].startsWith(
        QStringLiteral("Logdatei konnte nicht geschrieben werden!\n")))
        << view.errorBoxes[0].toStdString();
    EXPECT_GT(view.errorBoxes[0].size(), 42) << "the system's reason follows";
    EXPECT_TRUE(comm().Connected());
    EXPECT_EQ(exchange().ErrorCode(), kErrNone) << "the open's outcome replaces code 1";
}

TEST_F(SearchFailures, ASearchThatFailsItselfIsInitalfehlerWithItsReasonAndStillEndsWithItsResult) {
    ports.FailListing("no port list");
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(view.errorBoxes, QStringList{QStringLiteral("Initalfehler\nno port list")});
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_FALSE(link->Search().Connected());
}

TEST_F(SearchFailures, SettingsThatCannotBeReadOrSavedAreBoxesWithTheReason) {
    AddPeer(5);
    // A folder where the settings file would be.
    std::filesystem::create_directory(portDir + "/fumilink.ini");
    EXPECT_EQ(link->SearchDevice(), 1) << "the search itself goes on";
    ASSERT_EQ(view.infoBoxes.size(), 2) << view.infoBoxes.join(" | ").toStdString();
    // One reason each, in German.
    EXPECT_EQ(view.infoBoxes[0].toStdString(),
              "Fehler beim Laden der Init-Datei\nDer Pfad nennt einen Ordner, keine Datei.");
    EXPECT_EQ(view.infoBoxes[1].toStdString(),
              "Fehler beim Speichern der Init-Datei\nDer Pfad nennt einen Ordner, keine Datei.");
}

// A user outside the group dialout: the status text stays, but help page 3 says which port
// he may not open, and the debug log why, instead of only "switch the analyser on".
TEST_F(SearchFailures, APortTheUserMayNotOpenIsNamedOnHelpPageThreeAndInTheDebugLog) {
    ScriptedPeer& analyser = AddPeer(5);
    analyser.RefuseOpen(CommOpenFailure::PermissionDenied, "Permission denied");
    QTemporaryDir records;
    auto record = std::make_unique<SessionRecord>(records.path(), QDateTime::currentDateTime());
    record->Install();
    FirstTick();
    const QString recordPath = record->FilePath();
    record.reset();
    // Support reads the same: which port, and what the system said.
    const std::string recorded = ReadBytes(recordPath.toStdString());
    EXPECT_NE(recorded.find(" fumilink.serial open COM5 failed: permission denied - "
                            "scripted:COM5: Permission denied\n"),
              std::string::npos)
        << recorded;

    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_EQ(view.status, QStringLiteral("kein Messgerät gefunden - bitte Einschalten!"));
    EXPECT_EQ(view.helpPage, 3);
    EXPECT_EQ(view.portsWithoutPermission, QStringList{QStringLiteral("COM5 (scripted:COM5)")});
    const std::vector<std::string> expected = {
        "Debug-Log",
        "START -> openrs232",
        "start -> rs232open",
        "Kein  gefunden",
        Utf8ToCp1252("Gerät einschalten!"),
        "failure: COM5 permission denied - scripted:COM5: Permission denied",
    };
    EXPECT_EQ(link->Log().Lines(), expected);
    EXPECT_TRUE(analyser.Commands().empty());

    // Given the right (the udev rule), the next search finds the analyser, and the page
    // says no more about it.
    analyser.RefuseOpen(CommOpenFailure::None);
    link->StartLink();
    EXPECT_TRUE(link->Search().Connected());
    EXPECT_TRUE(view.portsWithoutPermission.isEmpty());
}
