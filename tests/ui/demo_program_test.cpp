// The main window against the demo analyser as --demo and FUMILINK_DEMO set it up (its ports
// in place of the system's, which are never asked; the settings file read, never written), on
// a clock the test moves: the whole hand-over runs, the file says DEMO, the settings file
// stays as it was, a rehearsed failure shows its error state, and an unattended demo presses
// its buttons by itself.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/demo_analyser.h"
#include "data/conversions.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"
#include "tests/support/demo_sim.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/transfer_file_content.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"

namespace {

using namespace std::chrono_literals;

class DemoProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path().toStdString();
        SetMessageBoxHook([this](MessageKind, const QString& text) { messages << text; });
    }

    void TearDown() override {
        form.reset();
        help.reset();
        sim.reset();
        SetMessageBoxHook(nullptr);
    }

    /// Starts the demo as the program start does for FUMILINK_DEMO=`value` or
    /// --demo=`value` (on the test's clock), with the transfer file `transferFile` (m.txt in
    /// the test's folder when empty), then shows the windows, which search.
    void Start(const std::string& value, const std::string& transferFile = {}) {
        const DemoSetting setting = ParseDemoSetting(value);
        ASSERT_EQ(setting.refusal, "");
        sim = std::make_unique<DemoSim>(setting.options, clock);
        help = std::make_unique<TForm1>();
        WindowSetup setup;
        setup.link.ports = &sim->Ports();
        setup.link.clock = &clock;
        setup.link.commandLine = ReadCommandLine(
            {"ab12", "/ART=14", transferFile.empty() ? folder + "/m.txt" : transferFile});
        setup.link.files = {folder + "/fumilink.ini", folder + "/debug.log", true};
        setup.demo = true;
        setup.link.meanSwitch = meanSwitch;
        setup.presses = {setting.presses.takeOverAfter, setting.presses.abortAfter};
        form = std::make_unique<TFormmain>(std::move(setup));
        form->SetHelpWindow(help.get());
        form->show();
    }

    std::string TransferFile() const { return ReadBytes(folder + "/m.txt"); }
    bool TransferFileExists() const { return std::filesystem::exists(folder + "/m.txt"); }

    /// The clock time of the first live values (when "Daten übernehmen" is first enabled)
    /// and of the first status text `status`, as a watch every 10 ms of clock time sees them.
    struct Moments {
        std::optional<std::chrono::milliseconds> live;
        std::optional<std::chrono::milliseconds> status;
    };
    std::shared_ptr<Moments> Watch(const QString& status) {
        auto moments = std::make_shared<Moments>();
        auto look = std::make_shared<std::function<void()>>();
        *look = [this, moments, status, look] {
            if (!moments->live && form->BtExit->isEnabled()) {
                moments->live = clock.Now();
            }
            if (!moments->status && form->StatusMessage() == status) {
                moments->status = clock.Now();
            }
            if (form->isVisible()) {
                clock.After(10ms, *look);
            }
        };
        clock.After(10ms, *look);
        return moments;
    }

    std::optional<int> meanSwitch;  ///< --mean=SECONDS
    QTemporaryDir dir;
    std::string folder;
    QStringList messages;
    ManualClock clock;
    std::unique_ptr<DemoSim> sim;
    std::unique_ptr<TForm1> help;
    std::unique_ptr<TFormmain> form;
};

/// A session record the program left (tests/ui/records), or what else lies there.
std::string RecordFile(const char* name) {
    return (std::filesystem::path(FUMILINK_UI_RECORDS_DIR) / name).string();
}

/// The milliseconds and text of the last line of `record` whose text starts with `start`.
std::pair<std::chrono::milliseconds, std::string> LastRecorded(const std::string& record,
                                                               const std::string& start) {
    std::pair<std::chrono::milliseconds, std::string> found;
    size_t at = 0;
    while (at < record.size()) {
        const size_t end = std::min(record.find('\n', at), record.size());
        const std::string line = record.substr(at, end - at);
        at = end + 1;
        const size_t time = line.find(' ');
        const size_t text = line.find(' ', time + 1);
        if (text != std::string::npos && line.compare(text + 1, start.size(), start) == 0) {
            found = {std::chrono::milliseconds(std::stoll(line.substr(0, time))),
                     line.substr(text + 1)};
        }
    }
    return found;
}

}  // namespace

TEST_F(DemoProgram, TakeOverWritesACompleteFileWhoseIdentificationSaysDemoAndLeavesTheSettings) {
    // The real analyser's settings, with the key an installer set for SO2.
    const std::string settings = "[Main]\r\ncomport=3\r\nSerNr=ZOR GX40 SN7\r\nSO2Key=2204\r\n";
    WriteBytes(folder + "/fumilink.ini", settings);
    Start("1");
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" - DEMO")))
        << form->windowTitle().toStdString();
    const auto allValid = [&] {
        for (int channel = 1; channel <= 13; ++channel) {
            if (!form->Link->Record().Valid(channel)) {
                return false;
            }
        }
        return form->BtExit->isEnabled();
    };
    ASSERT_TRUE(clock.RunUntil(allValid, 30s)) << form->StatusMessage().toStdString();

    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a take-over ends the program";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    TransferFileContent expected;
    expected.headerLine = "AB12";
    expected.record = form->Link->Record();
    expected.entries = {60.0, 0, 0, 0, true, 0};
    expected.firingTypeParameter = "14";
    expected.identificationReplies = {"ZOR GX40 DEMO", "GX40 V2.31 DEMO", "DEMO42"};
    expected.so2Key = "2204";
    EXPECT_EQ(TransferFile(), ComposeTransferFile(expected));
    EXPECT_EQ(ReadBytes(folder + "/fumilink.ini"), settings);
}

TEST_F(DemoProgram, ARehearsedHangUpShowsItsErrorState) {
    Start("--cycle-ms 300 --fault hangup-after=3000");
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 30s))
        << form->StatusMessage().toStdString();
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtWastun->isVisible(); }, 30s));
    EXPECT_EQ(form->StatusMessage(), QString::fromUtf8("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(form->ConnectionPicture(), 1);
    EXPECT_TRUE(form->Link->Record().Valid(1)) << "the last values stay";
}

TEST_F(DemoProgram, AnUnattendedTakeOverComesAsAClickOnceLiveValuesHaveArrivedForThatLong) {
    Start("--steady --take-over-after 3");
    const auto moments = Watch(kStatusTakingOver);
    ASSERT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 60s))
        << form->StatusMessage().toStdString();

    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_NE(TransferFile().find("\r\n9000=ZOR GX40 DEMO\r\n"), std::string::npos);
    ASSERT_TRUE(moments->live && moments->status) << "the take-over said nothing on screen";
    const auto waited = *moments->status - *moments->live;
    // The watch sees each moment up to 10 ms late.
    EXPECT_GE(waited, 3000ms - 10ms);
    EXPECT_LE(waited, 3200ms) << "the press comes within two poll ticks of its time";
}

TEST_F(DemoProgram, WithTheMeanAnUnattendedTakeOverWaitsForAFullWindowOfDriftingValues) {
    meanSwitch = 30;
    Start("--take-over-after 5");
    const auto moments = Watch(kStatusTakingOver);
    ASSERT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 90s))
        << form->StatusMessage().toStdString();

    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    ASSERT_TRUE(moments->live && moments->status) << "the take-over said nothing on screen";
    EXPECT_GE(*moments->status - *moments->live, 30000ms - 10ms);
    // The demo's values drift: the mean of thirty seconds is not the last value.
    const std::string file = TransferFile();
    const std::string lastO2 = "\r\n2003=" + FormatFixed(0, 1, form->Link->Record().Value(1));
    EXPECT_NE(file.find("\r\n2003="), std::string::npos) << file;
    EXPECT_EQ(file.find(lastO2 + "\r\n"), std::string::npos) << file;
}

TEST_F(DemoProgram, AnUnattendedAbortEndsWithoutATransferFile) {
    Start("--abort-after 2");
    const auto moments = Watch(QStringLiteral("(never)"));
    ASSERT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 60s))
        << form->StatusMessage().toStdString();
    ASSERT_TRUE(moments->live);
    EXPECT_GE(clock.Now() - *moments->live, 2000ms - 10ms);
    EXPECT_LE(clock.Now() - *moments->live, 2300ms);
    EXPECT_FALSE(TransferFileExists());
    EXPECT_FALSE(form->Link->Comm().Connected());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

TEST_F(DemoProgram, AnAbortAfterTheTakeOverEndsARunWhoseTakeOverFailed) {
    // The take-over fails (no folder for the file) and leaves the window open, as after a
    // click; the later abort still ends the run, so that nobody has to be at the screen.
    Start("--take-over-after 1 --abort-after 4", folder + "/missing/m.txt");
    const auto moments = Watch(kStatusTakingOver);
    ASSERT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 60s))
        << form->StatusMessage().toStdString();
    ASSERT_EQ(messages.size(), 2) << messages.join(" | ").toStdString();
    EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8("Die Übergabedatei kann nicht")));
    EXPECT_TRUE(messages[1].startsWith(QStringLiteral("Fehler beim Speichern der Datei ")));
    ASSERT_TRUE(moments->live && moments->status);
    EXPECT_GE(clock.Now() - *moments->live, 4000ms);
    EXPECT_FALSE(std::filesystem::exists(folder + "/missing"));
}

// Without an analyser the search ends in an error state and no live values ever come: the
// times count from the error state, and a take-over that cannot come ends the run as
// "Abbrechen" does, so that an unattended run always ends by itself.
struct NoLiveValuesRow {
    const char* demo;
    std::chrono::milliseconds after;
};

void PrintTo(const NoLiveValuesRow& row, std::ostream* os) {
    *os << row.demo;
}

class DemoWithoutLiveValues : public DemoProgram,
                              public ::testing::WithParamInterface<NoLiveValuesRow> {};

TEST_P(DemoWithoutLiveValues, EndsWithoutAFileThatLongAfterTheErrorState) {
    Start(GetParam().demo);
    std::optional<std::chrono::milliseconds> errorState;
    ASSERT_TRUE(clock.RunUntil(
        [&] {
            if (!errorState && !form->Link->Busy() && form->Link->ErrorCode() > 0) {
                errorState = clock.Now();
            }
            return !form->isVisible();
        },
        60s))
        << form->StatusMessage().toStdString();
    ASSERT_TRUE(errorState);
    EXPECT_GE(clock.Now() - *errorState, GetParam().after);
    EXPECT_LE(clock.Now() - *errorState, GetParam().after + 300ms);
    EXPECT_TRUE(form->Link->Aborted()) << "ended as \"Abbrechen\" ends it";
    EXPECT_FALSE(TransferFileExists());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Unattended, DemoWithoutLiveValues,
    ::testing::Values(NoLiveValuesRow{"--no-analyser --dead-port 3 --abort-after 1", 1000ms},
                      NoLiveValuesRow{"--no-analyser --dead-port 3 --take-over-after 2", 2000ms},
                      NoLiveValuesRow{"--no-analyser --dead-port 3 --take-over-after 2 "
                                      "--abort-after 5",
                                      2000ms}));

// Recorded by the program with FUMILINK_DEMO="--dead-port 3 --refused-port 4 --port 5", the
// calling program's arguments 'ab12' '/ART=14' and a transfer file, and "Daten übernehmen"
// clicked after about 16 s; the transfer file it wrote lies beside the record.
TEST_F(DemoProgram, AReplayedTakeOverFindsTheRecordedPortAndWritesTheRecordedFile) {
    const std::string record = ReadBytes(RecordFile("take-over.log"));
    Start("--replay \"" + RecordFile("take-over.log") + "\"");
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" - DEMO")));
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 30s))
        << form->StatusMessage().toStdString();
    EXPECT_EQ(sim->Count("COM4 OPEN refused as recorded"), 1) << sim->Log();
    EXPECT_EQ(form->IdentificationLabel(), QStringLiteral("ZOR GX40 DEMO DEMO42"));
    EXPECT_EQ(form->Link->Search().PortNumber(), 5);

    // The click comes when it came in the record: the last lines before it are there.
    const auto click = LastRecorded(record, "click: Daten").first;
    ASSERT_GT(click.count(), 0);
    clock.Advance(std::max(click + 500ms - clock.Now(), 0ms));
    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a take-over ends the program";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_EQ(TransferFile(), ReadBytes(RecordFile("take-over-transfer.txt")));
}

// Recorded with FUMILINK_DEMO="--dead-port 3 --port 5 --fault hangup-after=8000": the
// analyser found, streaming, then gone.
TEST_F(DemoProgram, AReplayedFailedRunEndsInTheRecordedErrorState) {
    const std::string record = ReadBytes(RecordFile("hang-up.log"));
    const std::string state = LastRecorded(record, "error state ").second;
    ASSERT_FALSE(state.empty()) << "the record ends in an error state";
    const int code = std::stoi(state.substr(12));
    const std::string text = state.substr(state.find(": ") + 2);

    Start("--replay \"" + RecordFile("hang-up.log") + "\"");
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 30s))
        << form->StatusMessage().toStdString();
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtWastun->isVisible(); }, 60s))
        << form->StatusMessage().toStdString();
    EXPECT_EQ(form->StatusMessage().toStdString(), text);
    EXPECT_EQ(form->Link->ErrorCode(), code);
    EXPECT_EQ(form->ConnectionPicture(), 1);
}
