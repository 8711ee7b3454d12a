// The session record read back as the simulator's script (--replay): what each port did,
// from the lines the program's layers write, and the options around it.

#include "sim/replay_script.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/sim_options.h"

namespace {

using Kind = ReplayReply::Kind;

// A search that finds the analyser behind a Bluetooth link on COM5 after a dead COM3 and a
// COM4 another program holds; the stream, a take-over's summary of the last lines, the end
// of the stream, a hang-up, and a second search without COM5.
constexpr const char* kRecord = R"(Fumilink session record, started 2026-12-10T02:44:28
13 fumilink.app start: Fumilink 1.0,007 on Windows 10 (x86_64)
40 default QStandardPaths: XDG_RUNTIME_DIR not set
100 fumilink.link search: ports: COM3 COM4 COM5; Bluetooth links: COM5
100 fumilink.serial open COM3 ok: \\.\COM3
101 fumilink.link COM3 > "SERVICE002"
1130 fumilink.link COM3 no reply to "SERVICE002" after 1029 ms (time-out), line ""
1130 fumilink.serial close COM3
1131 fumilink.serial open COM4 failed: busy: another program holds it (error 5)
1132 fumilink.serial open COM5 ok: \\.\COM5
1133 fumilink.link COM5 > "SERVICE002"
3640 fumilink.link COM5 < "OK"
3641 fumilink.link COM5 > "R001"
3660 fumilink.link COM5 < "ZOR GX40"
3661 fumilink.link COM5 > "R004"
4670 fumilink.link COM5 no reply to "R004" after 1009 ms (time-out), line "SN4\x00"
4671 fumilink.link COM5 > "R004"
4680 fumilink.link COM5 < "SN42"
4700 fumilink.serial close COM5
4710 fumilink.serial open COM5 ok: \\.\COM5
4810 fumilink.link COM5 data "051G 4.0;"
4810 fumilink.link COM5 data "052G 12.5;"
4810 fumilink.link stream: online data
5610 fumilink.link COM5 data "051G 4.1;"
5610 fumilink.link COM5 data "052G 12.4;"
6410 fumilink.link COM5 data "051G 4.2;"
16410 fumilink.link COM5 data "051G 4.3;"
16410 fumilink.link COM5 data "052G 12.3;"
17000 fumilink.ui click: Daten übernehmen
17000 fumilink.link take-over: the last line of each quantity
17000 fumilink.link COM5 data "051G 4.4;"
17000 fumilink.link COM5 data "052G 12.3;"
17001 fumilink.link take-over: no transfer file: the service sequence went unanswered
23500 fumilink.link stream: no data line for 5 s
23600 fumilink.serial COM5 hung up
23700 fumilink.serial close COM5
30000 fumilink.link search: ports: COM3 COM4; Bluetooth links: none
30000 fumilink.serial open COM3 ok: \\.\COM3
30001 fumilink.serial open COM4 ok: \\.\COM4
30002 fumilink.app end: exit code 0
)";

ReplayScript Parsed(const std::string& text) {
    std::string error;
    std::optional<ReplayScript> script = ParseReplayRecord(text, error);
    EXPECT_TRUE(script.has_value()) << error;
    return script.value_or(ReplayScript{});
}

TEST(ReplayScript, PortsOpensRepliesStreamAndHangUpOfARecord) {
    const ReplayScript script = Parsed(kRecord);
    ASSERT_EQ(script.ports.size(), 3u);
    const ReplayPort& com3 = script.ports[0];
    const ReplayPort& com4 = script.ports[1];
    const ReplayPort& com5 = script.ports[2];
    EXPECT_EQ(com3.number, 3);
    EXPECT_EQ(com4.number, 4);
    EXPECT_EQ(com5.number, 5);
    EXPECT_FALSE(com3.bluetooth);
    EXPECT_TRUE(com5.bluetooth);

    // Opens in order, the refused one with the system's reason.
    ASSERT_EQ(com4.sessions.size(), 2u);
    EXPECT_TRUE(com4.sessions[0].refused);
    EXPECT_EQ(com4.sessions[0].refusal, "busy: another program holds it (error 5)");
    EXPECT_FALSE(com4.sessions[1].refused);
    ASSERT_EQ(com3.sessions.size(), 2u);
    EXPECT_FALSE(com3.sessions[0].refused);

    // Replies per command in recorded order, with the delay the program saw; silence and
    // a line without its CR kept apart.
    ASSERT_EQ(com3.replies.at("SERVICE002").size(), 1u);
    EXPECT_EQ(com3.replies.at("SERVICE002")[0].kind, Kind::Silent);
    const ReplayReply& ok = com5.replies.at("SERVICE002").at(0);
    EXPECT_EQ(ok.kind, Kind::Line);
    EXPECT_EQ(ok.text, "OK");
    EXPECT_EQ(ok.delay, SimMs(2507)) << "the link's connection shows in the first reply";
    const std::vector<ReplayReply>& serial = com5.replies.at("R004");
    ASSERT_EQ(serial.size(), 2u);
    EXPECT_EQ(serial[0].kind, Kind::Partial);
    EXPECT_EQ(serial[0].text, std::string("SN4\0", 4));
    EXPECT_EQ(serial[1].kind, Kind::Line);
    EXPECT_EQ(serial[1].text, "SN42");

    // The stream from the second open, timed from it; the take-over's summary of the last
    // lines just before the click. Its end is where the program last had data, its period
    // the one between rounds.
    ASSERT_EQ(com5.sessions.size(), 2u);
    EXPECT_TRUE(com5.sessions[0].data.empty());
    const ReplaySession& stream = com5.sessions[1];
    ASSERT_EQ(stream.data.size(), 9u);
    EXPECT_EQ(stream.data[0].at, SimMs(100));
    EXPECT_EQ(stream.data[0].text, "051G 4.0;");
    EXPECT_EQ(stream.data[4].at, SimMs(1700));
    EXPECT_EQ(stream.data[6].at, SimMs(11700));
    EXPECT_EQ(stream.data[6].text, "052G 12.3;");
    EXPECT_EQ(stream.data[8].at, SimMs(17000 - 500 - 4710));
    EXPECT_EQ(stream.data[8].text, "052G 12.3;");
    EXPECT_TRUE(stream.data[8].lastBeforeTakeOver);
    EXPECT_EQ(script.cycle, SimMs(800)) << "the 10-s samples are not the period";
    EXPECT_EQ(stream.streamEndAt, SimMs(23500 - 5000 - 4710));
    EXPECT_EQ(stream.hangUpAt, SimMs(23600 - 4710));
    EXPECT_TRUE(com5.vanishes) << "it hung up and the next search no longer listed it";
    EXPECT_FALSE(com3.vanishes);
}

TEST(ReplayScript, AHangUpThePortComesBackFromKeepsItListed) {
    const ReplayScript script = Parsed(
        "Fumilink session record, started 2026-12-10T02:44:28\n"
        "10 fumilink.link search: ports: COM5; Bluetooth links: none\n"
        "20 fumilink.serial open COM5 ok: /dev/ttyUSB0\n"
        "900 fumilink.serial COM5 hung up\n"
        "950 fumilink.serial close COM5\n"
        "5000 fumilink.link search: ports: COM5; Bluetooth links: none\n"
        "5010 fumilink.serial open COM5 ok: /dev/ttyUSB0\n");
    ASSERT_EQ(script.ports.size(), 1u);
    EXPECT_FALSE(script.ports[0].vanishes);
    EXPECT_EQ(script.ports[0].sessions.at(0).hangUpAt, SimMs(880));
    EXPECT_EQ(script.cycle, SimMs(1000)) << "no stream: the analyser's usual period";
}

// Each record the simulator cannot act out, refused with the words that say why.
struct RefusedRecord {
    const char* name;
    std::string text;
    const char* why;
};

void PrintTo(const RefusedRecord& row, std::ostream* os) {
    *os << row.name;
}

class RefusedRecords : public ::testing::TestWithParam<RefusedRecord> {};

TEST_P(RefusedRecords, AreRefusedWithTheirOwnReason) {
    std::string error;
    EXPECT_FALSE(ParseReplayRecord(GetParam().text, error));
    EXPECT_NE(error.find(GetParam().why), std::string::npos) << error;
}

const std::string kFirstLine = "Fumilink session record, started 2026-12-10T02:44:28\n";

INSTANTIATE_TEST_SUITE_P(
    Records, RefusedRecords,
    ::testing::Values(
        RefusedRecord{"Empty", "", "die Datei ist leer"},
        RefusedRecord{"NoRecordAtAll", "[Main]\ncomport=5\n", "kein Sitzungsprotokoll"},
        RefusedRecord{"NoSearch",
                      kFirstLine + "13 fumilink.app end: another copy runs on this workplace\n",
                      "keine Suche"},
        RefusedRecord{"NoPorts",
                      kFirstLine + "10 fumilink.link search: ports: none; Bluetooth links: none\n",
                      "keine Schnittstelle"},
        RefusedRecord{"CutOffInALine",
                      kFirstLine + "10 fumilink.link search: ports: COM5; Bluetooth links: none\n"
                                   "11 fumilink.serial open COM5 o",
                      "die letzte Zeile (3) bricht ab"},
        RefusedRecord{"TimeBeyondADay",
                      kFirstLine +
                          "10000000000000 fumilink.link search: ports: COM5; Bluetooth links: "
                          "none\n",
                      "Zeile 2: die Zeit 10000000000000 ms liegt nach 24 Stunden"},
        RefusedRecord{"TimeOfTwentyFiveDigits",
                      kFirstLine + "10 fumilink.link search: ports: COM5; Bluetooth links: none\n" +
                          "9999999999999999999999999 fumilink.link COM5 > \"R001\"\n",
                      "Zeile 3: die Zeit 99999999999999999999... ms"},
        RefusedRecord{"PortBeyondTheSimulators",
                      kFirstLine + "10 fumilink.link search: ports: COM5 COM300; Bluetooth "
                                   "links: none\n",
                      "Zeile 2: eine Schnittstelle über COM255"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayScript, TheOptionReadsTheFileAndRefusesWhatTheRecordDecides) {
    const std::string path = ::testing::TempDir() + "replay_option_record.log";
    {
        std::ofstream file(path, std::ios::binary);
        file << kRecord;
    }
    const SimOptionsResult taken = ParseSimOptions({"--replay", path, "--rate", "max"}, "/tmp/p");
    ASSERT_EQ(taken.error, "");
    ASSERT_TRUE(taken.options.replay);
    EXPECT_EQ(taken.options.replay->ports.size(), 3u);
    EXPECT_FALSE(taken.options.bytesPerSecond.has_value()) << "the line rate is still ours";

    const SimOptionsResult withPort = ParseSimOptions({"--replay", path, "--port", "7"}, "/tmp/p");
    EXPECT_NE(withPort.error.find("--port cannot be given with it"), std::string::npos)
        << withPort.error;
    const SimOptionsResult withFault =
        ParseSimOptions({"--fault", "silent", "--replay=" + path}, {}, SimPortPlace::InProgram);
    EXPECT_NE(withFault.error.find("--fault"), std::string::npos) << withFault.error;

    // Another version's record is played, with a note that says so.
    std::string older = kRecord;
    older.replace(older.find("Fumilink 1.0,007"), 16, "Fumilink 0.1,001");
    {
        std::ofstream file(path, std::ios::binary);
        file << older;
    }
    const SimOptionsResult ofAnotherVersion = ParseSimOptions({"--replay", path}, "/tmp/p");
    EXPECT_EQ(ofAnotherVersion.error, "");
    EXPECT_NE(ofAnotherVersion.note.find("das Protokoll stammt von Fumilink 0.1,001, dies ist"),
              std::string::npos)
        << ofAnotherVersion.note;

    const SimOptionsResult missing =
        ParseSimOptions({"--replay", path + ".none"}, {}, SimPortPlace::InProgram);
    EXPECT_EQ(missing.error, "--replay: " + path + ".none: keine solche Datei");
    std::remove(path.c_str());
}

// What is no record file at all is refused before anything is read from it, and nothing
// waits on it: a named pipe without a writer, a device that never ends, a folder, a file
// larger than any record.
struct RefusedFile {
    const char* name;
    std::string (*make)(const std::string& folder);
    const char* why;
};

void PrintTo(const RefusedFile& row, std::ostream* os) {
    *os << row.name;
}

class RefusedFiles : public ::testing::TestWithParam<RefusedFile> {};

TEST_P(RefusedFiles, AreRefusedWithTheirOwnReasonWithoutReadingThem) {
    char pattern[] = "/tmp/replay_files_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string path = GetParam().make(folder);
    const SimOptionsResult refused =
        ParseSimOptions({"--replay", path}, {}, SimPortPlace::InProgram);
    EXPECT_EQ(refused.error.rfind("--replay: " + path + ": ", 0), 0u) << refused.error;
    EXPECT_NE(refused.error.find(GetParam().why), std::string::npos) << refused.error;
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFiles,
    ::testing::Values(
        RefusedFile{"NamedPipe",
                    [](const std::string& folder) {
                        const std::string path = folder + "/fifo.log";
                        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
                        return path;
                    },
                    "eine benannte Pipe"},
        RefusedFile{"Device", [](const std::string&) { return std::string("/dev/zero"); },
                    "ein Gerät"},
        RefusedFile{"Folder", [](const std::string& folder) { return folder; }, "ein Ordner"},
        RefusedFile{"LargerThanAnyRecord",
                    [](const std::string& folder) {
                        const std::string path = folder + "/large.log";
                        {
                            std::ofstream file(path, std::ios::binary);
                            file << kRecord;
                        }
                        std::filesystem::resize_file(path, kMaxReplayRecordBytes + 1);
                        return path;
                    },
                    "zu groß"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
