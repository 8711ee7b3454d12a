// The built program as a second copy: it says that the first one runs, in the user's
// language, and ends with exit code 0; other file names and crashed first copies do not
// hold it back. And its start with the demo analyser (FUMILINK_DEMO).

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "tests/support/waits.h"

namespace {

using namespace std::chrono_literals;

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        std::filesystem::create_directory(dir.File("ports"));
        std::filesystem::create_directory(dir.File("runtime"));
        // As the system makes it; Qt warns on standard error about any other mode.
        std::filesystem::permissions(dir.File("runtime"), std::filesystem::perms::owner_all);
    }

    /// Starts `program` headless, with a private port folder and lock folder, the locale
    /// variables given (all others of LC_ALL, LC_MESSAGES, LANG unset), `arguments` and
    /// then the variables of `changed`; its standard output and error go to files of
    /// their own.
    ChildProcess& Start(const std::string& program,
                        const std::map<std::string, std::string>& locale,
                        const std::vector<std::string>& arguments = {},
                        const std::map<std::string, std::optional<std::string>>& changed = {}) {
        ChildProcess::Options options;
        options.argv = {program};
        options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
        options.workingDir = dir.Path();
        options.stdoutPath = dir.File("stdout." + std::to_string(started.size()));
        options.stderrPath = dir.File("stderr." + std::to_string(started.size()));
        options.environment = {{"QT_QPA_PLATFORM", "offscreen"},
                               {"FUMILINK_MESSAGE_BOXES", "stderr"},
                               {"FUMILINK_PORT_DIR", dir.File("ports")},
                               {"XDG_RUNTIME_DIR", dir.File("runtime")},
                               {"XDG_STATE_HOME", dir.File("state")},
                               {"LC_ALL", std::nullopt},
                               {"LC_MESSAGES", std::nullopt},
                               {"LANG", std::nullopt}};
        for (const auto& [name, value] : locale) {
            options.environment[name] = value;
        }
        for (const auto& [name, value] : changed) {
            options.environment[name] = value;
        }
        started.push_back(std::make_unique<ChildProcess>(std::move(options)));
        return *started.back();
    }

    /// Waits for a copy to end; returns its exit status (-2 when it still runs) and what
    /// it wrote on stderr.
    static std::pair<int, std::string> Finish(ChildProcess& copy, std::chrono::seconds limit) {
        const std::optional<int> code = copy.WaitExit(limit);
        return {code.value_or(-2), copy.Stderr()};
    }

    /// True once some process holds the guard lock of `fileName`.
    bool GuardHeld(const std::string& fileName) const {
        const std::string path = dir.File("runtime/" + fileName + ".lock");
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!held) {
            flock(fd, LOCK_UN);
        }
        close(fd);
        return held;
    }

    bool WaitForGuard(const std::string& fileName) const {
        return SpinUntil([&] { return GuardHeld(fileName); }, std::chrono::seconds(20));
    }

    /// The session records in `folder`: file name and text, in the order of the names.
    static std::map<std::string, std::string> RecordsIn(const std::string& folder) {
        std::map<std::string, std::string> records;
        if (std::filesystem::is_directory(folder)) {
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                records[entry.path().filename().string()] = ReadBytes(entry.path().string());
            }
        }
        return records;
    }
    /// The text of the only record in the test's own record folder.
    std::string OnlyRecord() const {
        const auto records = RecordsIn(dir.File("state/fumilink/logs"));
        return records.size() == 1 ? records.begin()->second
                                   : "(" + std::to_string(records.size()) + " records)";
    }

    TempDir dir;
    std::vector<std::unique_ptr<ChildProcess>> started;
    const std::string program = FUMILINK_PROGRAM_PATH;
};

}  // namespace

TEST_F(ProgramStart, SecondCopySaysSoInTheUsersLanguageAndEndsWithZero) {
    Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));

    const struct {
        std::map<std::string, std::string> locale;
        std::string message;
    } cases[] = {
        {{{"LANG", "de_DE.UTF-8"}}, "Programm läuft schon auf diesem Arbeitsplatz!"},
        {{{"LANG", "en_US.UTF-8"}}, "Program is already running!"},
        {{{"LANG", "it_IT.UTF-8"}}, "Programma già che funziona!"},
        {{{"LANG", "sv_SE.UTF-8"}}, "Program is already running!"},
        {{{"LANG", "fr_FR.UTF-8"}}, "Program already running!"},
        {{}, "Program already running!"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_ALL", "it_IT.UTF-8"}}, "Programma già che funziona!"},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "de_DE@euro"}},
         "Programm läuft schon auf diesem Arbeitsplatz!"},
    };
    for (const auto& c : cases) {
        ChildProcess& second = Start(program, c.locale);
        const auto [code, text] = Finish(second, std::chrono::seconds(20));
        EXPECT_EQ(code, 0) << c.message;
        EXPECT_EQ(text, c.message + "\n");
    }
    EXPECT_TRUE(GuardHeld("fumilink")) << "the first copy runs on undisturbed";
}

TEST_F(ProgramStart, CopyUnderAnotherFileNameStartsBesideTheFirst) {
    const std::string renamed = dir.File("fumilink-zwei");
    std::filesystem::copy_file(program, renamed);
    std::filesystem::permissions(renamed, std::filesystem::perms::owner_all);
    Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));
    Start(renamed, {{"LANG", "de_DE.UTF-8"}});
    EXPECT_TRUE(WaitForGuard("fumilink-zwei"));
}

TEST_F(ProgramStart, NewCopyStartsAfterTheFirstWasKilled) {
    ChildProcess& first = Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));
    first.Kill();

    ChildProcess& next = Start(program, {{"LANG", "de_DE.UTF-8"}});
    EXPECT_TRUE(WaitForGuard("fumilink"));
    // It runs, rather than refusing: a third copy is the one that is refused.
    ChildProcess& third = Start(program, {{"LANG", "en_US.UTF-8"}});
    const auto [code, text] = Finish(third, std::chrono::seconds(20));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "Program is already running!\n");
    EXPECT_TRUE(next.Running()) << "the new copy is still running";
}

TEST_F(ProgramStart, ToolkitOptionsOnTheCommandLineAreTheCallersArguments) {
    // QApplication would take "-platform X" for itself and end the program on the unknown
    // platform; as the caller's header it must reach the program, which then starts and
    // searches its ports (here one pty as COM5).
    PtyPair analyser(dir.File("ports"), 5);

    ChildProcess& copy = Start(program, {}, {"-platform", "nosuchplatform", "out.csv"});
    EXPECT_FALSE(analyser.DeviceRead(1, std::chrono::seconds(30)).empty())
        << "the program did not get as far as its port search";
    EXPECT_TRUE(copy.Running()) << "the program ended";
}

TEST_F(ProgramStart, HelpOrVersionAloneAnswersOnStandardOutputBesideAFirstCopyAndHeadless) {
    Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));
    // No display is needed for the answer, and the running copy does not refuse it.
    const std::map<std::string, std::optional<std::string>> headless = {
        {"QT_QPA_PLATFORM", std::nullopt},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt}};

    ChildProcess& version = Start(program, {}, {"--version"}, headless);
    EXPECT_EQ(Finish(version, std::chrono::seconds(20)), std::make_pair(0, std::string()));
    EXPECT_EQ(version.Stdout(), "fumilink " FUMILINK_PROGRAM_VERSION "\n");

    ChildProcess& help = Start(program, {}, {"--help"}, headless);
    EXPECT_EQ(Finish(help, std::chrono::seconds(20)), std::make_pair(0, std::string()));
    EXPECT_EQ(help.Stdout().rfind("Usage: fumilink [--demo[=OPTIONS]] [--mean=SECONDS]\n", 0), 0u)
        << help.Stdout();

    // Beside other arguments it is the calling program's header: this copy is a second one.
    ChildProcess& header = Start(program, {}, {"--help", "/ART=14"});
    EXPECT_EQ(Finish(header, std::chrono::seconds(20)),
              std::make_pair(0, std::string("Program already running!\n")));
    EXPECT_EQ(header.Stdout(), "");
}

TEST_F(ProgramStart, WithoutADisplayOneLineSaysSoAndTheExitCodeIsOne) {
    // Nothing listens on display 4711 (a private X socket folder would be needed for one).
    ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X4711"));
    const struct {
        std::optional<std::string> display;
        std::string line;
    } cases[] = {
        {std::nullopt,
         "fumilink: cannot open a window: no display (DISPLAY and WAYLAND_DISPLAY are not set)\n"},
        {":4711", "fumilink: cannot open a window: the display DISPLAY=:4711 cannot be reached\n"},
    };
    for (const auto& c : cases) {
        ChildProcess& copy = Start(program, {}, {},
                                   {{"QT_QPA_PLATFORM", std::nullopt},
                                    {"DISPLAY", c.display},
                                    {"WAYLAND_DISPLAY", std::nullopt}});
        EXPECT_EQ(Finish(copy, std::chrono::seconds(20)), std::make_pair(1, c.line));
        EXPECT_FALSE(GuardHeld("fumilink"))
            << "the copy that could not start still holds the guard";
        // Its record ends saying why, kept apart from the records of runs that searched.
        const auto records = RecordsIn(dir.File("state/fumilink/logs"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(records.begin()->first.ends_with("-refused.log")) << records.begin()->first;
        EXPECT_TRUE(records.begin()->second.ends_with(" fumilink.app end: " + c.line.substr(10)))
            << records.begin()->second;
        std::filesystem::remove_all(dir.File("state"));
    }
}

TEST_F(ProgramStart, TheDemoSwitchRunsAnUnattendedTakeOverAndLeavesTheSettingsAsTheyWere) {
    // A port of the system the search would try: with the demo it is not listed.
    PtyPair port(dir.File("ports"), 5);
    // Its own copy, so that its settings file is the test's: the real analyser's, with the
    // key an installer set.
    const std::string copy = dir.File("fumilink");
    std::filesystem::copy_file(program, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    const std::string settings = "[Main]\r\ncomport=3\r\nSerNr=ZOR GX40 SN7\r\nSO2Key=2204\r\n";
    WriteBytes(dir.File("fumilink.ini"), settings);

    // COM1 first: a real search would write debug.log into the current folder. The switch
    // wins over a variable the demo would refuse.
    ChildProcess& demo = Start(copy, {},
                               {"--demo=--dead-port 1 --steady --take-over-after 1", "Kunde",
                                "/ART=14", dir.File("out.csv")},
                               {{"FUMILINK_DEMO", "--fault sparks"}});
    EXPECT_EQ(Finish(demo, std::chrono::seconds(60)), std::make_pair(0, std::string()));

    const std::string transfer = ReadBytes(dir.File("out.csv"));
    EXPECT_EQ(transfer.rfind("KUNDE\r\n", 0), 0u) << "the switch shifted the arguments";
    for (const char* line : {"\r\n6420=14\r\n", "\r\n2204=", "\r\n9000=ZOR GX40 DEMO\r\n"}) {
        EXPECT_NE(transfer.find(line), std::string::npos) << line << " in:\n" << transfer;
    }
    EXPECT_EQ(ReadBytes(dir.File("fumilink.ini")), settings);
    EXPECT_NE(OnlyRecord().find(" fumilink.link settings file \"" + dir.File("fumilink.ini") +
                                "\": comport 3, SO2Key \"2204\"\n"),
              std::string::npos)
        << OnlyRecord();
    EXPECT_FALSE(std::filesystem::exists(dir.File("debug.log")));
    EXPECT_EQ(port.DeviceRead(1, std::chrono::milliseconds(200)), "");
}

TEST_F(ProgramStart, UnattendedDemosEndByThemselvesWithoutArgumentsToo) {
    const std::string copy = dir.File("fumilink");
    std::filesystem::copy_file(program, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);

    ChildProcess& aborted = Start(copy, {}, {"--demo=--abort-after 0.5"});
    EXPECT_EQ(Finish(aborted, std::chrono::seconds(60)), std::make_pair(0, std::string()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("data.csv")));
    // The record tells the press from a user's click, and where the relative file lies.
    const std::string record = OnlyRecord();
    for (const std::string& expected :
         {std::string(" fumilink.app command line: no arguments; transfer file \"data.csv\" in "
                      "the current folder \"") +
              dir.Path() + "\"\n",
          std::string(" fumilink.ui unattended press: Abbrechen (--abort-after 0.5 s after the "
                      "first live values)\n")}) {
        EXPECT_NE(record.find(expected), std::string::npos) << expected << "in:\n" << record;
    }
    EXPECT_EQ(record.find("click: Abbrechen"), std::string::npos) << record;

    ChildProcess& takenOver = Start(copy, {}, {"--demo=--take-over-after 0.5"});
    EXPECT_EQ(Finish(takenOver, std::chrono::seconds(60)), std::make_pair(0, std::string()));
    EXPECT_NE(ReadBytes(dir.File("data.csv")).find("\r\n9200=DEMO42\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("fumilink.ini"))) << "a demo saves nothing";

    // A mean it cannot use is said, and the run goes on without it.
    std::filesystem::remove(dir.File("data.csv"));
    ChildProcess& badMean =
        Start(copy, {{"LANG", "C.UTF-8"}}, {"--mean=1000", "--demo=--take-over-after 0.5"});
    const auto [code, text] = Finish(badMean, std::chrono::seconds(60));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text.rfind("Information: --mean=1000 wird nicht verwendet: der Mittelwert braucht "
                         "eine Dauer von 5 bis 300 Sekunden",
                         0),
              0u)
        << text;
    EXPECT_TRUE(std::filesystem::exists(dir.File("data.csv")));
}

TEST_F(ProgramStart, ATransferFileThatCannotBeWrittenIsSaidAtTheStartAndTheProgramGoesOn) {
    const std::map<std::string, std::string> utf8 = {{"LANG", "C.UTF-8"}};
    const std::string missing = dir.File("fehlt/out.csv");
    ChildProcess& copy =
        Start(program, utf8, {"--demo=--abort-after 0.5", "Kopf", "/ART=1", missing});
    EXPECT_EQ(Finish(copy, std::chrono::seconds(60)),
              std::make_pair(0, "Information: Die Übergabedatei kann nicht geschrieben werden:\n" +
                                    missing + "\nDen Ordner " + dir.File("fehlt/") +
                                    " gibt es nicht.\nDie Werte werden trotzdem angezeigt; "
                                    "\"Daten übernehmen\" versucht es erneut.\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("fehlt")));

    // One or two arguments: no path at all.
    ChildProcess& two = Start(program, utf8, {"--demo=--abort-after 0.5", "Kopf", "/ART=1"});
    const auto [code, text] = Finish(two, std::chrono::seconds(60));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text.rfind("Information: Die Übergabedatei kann nicht geschrieben werden:\nEs wurde "
                         "kein Pfad übergeben",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("das aufrufende Programm muss den Pfad der Übergabedatei als drittes "
                        "Argument übergeben."),
              std::string::npos)
        << "no later try can succeed: " << text;
}

TEST_F(ProgramStart, ADemoValueItRefusesIsNamedAndTheProgramEndsWithoutSearching) {
    PtyPair port(dir.File("ports"), 5);
    ChildProcess& demo = Start(program, {}, {}, {{"FUMILINK_DEMO", "--port 5 --fault sparks"}});
    const auto [code, text] = Finish(demo, std::chrono::seconds(20));
    // The usual exit code: the calling program tells outcomes apart by the transfer file.
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text,
              "Fehler: FUMILINK_DEMO=--port 5 --fault sparks wird nicht angenommen:\nDie "
              "Vorführung kann so nicht starten (--fault: unknown fault 'sparks').\n");
    EXPECT_EQ(port.DeviceRead(1, std::chrono::milliseconds(200)), "");

    // Given by the switch, the refusal names the switch.
    ChildProcess& switched = Start(program, {}, {"--demo=--fault sparks", "h", "/ART=1", "o.csv"});
    EXPECT_EQ(Finish(switched, std::chrono::seconds(20)),
              std::make_pair(0, std::string("Fehler: --demo=--fault sparks wird nicht angenommen:\n"
                                            "Die Vorführung kann so nicht starten (--fault: "
                                            "unknown fault 'sparks').\n")));
}

TEST_F(ProgramStart, EveryRunLeavesARecordThatNamesTheHeaderLinesLengthNeverItsText) {
    // The header line names the calling program's customer.
    const std::vector<std::string> arguments = {"Kundin Ärztehaus Süd", "/ART=14",
                                                dir.File("m.txt")};
    const std::map<std::string, std::optional<std::string>> refusedDemo = {
        {"FUMILINK_DEMO", "--fault sparks"}};
    const auto recordsIn = [](const std::string& folder) {
        std::vector<std::string> texts;
        if (std::filesystem::is_directory(folder)) {
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                texts.push_back(ReadBytes(entry.path().string()));
            }
        }
        return texts;
    };

    auto changed = refusedDemo;
    const auto [code, text] = Finish(Start(program, {}, arguments, changed), 20s);
    ASSERT_EQ(code, 0) << text;
    const std::vector<std::string> records = recordsIn(dir.File("state/fumilink/logs"));
    ASSERT_EQ(records.size(), 1u);
    const std::string& record = records[0];
    EXPECT_EQ(record.find("Ärztehaus"), std::string::npos) << record;
    for (const char* expected :
         {"fumilink.app command line: 3 arguments; header line of 20 characters; firing type "
          "\"14\"; transfer file \"",
          "fumilink.ui box Fehler: FUMILINK_DEMO=--fault sparks wird nicht angenommen",
          "fumilink.app end: the demo's options were refused\n"}) {
        EXPECT_NE(record.find(expected), std::string::npos) << expected << "\n" << record;
    }

    // Without XDG_STATE_HOME it goes below the home folder; where the folder cannot be
    // made, the run is the same without a record.
    changed["XDG_STATE_HOME"] = std::nullopt;
    changed["HOME"] = dir.File("home");
    EXPECT_EQ(Finish(Start(program, {}, arguments, changed), 20s), std::make_pair(0, text));
    EXPECT_EQ(recordsIn(dir.File("home/.local/state/fumilink/logs")).size(), 1u);

    std::filesystem::create_directory(dir.File("blocked"));
    std::ofstream(dir.File("blocked/fumilink")) << "a file where the folder would be";
    changed["XDG_STATE_HOME"] = dir.File("blocked");
    EXPECT_EQ(Finish(Start(program, {}, arguments, changed), 20s), std::make_pair(0, text));
}

TEST_F(ProgramStart, TheAdministratorsFileBesideTheProgramRulesTheRecordsOverTheUsersOwn) {
    // The user's own file and the administrator's (beside this copy) name different folders:
    // the administrator's wins, read at every start.
    const std::string copy = dir.File("fumilink");
    std::filesystem::copy_file(program, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.File("config/fumilink"));
    WriteBytes(dir.File("config/fumilink/fumilink.ini"),
               "[Main]\r\nProtokollordner=" + dir.File("user-logs") + "\r\n");
    const std::map<std::string, std::optional<std::string>> refusedDemo = {
        {"FUMILINK_DEMO", "--fault sparks"}, {"XDG_CONFIG_HOME", dir.File("config")}};

    WriteBytes(dir.File("fumilink.ini"),
               "[Main]\r\nProtokollordner=" + dir.File("it-logs") + "\r\n");
    EXPECT_EQ(Finish(Start(copy, {}, {}, refusedDemo), 20s).first, 0);
    EXPECT_EQ(RecordsIn(dir.File("it-logs")).size(), 1u);

    WriteBytes(dir.File("fumilink.ini"), "[Main]\r\nProtokolle=0\r\n");
    EXPECT_EQ(Finish(Start(copy, {}, {}, refusedDemo), 20s).first, 0);
    EXPECT_EQ(RecordsIn(dir.File("it-logs")).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("user-logs")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("state")));
}
