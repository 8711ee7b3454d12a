#include <filesystem>
#include <utility>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

std::string Silent(const std::string&) {
    return {};
}
std::string Foreign(const std::string&) {
    return "MODEM OK\r";
}

class PortSearchTest : public LinkFixture {};

}  // namespace

TEST_F(PortSearchTest, ScanSkipsADeadFirstPortAndFindsTheAnalyser) {
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
    EXPECT_TRUE(link->Search().Connected());
    EXPECT_EQ(exchange().ErrorCode(), 0);
    EXPECT_EQ(link->Search().Identification(), "ZOR GX40 SN42");
    EXPECT_EQ(analyser.CountOf("w904"), 3);
    EXPECT_FALSE(comm().Connected()) << "the search closes the port; StartLink reopens it";

    const std::string ini = ReadFile("fumilink.ini");
    EXPECT_NE(ini.find("comport=5"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SerNr=ZOR GX40 SN42"), std::string::npos) << ini;
    // Trying port 1 writes the debug log.
    const std::string log = ReadFile("debug.log");
    EXPECT_NE(log.find("failure: no pairing found"), std::string::npos) << log;
}

TEST_F(PortSearchTest, ForeignAndDeadPortsBeforeTheAnalyserAreNotAccepted) {
    ScriptedPeer& foreign = AddPeer(2, Foreign);
    AddPeer(3, Silent);
    AddPeer(7);

    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->Search().PortNumber(), 7);
    EXPECT_GE(foreign.CountOf("R001"), 1);
    EXPECT_EQ(foreign.CountOf("w904"), 0);
    EXPECT_EQ(view.identification, QStringLiteral("ZOR GX40 SN42"));
}

TEST_F(PortSearchTest, NothingAnsweringEndsWithCodeThreeOrFourAfterPortOne) {
    AddPeer(1, Silent);
    AddPeer(5, Silent);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_FALSE(link->Search().Connected());

    ports.Remove(5);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNotPaired);
}

TEST_F(PortSearchTest, NoPortsAndNoSettingsOpensNothing) {
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(link->Search().PortNumber(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
}

TEST_F(PortSearchTest, RememberedPortIsTriedAloneAndKeepsTheStoredIdentification) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN7\r\n");
    ScriptedPeer& other = AddPeer(3);
    AddPeer(5);

    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_TRUE(other.Commands().empty());
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Ini-Datei gefunden")));
    EXPECT_EQ(view.status, QStringLiteral("Gerät am COM5 gefunden"));
    EXPECT_EQ(link->Search().Identification(), "ZOR GX40 SN7");
    EXPECT_NE(ReadFile("fumilink.ini").find("SerNr=ZOR GX40 SN7"), std::string::npos);
}

TEST_F(PortSearchTest, ADemoReadsTheSettingsFileButRemembersItsOwnPortForTheRunOnly) {
    // The real analyser's port and identification, and a key an installer set.
    const std::string real = "[Main]\r\ncomport=3\r\nSerNr=ZOR GX40 SN7\r\nSO2Key=2204\r\n";
    WriteFile("fumilink.ini", real);
    Relink({}, true);
    ScriptedPeer& first = AddPeer(1, Silent);
    ScriptedPeer& third = AddPeer(3, Foreign);
    ScriptedPeer& analyser = AddPeer(5);

    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->Search().So2Key(), "2204");
    EXPECT_FALSE(view.statusHistory.contains(QStringLiteral("Ini-Datei gefunden")))
        << "the file's COM3 is not the demo's: the first search scans";
    EXPECT_EQ(first.CountOf("SERVICE002"), 1);
    EXPECT_EQ(link->Search().Identification(), "ZOR GX40 SN42");

    // Searching again starts at the port found in this run, as after a saved search.
    const size_t firstCommands = first.Commands().size();
    const size_t thirdCommands = third.Commands().size();
    view.statusHistory.clear();
    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_TRUE(view.statusHistory.contains(QStringLiteral("Ini-Datei gefunden")));
    EXPECT_EQ(first.Commands().size(), firstCommands);
    EXPECT_EQ(third.Commands().size(), thirdCommands);
    EXPECT_EQ(analyser.CountOf("R001"), 2);
    EXPECT_EQ(link->Search().Identification(), "ZOR GX40 SN42");

    EXPECT_EQ(ReadFile("fumilink.ini"), real);
    EXPECT_FALSE(std::filesystem::exists(portDir + "/debug.log")) << "COM1 was opened";
    EXPECT_TRUE(view.infoBoxes.isEmpty()) << view.infoBoxes.join(" | ").toStdString();
}

TEST_F(PortSearchTest, AReplayedAnalyserIsNotRememberedInTheSettingsFile) {
    // fumilink-sim acting out a record: its identification carries the word DEMO.
    const std::string real = "[Main]\r\ncomport=3\r\nSerNr=ZOR GX40 SN7\r\n";
    WriteFile("fumilink.ini", real);
    AddPeer(5, [](const std::string& command) {
        return command == "R004" ? std::string("SN42 DEMO\r") : AnalyserReply(command);
    });
    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->Search().PortNumber(), 5);
    EXPECT_EQ(ReadFile("fumilink.ini"), real);
    // Only the word: an identification that merely holds the letters is an analyser's.
    const std::pair<const char*, bool> ids[] = {
        {"ZOR GX40 DEMOKRIT", false}, {"ZOR GX40 XDEMO", false},
        {"ZOR GX40 SN42", false},     {"DEMO", true},
        {"ZOR DEMO GX40", true},      {"ZOR GX40 DEMO DEMO42", true}};
    for (const auto& [id, replayed] : ids) {
        EXPECT_EQ(NamesAReplayedAnalyser(id), replayed) << id;
    }
}

TEST_F(PortSearchTest, RememberedPortWithoutCarriageReturnIsNoReplyAndStaysOpen) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\n");
    AddPeer(5, [](const std::string& c) { return c == "R001" ? std::string("ZOR") : "OK\r"; });
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_TRUE(comm().Connected());
}

TEST_F(PortSearchTest, RememberedPortThatCannotBeOpenedSkipsTheScan) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=4\r\n");
    // A device that is listed but cannot be opened as a serial port.
    AddPeer(4).RefuseOpen(CommOpenFailure::NotASerialPort);
    ScriptedPeer& analyser = AddPeer(6);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    EXPECT_TRUE(analyser.Commands().empty());
}

TEST_F(PortSearchTest, RememberedPortAnsweringWithoutZorFallsBackToTheScan) {
    WriteFile("fumilink.ini", "[Main]\r\ncomport=2\r\n");
    AddPeer(2, [](const std::string& c) { return c == "R001" ? std::string("XYZ\r") : "OK\r"; });
    AddPeer(6);
    EXPECT_EQ(link->SearchDevice(), 1);
    EXPECT_EQ(link->Search().PortNumber(), 6);
}

TEST_F(PortSearchTest, SearchingAgainAfterAFailedSearchScansAgain) {
    ScriptedPeer& analyser = AddPeer(5, Silent);
    EXPECT_EQ(link->SearchDevice(), 0);
    ASSERT_EQ(exchange().ErrorCode(), kErrNoDevice);
    analyser.SetResponder(AnalyserReply);
    EXPECT_EQ(link->SearchDevice(), 1);
}

TEST_F(PortSearchTest, DataLineInPlaceOfTheSerialNumberIsAskedPast) {
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
    ScriptedPeer* analyser = nullptr;
    analyser = &AddPeer(5, [&](const std::string& c) {
        if (c != "R004") {
            return AnalyserReply(c);
        }
        clock.After(1500ms, [&] { analyser->Send("SN42\r"); });
        return std::string();
    });

    link->StartLink();

    EXPECT_EQ(analyser->CountOf("R004"), 1);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_EQ(view.status.toStdString(), "Fehler: Keine Antwort vom Gerät");
    EXPECT_EQ(view.picture, 1);
    EXPECT_FALSE(link->Search().Connected());
    EXPECT_TRUE(comm().Connected()) << "the analyser's port stays open";
    EXPECT_EQ(analyser->CountOf("w904"), 0);
    EXPECT_EQ(ReadFile("fumilink.ini"), remembered ? ini : "") << "nothing saved";
}

INSTANTIATE_TEST_SUITE_P(RememberedPortOrScan, LateSerialNumber, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "RememberedPort" : "Scan";
                         });

TEST_F(PortSearchTest, EmptyRepliesForeverEndAsNoReply) {
    ScriptedPeer& chatty = AddPeer(5, [](const std::string&) { return std::string("\r"); });
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_EQ(chatty.CountOf("R001"), CommandExchange::kMaxEmptyReplies);
    EXPECT_FALSE(link->Search().Connected());
}

TEST_F(PortSearchTest, AbortDuringTheScanAcceptsNoPort) {
    AddPeer(2, [this](const std::string&) {
        link->Abort();
        return std::string();
    });
    ScriptedPeer& analyser = AddPeer(5);
    EXPECT_EQ(link->SearchDevice(), 0);
    EXPECT_FALSE(link->Search().Connected());
    EXPECT_EQ(exchange().ErrorCode(), kErrNoDevice);
    // The remaining port is still opened and sent its first command, which ends at once.
    EXPECT_EQ(analyser.CountOf("R001"), 0);
}

// The mean's window is chosen at each search, once the settings file has been read.
TEST_F(LinkFixture, EachSearchTakesTheMeansDefaultFromTheSettingsFileUnlessTheSwitchWins) {
    AddPeer(5);
    const struct {
        const char* ini;
        std::optional<int> switchSeconds;
        long window;
        int boxes;
    } cases[] = {
        {"[Main]\r\ncomport=5\r\nMittelwert=30\r\n", std::nullopt, 30, 0},
        {"[Main]\r\ncomport=5\r\nMittelwert=30\r\n", 0, 0, 0},
        {"[Main]\r\ncomport=5\r\nMittelwert=30\r\n", 60, 60, 0},
        {"[Main]\r\ncomport=5\r\nMittelwert=3\r\n", std::nullopt, 0, 1},
        {"[Main]\r\ncomport=5\r\nMittelwert=3\r\n", std::nullopt, 0, 0},  // said once
        {"[Main]\r\ncomport=5\r\n", std::nullopt, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        WriteFile("fumilink.ini", c.ini);
        link->SetMeanSwitch(c.switchSeconds);
        view.infoBoxes.clear();
        link->ClosePort();
        link->StartLink();
        EXPECT_TRUE(link->Search().Connected());
        EXPECT_EQ(link->Mean().Window().count(), c.window);
        EXPECT_EQ(view.infoBoxes.size(), c.boxes);
    }
}
