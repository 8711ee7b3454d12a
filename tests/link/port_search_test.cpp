#include <utility>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

std::string Silent(const std::string&) {
    return {};
}
std::string Foreign(const std::string&) {
    return "MODEM OK\r";
}

class PortSearch : public LinkFixture {};

}  // namespace

TEST_F(PortSearch, ScanSkipsADeadFirstPortAndFindsTheAnalyser) {
    ScriptedPeer& dead = AddPeer(1, Silent);
    ScriptedPeer& analyser = AddPeer(5);

    EXPECT_EQ(link->SearchDevice(), 1);

    EXPECT_EQ(dead.CountOf("SERVICE002"), 1) << "one timeout, then the sticky error flag";
    EXPECT_EQ(dead.CountOf("R001"), 0);
    EXPECT_EQ(view.status, QStringLiteral("Gerät am COM5 gefunden"));
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Messgerät wird gesucht ...")));
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Teste COM1")));
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Teste COM5")));
    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
    EXPECT_TRUE(link->state.connected);
    EXPECT_EQ(link->state.errorCode, 0);
    EXPECT_EQ(link->state.identification, "ZOR GX40 SN42");
    EXPECT_EQ(analyser.CountOf("w904"), 3);
    EXPECT_FALSE(comm->Connected()) << "the search closes the port; StartLink reopens it";

    const std::string ini = ReadFile("fumilink.ini");
    EXPECT_NE(ini.find("comport=5"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SerNr=ZOR GX40 SN42"), std::string::npos) << ini;
    // Trying port 1 writes the debug log.
    const std::string log = ReadFile("debug.log");
    EXPECT_NE(log.find("failure: no pairing found"), std::string::npos) << log;
}

TEST_F(PortSearch, ForeignAndDeadPortsBeforeTheAnalyserAreNotAccepted) {
    ScriptedPeer& foreign = AddPeer(2, Foreign);
    AddPeer(3, Silent);
    AddPeer(7);

    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->state.portNumber, 7);
    EXPECT_GE(foreign.CountOf("R001"), 1);
    EXPECT_EQ(foreign.CountOf("w904"), 0);
    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
}

TEST_F(PortSearch, NothingAnsweringEndsWithCodeThreeOrFourAfterPortOne) {
    AddPeer(1, Silent);
    AddPeer(5, Silent);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_FALSE(link->state.connected);

    peers.clear();
    AddPeer(1, Silent);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->state.errorCode, kErrNotPaired);
}

TEST_F(PortSearch, NoPortsAndNoSettingsOpensNothing) {
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->state.portNumber, 0);
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
}

TEST_F(PortSearch, RememberedPortIsTriedAloneAndKeepsTheStoredIdentification) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN7\r\n");
    ScriptedPeer& other = AddPeer(3);
    AddPeer(5);

    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_TRUE(other.Commands().empty());
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Ini-Datei gefunden")));
    EXPECT_EQ(view.status, QStringLiteral("Gerät am COM5 gefunden"));
    EXPECT_EQ(link->state.identification, "ZOR GX40 SN7");
    EXPECT_NE(ReadFile("fumilink.ini").find("SerNr=ZOR GX40 SN7"), std::string::npos);
}

TEST_F(PortSearch, RememberedPortWithoutCarriageReturnIsNoReplyAndStaysOpen) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\n");
    AddPeer(5, [](const std::string& c) { return c == "R001" ? std::string("ZOR") : "OK\r"; });
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_TRUE(comm->Connected());
}

TEST_F(PortSearch, RememberedPortThatCannotBeOpenedSkipsTheScan) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=4\r\n");
    // A character device that is listed but cannot be opened as a serial port.
    ASSERT_EQ(symlink("/dev/null", (portDir + "/COM4").c_str()), 0);
    ScriptedPeer& analyser = AddPeer(6);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    EXPECT_TRUE(analyser.Commands().empty());
}

TEST_F(PortSearch, RememberedPortAnsweringWithoutZorFallsBackToTheScan) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=2\r\n");
    AddPeer(2, [](const std::string& c) { return c == "R001" ? std::string("XYZ\r") : "OK\r"; });
    AddPeer(6);
    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->state.portNumber, 6);
}

TEST_F(PortSearch, SearchingAgainAfterAFailedSearchScansAgain) {
    AddPeer(5, Silent);
    EXPECT_EQ(link->SearchDevice(), 0);
    ASSERT_EQ(link->state.errorCode, kErrNoDevice);
    peers.clear();
    AddPeer(5);
    EXPECT_EQ(link->SearchDevice(), 1);
}

TEST_F(PortSearch, DataLineInPlaceOfTheSerialNumberIsAskedPast) {
    bool first = true;
    ScriptedPeer& analyser = AddPeer(5, [&](const std::string& c) {
        if (c == "R004" && std::exchange(first, false)) {
            return std::string("051G 20.9;\r");
        }
        return AnalyserReply(c);
    });
    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(analyser.CountOf("R004"), 2);
    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
    EXPECT_NE(ReadFile("fumilink.ini").find("SerNr=ZOR GX40 SN42\r\n"), std::string::npos);
}

// The analyser answers R004 1.5 s late, after the exchange has given up: the remembered
// port and the scan end alike, in the no-reply state with the port open and nothing saved.
class LateSerialNumber : public LinkFixture, public testing::WithParamInterface<bool> {};

TEST_P(LateSerialNumber, EndsInTheNoReplyStateWithNothingSaved) {
    const bool remembered = GetParam();
    const std::string ini = "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN7\r\n";
    if (remembered) {
        WriteFile("fumilink.ini", ini);
    }
    QTimer late;
    late.setSingleShot(true);
    ScriptedPeer* analyser = nullptr;
    analyser = &AddPeer(5, [&](const std::string& c) {
        if (c != "R004") {
            return AnalyserReply(c);
        }
        late.start(1500);
        return std::string();
    });
    QObject::connect(&late, &QTimer::timeout, [&] { analyser->Send("SN42\r"); });

    link->StartLink();

    EXPECT_EQ(analyser->CountOf("R004"), 1);
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_EQ(view.status.toStdString(), "Fehler: Keine Antwort vom Gerät");
    EXPECT_EQ(view.picture, 1);
    EXPECT_FALSE(link->state.connected);
    EXPECT_TRUE(comm->Connected()) << "the analyser's port stays open";
    EXPECT_EQ(analyser->CountOf("w904"), 0);
    EXPECT_EQ(ReadFile("fumilink.ini"), remembered ? ini : "") << "nothing saved";
}

INSTANTIATE_TEST_SUITE_P(RememberedPortOrScan, LateSerialNumber, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "RememberedPort" : "Scan";
                         });

TEST_F(PortSearch, EmptyRepliesForeverEndAsNoReply) {
    ScriptedPeer& chatty = AddPeer(5, [](const std::string&) { return std::string("\r"); });
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(chatty.CountOf("R001"), DeviceLink::kMaxEmptyReplies);
    EXPECT_FALSE(link->state.connected);
}

TEST_F(PortSearch, AbortDuringTheScanAcceptsNoPort) {
    AddPeer(2, [this](const std::string&) {
        link->state.abortFlag = true;
        return std::string();
    });
    ScriptedPeer& analyser = AddPeer(5);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_FALSE(link->state.connected);
    EXPECT_EQ(link->state.errorCode, kErrNoDevice);
    // The remaining port is still opened and sent its first command, which ends at once.
    EXPECT_EQ(analyser.CountOf("R001"), 0);
}
