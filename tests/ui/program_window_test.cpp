// The main window as the calling program uses it, against the analyser simulator inside the
// test (the demo's ports) on a clock the test moves: started with three arguments it
// connects, "Daten übernehmen" writes the transfer file and ends; every failure keeps the
// window and says why; clicks that land in a wait run when it ends, or not at all.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/session_record.h"
#include "data/transfer_file.h"
#include "serial/tcomm.h"
#include "tests/support/demo_sim.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scripted_ports.h"
#include "tests/support/temp_dir.h"
#include "tests/support/transfer_file_content.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"

namespace {

using namespace std::chrono_literals;

class ProgramWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path().toStdString();
        transferFile = folder + "/m.txt";
        SetMessageBoxHook([this](MessageKind, const QString& text) { messages << text; });
    }

    void TearDown() override {
        form.reset();
        help.reset();
        sim.reset();
        SetMessageBoxHook(nullptr);
    }

    /// The simulator with `arguments`, and the window on its ports, started as the calling
    /// program starts it ('ab12' '/ART=14' and the transfer file).
    void StartSim(const std::vector<std::string>& arguments) {
        sim = std::make_unique<DemoSim>(arguments, clock);
        ASSERT_TRUE(sim->Ready()) << sim->Problem();
        form = MakeWindow(&sim->Ports(), {"ab12", "/ART=14", transferFile});
        help = std::make_unique<TForm1>();
        form->SetHelpWindow(help.get());
    }

    std::unique_ptr<TFormmain> MakeWindow(PortProvider* ports,
                                          const std::vector<std::string>& arguments) {
        WindowSetup setup;
        setup.link.ports = ports;
        setup.link.clock = &clock;
        setup.link.commandLine = ReadCommandLine(arguments);
        setup.link.files = {folder + "/fumilink.ini", folder + "/debug.log"};
        setup.link.meanSwitch = meanSwitch;
        return std::make_unique<TFormmain>(std::move(setup));
    }

    /// Shows the window (which starts the search) and runs the clock until live values come.
    void ShowAndWaitOnline() {
        form->show();
        ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 20s))
            << form->StatusMessage().toStdString();
    }

    /// Runs `action` every `period` of clock time, as a user or a watch would, until it
    /// returns false.
    void Every(std::chrono::milliseconds period, std::function<bool()> action) {
        auto repeat = std::make_shared<std::function<void()>>();
        *repeat = [this, period, action, repeat] {
            if (action()) {
                clock.After(period, *repeat);
            }
        };
        clock.After(period, *repeat);
    }

    bool TransferFileExists() const { return std::filesystem::exists(transferFile); }
    std::string ReadTransferFile() const { return ReadBytes(transferFile); }

    std::optional<int> meanSwitch;  ///< --mean=SECONDS
    QTemporaryDir dir;
    std::string folder;
    std::string transferFile;
    QStringList messages;
    ManualClock clock;
    std::unique_ptr<DemoSim> sim;
    std::unique_ptr<TForm1> help;
    std::unique_ptr<TFormmain> form;
};

constexpr const char* kIdentificationLines =
    "\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n";

}  // namespace

TEST_F(ProgramWindow, TakeOverWritesTheTransferFileOfWhatTheWindowHeldAndEndsTheProgram) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    EXPECT_TRUE(form->CBRZaktiv->isChecked()) << "firing type 14 wants smoke numbers";
    // Typed as a technician types, without Return: what the fields show is what counts,
    // and a number beyond the range counts as the nearest one in range.
    const std::pair<TSpinEdit*, const char*> typed[] = {
        {form->SERZ1, "0.5"}, {form->SERZ2, "12"}, {form->SERZ3, ",5"}, {form->SEWTT, "72.3"}};
    for (const auto& [edit, text] : typed) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    ASSERT_TRUE(clock.RunUntil(
        [&] { return form->Link->Record().Valid(13) && form->Link->Record().Valid(1); }, 20s));
    const MeasurementRecord shown = form->Link->Record();
    QTemporaryDir records;
    auto record = std::make_unique<SessionRecord>(records.path(), QDateTime::currentDateTime());
    record->Install();

    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a successful take-over ends the program";
    EXPECT_FALSE(form->Link->Comm().Connected());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("72,3"));
    EXPECT_EQ(form->SERZ2->text(), QStringLiteral("10,0"));

    // The file holds exactly what the window held at the moment of the take-over (the
    // poll timer is off while it runs, so no value changes on the way).
    TransferFileContent expected;
    expected.headerLine = "AB12";
    expected.record = shown;
    expected.entries = {72.3, 0.5, 10.0, 0.5, true, 0};
    expected.firingTypeParameter = "14";
    expected.identificationReplies = {"ZOR GX40", "GX40 V2.31", "SN42"};
    EXPECT_EQ(ReadTransferFile(), ComposeTransferFile(expected));
    // The record names the file and how many lines it got.
    const QString recordPath = record->FilePath();
    record.reset();
    const std::string written = ReadTransferFile();
    EXPECT_NE(
        ReadBytes(recordPath.toStdString())
            .find("fumilink.link take-over: transfer file " + transferFile + " written (" +
                  std::to_string(std::count(written.begin(), written.end(), '\n')) + " lines)\n"),
        std::string::npos)
        << ReadBytes(recordPath.toStdString());
}

TEST_F(ProgramWindow, WithTheMeanAnEarlyTakeOverWaitsShowingTheFillThenWrites) {
    meanSwitch = 5;
    QTemporaryDir records;
    auto record = std::make_unique<SessionRecord>(records.path(), QDateTime::currentDateTime());
    record->Install();
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    const auto pressedAt = clock.Now();
    QStringList panels;
    QStringList statuses;
    Every(1000ms, [&] {
        panels << form->StatusPanel0->text();
        statuses << form->StatusMessage();
        return form->isVisible();
    });

    form->BtExit->click();

    EXPECT_GE(clock.Now() - pressedAt, 4s) << "the window had a second at most when pressed";
    EXPECT_TRUE(TransferFileExists());
    EXPECT_FALSE(form->isVisible());
    ASSERT_GE(panels.size(), 3);
    EXPECT_TRUE(panels.contains(QStringLiteral("Mittel 3/5 s"))) << panels.join('|').toStdString();
    EXPECT_EQ(form->StatusPanel0->accessibleName(),
              QString::fromUtf8("Mittelwert über 5 Sekunden"));
    EXPECT_TRUE(statuses.front().startsWith(QStringLiteral("Mittelwert: noch ")))
        << statuses.join('|').toStdString();
    // The record says who asked for the mean, and how many values went into each quantity.
    const QString recordPath = record->FilePath();
    record.reset();
    const std::string recorded = ReadBytes(recordPath.toStdString());
    EXPECT_NE(recorded.find("fumilink.link mean: over 5 s, asked for by the switch --mean\n"),
              std::string::npos)
        << recorded;
    EXPECT_NE(recorded.find("fumilink.link take-over: the means of the last 5 s, values: "
                            "Sauerstoff 1"),
              std::string::npos)
        << recorded;
}

TEST_F(ProgramWindow, AnEntryChangedWhileTheTakeOverWaitsStillCounts) {
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "delay=200"});
    ShowAndWaitOnline();
    // The boiler temperature is changed while the service sequence waits for its replies.
    clock.After(300ms, [&] { form->SEWTT->setValue(81.5); });
    form->BtExit->click();
    EXPECT_NE(ReadTransferFile().find("\r\n1401=81,5\r\n"), std::string::npos)
        << ReadTransferFile();
}

TEST_F(ProgramWindow, AnalyserBehindABluetoothLinkIsFoundStreamsAndTakesOver) {
    // Every open of the port makes the radio connection anew: the search's, and the one
    // that opens the port again for the stream.
    StartSim({"--port", "5", "--bluetooth", "5:up=2500", "--cycle-ms", "300"});
    form->show();
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 40s))
        << form->StatusMessage().toStdString();
    form->BtExit->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_NE(ReadTransferFile().find(kIdentificationLines), std::string::npos);
}

TEST_F(ProgramWindow, AbbrechenOrClosingDuringTheLinkWaitEndsTheProgramAtOnce) {
    // A link that takes a minute: the search waits for it as long as the link may take.
    StartSim({"--port", "5", "--bluetooth", "5:up=60000"});
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closing" : "Abbrechen");
        std::unique_ptr<TFormmain> window =
            MakeWindow(&sim->Ports(), {"ab12", "/ART=14", transferFile});
        const int connections = sim->Count("COM5 LINK connecting");
        // The search runs inside the first poll tick; the click reaches into its wait.
        std::optional<std::chrono::milliseconds> clickedAt;
        Every(20ms, [&] {
            if (sim->Count("COM5 LINK connecting") == connections || !window->Link->Busy()) {
                return true;
            }
            clickedAt = clock.Now();
            if (closeWindow) {
                window->close();
            } else {
                window->BTBreak->click();
            }
            return false;
        });
        window->show();
        // Ended: the first tick's search has returned, the port is closed, the window gone.
        ASSERT_TRUE(clock.RunUntil(
            [&] {
                return clickedAt && !window->Link->Busy() && !window->Link->Comm().Connected() &&
                       !window->isVisible();
            },
            30s));
        EXPECT_LE(clock.Now() - *clickedAt, 300ms)
            << "timeout ticks from the click to the end (the link may take 100)";
        EXPECT_EQ(sim->Count("COM5 LINK up"), 0);
    }
}

TEST_F(ProgramWindow, AnalyserGoneBeforeTheTakeOverKeepsTheWindowAndTheValues) {
    // The analyser is switched off 3 s after the start: its port disappears.
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "hangup-after=3000"});
    ShowAndWaitOnline();
    ASSERT_TRUE(clock.RunUntil([&] { return clock.Now() >= 3000ms; }));
    ASSERT_TRUE(form->BtExit->isEnabled()) << "the last values are still fresh";
    ASSERT_NE(form->LabelO2->text(), QStringLiteral("-"));
    const double o2 = form->Link->Record().Value(1);

    form->BtExit->click();

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Keine Antwort")));
    EXPECT_DOUBLE_EQ(form->Link->Record().Value(1), o2);
    EXPECT_NE(form->LabelO2->text(), QStringLiteral("-"));
}

TEST_F(ProgramWindow, TakeOverShowsThatItRunsAndAHangUpShowsItsErrorBeforeTheBox) {
    // A slow analyser that hangs up when asked for its software version.
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "delay=200,hangup-on=R002"});
    ShowAndWaitOnline();
    QStringList shownDuringTheTakeOver;
    bool watching = true;
    Every(20ms, [&] {
        if (shownDuringTheTakeOver.isEmpty() ||
            shownDuringTheTakeOver.back() != form->StatusMessage()) {
            shownDuringTheTakeOver << form->StatusMessage();
        }
        return watching;
    });
    QString statusAtTheBox;
    int pictureAtTheBox = -1;
    SetMessageBoxHook([&](MessageKind, const QString& text) {
        watching = false;
        messages << text;
        statusAtTheBox = form->StatusMessage();
        pictureAtTheBox = form->ConnectionPicture();
    });

    form->BtExit->click();  // returns after the box

    EXPECT_EQ(shownDuringTheTakeOver.join(QStringLiteral(" | ")),
              QString::fromUtf8("Daten werden übernommen ..."));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8("Keine Antwort vom Messgerät")));
    EXPECT_EQ(statusAtTheBox, QString::fromUtf8("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(pictureAtTheBox, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
}

// The window system's close (the close button, WM_CLOSE) reaches the window a pass of the
// event loop after it came. One that comes in the pass that ends a wait arrives after the
// wait has gone on: the box saying that the analyser did not answer would block the window
// first, and Qt drops a close of a blocked window (the window stayed open behind "Keine
// Antwort vom Messgerät"). A close posted right after the tick that ends the wait stands
// for it. The analyser falls silent as the take-over begins: its first command waits the
// whole second, and no further wait runs the event loop before the box.
TEST_F(ProgramWindow, CloseArrivingAsTheTakeOverGivesUpEndsItWithoutABox) {
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "silent=SERVICE002#4"});
    ShowAndWaitOnline();
    const int searchCommands = sim->Received(5, "SERVICE002");
    bool closed = false;
    // Every millisecond, so also right behind the tick that ends the wait (timers due at a
    // moment run before the actions due then).
    Every(1ms, [&] {
        if (form->Link->Busy() && form->Link->Exchanger().TimeoutCounter() == 0 &&
            sim->Received(5, "SERVICE002") > searchCommands) {
            closed = true;
            QCoreApplication::postEvent(form->windowHandle(), new QCloseEvent);
        }
        return !closed;
    });

    form->BtExit->click();

    ASSERT_TRUE(closed) << "the take-over did not wait for its first command's reply";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 5s));
    EXPECT_FALSE(TransferFileExists());
}

// The same close in the pass that brings the take-over's last reply: the take-over had all
// it asked for and wrote the file before the close reached the window, so the program
// ended with a file although the window was closed while the take-over waited.
TEST_F(ProgramWindow, CloseArrivingWithTheLastReplyEndsTheTakeOverWithoutAFile) {
    // Replies arrive whole, each 150 ms after its command: the wait reads the serial number
    // in the pass its bytes came in.
    StartSim({"--port", "5", "--cycle-ms", "300", "--rate", "max", "--fault", "delay=150"});
    ShowAndWaitOnline();
    const int searchRequests = sim->Received(5, "R004");
    bool closed = false;
    Every(1ms, [&] {
        // "SN42" and its CR, not yet read.
        if (form->Link->Busy() && sim->Received(5, "R004") > searchRequests &&
            form->Link->Comm().InQueueCount() >= 5) {
            closed = true;
            QCoreApplication::postEvent(form->windowHandle(), new QCloseEvent);
        }
        return !closed;
    });

    const int streamRequests = sim->Received(5, "w904");

    form->BtExit->click();

    ASSERT_TRUE(closed) << "the serial number did not arrive whole";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 5s));
    EXPECT_FALSE(TransferFileExists());
    EXPECT_EQ(sim->Received(5, "w904"), streamRequests) << "an aborted take-over asks no stream";
}

TEST_F(ProgramWindow, AMissingTransferFolderIsSaidAtTheStartAndTakingOverStillTries) {
    transferFile = folder + "/missing/m.txt";
    StartSim({"--port", "5", "--cycle-ms", "300"});
    form->show();
    ASSERT_TRUE(clock.RunUntil([&] { return !messages.isEmpty(); }, 1s)) << "no box at the start";
    EXPECT_EQ(messages[0].toStdString(),
              "Die Übergabedatei kann nicht geschrieben werden:\n" + transferFile +
                  "\nDen Ordner " + folder +
                  "/missing/ gibt es nicht.\n"
                  "Die Werte werden trotzdem angezeigt; \"Daten übernehmen\" versucht es erneut.");
    EXPECT_FALSE(std::filesystem::exists(folder + "/missing")) << "the look creates nothing";
    // The program goes on: it connects, and the take-over fails as it always did.
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 20s));
    form->BtExit->click();

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith(
        QString::fromStdString("Fehler beim Speichern der Datei " + transferFile + "\n")))
        << messages[1].toStdString();
    // Still connected: once data flows again the button comes back, and a folder made
    // meanwhile takes the file.
    ASSERT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 20s));
    std::filesystem::create_directory(folder + "/missing");
    form->BtExit->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(TransferFileExists());
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(ProgramWindow, AbbrechenEndsWithoutATransferFile) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    form->BTBreak->click();
    EXPECT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 5s));
    EXPECT_FALSE(form->Link->Comm().Connected());
    EXPECT_FALSE(TransferFileExists());
}

TEST_F(ProgramWindow, CloseButtonEndsWithoutATransferFile) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    form.reset();  // the window's end closes the port with it
    EXPECT_FALSE(TransferFileExists());
}

TEST_F(ProgramWindow, ClicksDuringATakeOverStartNothingElse) {
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "delay=200"});
    ShowAndWaitOnline();
    bool clicking = true;
    Every(50ms, [&] {
        form->Connectreset();
        form->BtExitClick();
        return clicking;
    });
    form->BtExit->click();
    clicking = false;

    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(sim->Received(5, "SERVICE002"), 6) << "one search, one take-over";
    EXPECT_TRUE(TransferFileExists());
}

// While data streams, the poll tick renews the stream now and then and waits for the
// analyser's answer; with a slow analyser that wait is long enough to click into.
class ClickDuringTheKeepAlive : public ProgramWindow {
protected:
    void SetUp() override {
        ProgramWindow::SetUp();
        StartSim({"--port", "5", "--fault", "delay=300"});
        ShowAndWaitOnline();
        searchW904 = sim->Received(5, "w904");
    }

    /// Runs `click` once, inside a keep-alive wait of the poll tick (the only wait while
    /// online data arrives and no action runs).
    void ClickDuringTheWait(const std::function<void()>& click) {
        bool clicked = false;
        Every(10ms, [&] {
            if (!clicked && form->Link->Busy() && sim->Received(5, "w904") > searchW904) {
                clicked = true;
                click();
                EXPECT_TRUE(form->Link->Busy()) << "the click did not run inside the wait";
            }
            return !clicked;
        });
        ASSERT_TRUE(clock.RunUntil([&] { return clicked; }, 20s));
    }

    int searchW904 = 0;
};

TEST_F(ClickDuringTheKeepAlive, TakeOverRunsWhenTheWaitEnds) {
    SessionRecord record(QString::fromStdString(folder + "/logs"), QDateTime::currentDateTime());
    record.Install();
    ClickDuringTheWait([&] { form->BtExit->click(); });
    ASSERT_TRUE(clock.RunUntil([&] { return !form->isVisible(); }, 20s));
    // The record has the click once, though the take-over ran when the wait had ended.
    const std::string text = ReadBytes(record.FilePath().toStdString());
    const std::string clickLine = "fumilink.ui click: Daten übernehmen";
    const size_t click = text.find(clickLine);
    ASSERT_NE(click, std::string::npos) << text;
    EXPECT_EQ(text.find(clickLine, click + clickLine.size()), std::string::npos) << text;
    EXPECT_NE(text.find("fumilink.ui postponed until the running wait ends", click),
              std::string::npos)
        << text;
    EXPECT_TRUE(TransferFileExists());
    EXPECT_NE(ReadTransferFile().find("\r\n9200=SN42\r\n"), std::string::npos);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

TEST_F(ClickDuringTheKeepAlive, SearchRunsWhenTheWaitEnds) {
    const int searchR001 = sim->Received(5, "R001");
    ClickDuringTheWait([&] { QTest::mouseDClick(form->Image, Qt::LeftButton); });
    ASSERT_TRUE(clock.RunUntil([&] { return sim->Received(5, "R001") > searchR001; }, 20s));
    EXPECT_TRUE(clock.RunUntil([&] { return form->BtExit->isEnabled(); }, 20s));
}

TEST_F(ProgramWindow, ClickRememberedDuringASearchThatFailsStartsNoTakeOver) {
    // The analyser goes away 3 s after the start; a paired device that never answers stays.
    StartSim(
        {"--port", "5", "--dead-port", "4", "--cycle-ms", "300", "--fault", "hangup-after=3000"});
    ShowAndWaitOnline();
    ASSERT_TRUE(clock.RunUntil([&] { return clock.Now() >= 3000ms; }));
    bool clicked = false;
    Every(10ms, [&] {
        if (!clicked && form->Link->Busy() && form->BtExit->isEnabled()) {
            clicked = true;
            form->BtExit->click();
        }
        return !clicked;
    });
    // Searches again; returns when the search has failed.
    QTest::mouseDClick(form->Image, Qt::LeftButton);
    ASSERT_TRUE(clicked) << "no click landed in the search";
    EXPECT_EQ(form->ConnectionPicture(), 1);
    EXPECT_FALSE(form->BtExit->isEnabled()) << "nothing to take over without an analyser";

    QCoreApplication::processEvents();  // the remembered click's turn
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
}

TEST_F(ProgramWindow, RememberedClickDoesNotRunAfterAbbrechenOrClosing) {
    // A drain is a wait that "Abbrechen" does not end early, so nothing but the remembered
    // click's own check stands between the abort and a take-over that would follow.
    ScriptedPorts none;
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closing" : "Abbrechen");
        std::unique_ptr<TFormmain> window = MakeWindow(&none, {});
        window->BtExit->setEnabled(true);
        clock.After(0ms, [&] {
            window->BtExit->click();
            if (closeWindow) {
                window->close();
            } else {
                window->BTBreak->click();
            }
        });
        window->Link->Drain();
        QCoreApplication::processEvents();  // the remembered click would start now
        // A take-over disables the button first and switches the poll timer on at its end.
        EXPECT_TRUE(window->BtExit->isEnabled());
        EXPECT_FALSE(window->Link->PollTimer().IsActive());
    }
}

TEST_F(ProgramWindow, FiringTypesOtherThanOneSevenFourteenSwitchTheSmokeInputsOff) {
    ScriptedPorts none;
    for (const char* firingType : {"/ART=", "/ART=2", "/ART=07", "/ART=7 ", "/ART=140"}) {
        std::unique_ptr<TFormmain> window = MakeWindow(&none, {"x", firingType, transferFile});
        window->FormShow();
        EXPECT_FALSE(window->CBRZaktiv->isChecked()) << firingType;
        EXPECT_FALSE(window->SERZ1->isEnabled()) << firingType;
    }
    for (const char* firingType : {"/ART=1", "/ART=7", "/ART=14"}) {
        std::unique_ptr<TFormmain> window = MakeWindow(&none, {"x", firingType, transferFile});
        window->FormShow();
        EXPECT_TRUE(window->CBRZaktiv->isChecked()) << firingType;
        EXPECT_TRUE(window->ElCBderivate->isEnabled()) << firingType;
    }
}

TEST_F(ProgramWindow, TheSessionRecordTellsTheSearchTheStreamAndAFailedTakeOverInOrder) {
    const QString records = QString::fromStdString(folder + "/logs");
    QString recordPath;
    {
        SessionRecord record(records, QDateTime::currentDateTime());
        record.Install();
        recordPath = record.FilePath();
        // COM3 takes the search's commands and never answers; COM5 hangs up when the
        // take-over asks for its software version.
        StartSim(
            {"--dead-port", "3", "--port", "5", "--cycle-ms", "300", "--fault", "hangup-on=R002"});
        ShowAndWaitOnline();
        // 40 s of a stream of 300 ms cycles: far more lines than the record keeps.
        ASSERT_TRUE(clock.RunUntil([&] { return clock.Now() >= 40s; }, 60s));
        form->BtExit->click();
        form->close();
    }
    const std::string text = ReadBytes(recordPath.toStdString());
    size_t at = 0;
    for (const char* event : {
             "fumilink.link search: ports: COM3 COM5; Bluetooth links: none",
             "fumilink.serial open COM3 ok",
             "fumilink.link COM3 > \"SERVICE002\"",
             "fumilink.link COM3 no reply to \"SERVICE002\" after",
             "fumilink.serial close COM3",
             "fumilink.link COM5 < \"ZOR GX40\"",
             "fumilink.link search: the analyser on COM5",
             "fumilink.link COM5 data \"",
             "fumilink.link stream: online data",
             "fumilink.ui click: Daten übernehmen",
             "fumilink.link COM5 > \"R002\"",
             "fumilink.serial COM5 hung up",
             "fumilink.link take-over:",
             "fumilink.ui box Informationen: Keine Antwort vom Messgerät",
             "fumilink.ui the main window closes",
         }) {
        const size_t found = text.find(event, at);
        ASSERT_NE(found, std::string::npos) << "not after byte " << at << ": " << event << "\n"
                                            << text;
        at = found;
    }
    // Of the stream before the click: the first two cycles' lines, then one cycle for every
    // 10 s. An acknowledgement read among them is a reply, never a data line.
    EXPECT_EQ(text.find(" data \"OK"), std::string::npos) << text;
    const size_t click = text.find("click: Daten übernehmen");
    int dataLines = 0;
    for (size_t pos = text.find(" data \""); pos < click; pos = text.find(" data \"", pos + 1)) {
        ++dataLines;
    }
    EXPECT_GE(dataLines, 26 + 3 * 13) << text;
    EXPECT_LE(dataLines, 26 + 4 * 14) << text;
}
