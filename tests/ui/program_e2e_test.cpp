// The main window as the calling program uses it, against the analyser simulator:
// started with three arguments it connects, "Daten übernehmen" writes the transfer file
// and ends; every failure keeps the window and says why.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <utility>

#include "data/transfer_file.h"
#include "tests/support/sim_process.h"
#include "tests/support/transfer_file_content.h"
#include "tests/support/waits.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"

namespace {

using namespace std::chrono_literals;

class ProgramEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        portDir = dir.path().toStdString();
        savedPortDir = qgetenv("FUMILINK_PORT_DIR");
        qputenv("FUMILINK_PORT_DIR", dir.path().toLocal8Bit());
        SetMessageBoxHook([this](MessageKind, const QString& text) { messages << text; });
        help = std::make_unique<TForm1>();
        form = std::make_unique<TFormmain>();
        form->SetHelpWindow(help.get());
        form->Link->SetSettingsPath(portDir + "/fumilink.ini");
        form->Link->SetDebugLogPath(portDir + "/debug.log");
        transferFile = portDir + "/m.txt";
        form->Arguments = {"ab12", "/ART=14", transferFile};
    }

    void TearDown() override {
        form.reset();
        help.reset();
        sim.reset();
        SetMessageBoxHook(nullptr);
        qputenv("FUMILINK_PORT_DIR", savedPortDir);
    }

    void StartSim(const QStringList& arguments) {
        sim = std::make_unique<SimProcess>(portDir, arguments);
        ASSERT_TRUE(sim->Ready());
    }

    /// Shows the window (which starts the search) and waits for live values.
    void ShowAndWaitOnline() {
        form->show();
        ASSERT_TRUE(PumpUntil([&] { return form->BtExit->isEnabled(); }, 20s))
            << form->StatusMessage().toStdString();
    }

    bool TransferFileExists() const {
        struct stat info {};
        return stat(transferFile.c_str(), &info) == 0;
    }

    std::string ReadTransferFile() const {
        std::ifstream file(transferFile, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    QTemporaryDir dir;
    std::string portDir;
    QByteArray savedPortDir;
    std::string transferFile;
    QStringList messages;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TForm1> help;
    std::unique_ptr<TFormmain> form;
};

}  // namespace

TEST_F(ProgramEndToEnd, TakeOverWritesTheTransferFileAndEndsTheProgram) {
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
    ASSERT_TRUE(PumpUntil([&] { return form->Record.Valid(13) && form->Record.Valid(1); }, 20s));

    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a successful take-over ends the program";
    EXPECT_FALSE(form->Comm->Connected());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("72,3"));
    EXPECT_EQ(form->SERZ2->text(), QStringLiteral("10,0"));

    // The file holds exactly what the window held at the moment of the take-over.
    TransferFileContent expected;
    expected.headerLine = "AB12";
    expected.record = form->Record;
    expected.entries = {72.3, 0.5, 10.0, 0.5, true, 0};
    expected.firingTypeParameter = "14";
    expected.identificationReplies = {"ZOR GX40", "GX40 V2.31", "SN42"};
    EXPECT_EQ(ReadTransferFile(), ComposeTransferFile(expected));
    EXPECT_NE(ReadTransferFile().find("\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n"),
              std::string::npos);
}

TEST_F(ProgramEndToEnd, AnalyserBehindABluetoothLinkIsFoundStreamsAndTakesOver) {
    // Every open of the port makes the radio connection anew: the search's, and the one
    // that opens the port again for the stream.
    StartSim({"--port", "5", "--bluetooth", "5:up=2500", "--cycle-ms", "300"});
    form->show();
    ASSERT_TRUE(PumpUntil([&] { return form->BtExit->isEnabled(); }, 40s))
        << form->StatusMessage().toStdString();
    form->BtExit->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_NE(ReadTransferFile().find("\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n"),
              std::string::npos);
}

TEST_F(ProgramEndToEnd, AbbrechenOrClosingDuringTheLinkWaitEndsTheProgramAtOnce) {
    // A link that takes a minute: the search waits for it as long as the link may take.
    StartSim({"--port", "5", "--bluetooth", "5:up=60000"});
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closing" : "Abbrechen");
        TFormmain window;
        window.Link->SetSettingsPath(portDir + "/fumilink.ini");
        window.Link->SetDebugLogPath(portDir + "/debug.log");
        window.Arguments = form->Arguments;
        const int connections = sim->Count("COM5 LINK connecting");
        // The search runs inside the first poll tick; only a timer reaches into its wait,
        // as the user's click would.
        bool clicked = false;
        int ticks = 0;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (clicked || sim->Count("COM5 LINK connecting") == connections ||
                !window.Link->Busy()) {
                return;
            }
            clicked = true;
            QObject::connect(window.Timeouttimer, &QTimer::timeout, [&] { ++ticks; });
            if (closeWindow) {
                window.close();
            } else {
                window.BTBreak->click();
            }
        });
        user.start(20);
        window.show();
        // Ended: the first tick's search has returned, the port is closed, the window gone.
        ASSERT_TRUE(PumpUntil(
            [&] {
                return clicked && !window.Link->Busy() && !window.Comm->Connected() &&
                       !window.isVisible();
            },
            30s));
        EXPECT_LE(ticks, 3) << "timeout ticks from the click to the end (the link may take 100)";
        EXPECT_EQ(sim->Count("COM5 LINK up"), 0);
    }
}

TEST_F(ProgramEndToEnd, AnalyserGoneBeforeTheTakeOverKeepsTheWindowAndTheValues) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    ASSERT_TRUE(PumpUntil([&] { return form->LabelO2->text() != QStringLiteral("-"); }, 20s));
    const double o2 = form->Record.Value(1);
    sim->Stop();  // the analyser is switched off; its link disappears

    form->BtExit->click();

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Keine Antwort")));
    EXPECT_DOUBLE_EQ(form->Record.Value(1), o2);
    EXPECT_NE(form->LabelO2->text(), QStringLiteral("-"));
}

TEST_F(ProgramEndToEnd, TakeOverShowsThatItRunsAndAHangUpShowsItsErrorBeforeTheBox) {
    // A slow analyser that hangs up when asked for its software version.
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "delay=200,hangup-on=R002"});
    ShowAndWaitOnline();
    QStringList shownDuringTheTakeOver;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (shownDuringTheTakeOver.isEmpty() ||
            shownDuringTheTakeOver.back() != form->StatusMessage()) {
            shownDuringTheTakeOver << form->StatusMessage();
        }
    });
    watch.start(20);
    QString statusAtTheBox;
    int pictureAtTheBox = -1;
    SetMessageBoxHook([&](MessageKind, const QString& text) {
        watch.stop();
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

TEST_F(ProgramEndToEnd, TransferFileInAMissingFolderIsReportedAndTheWindowStays) {
    transferFile = portDir + "/missing/m.txt";
    form->Arguments = {"ab12", "/ART=14", transferFile};
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();

    form->BtExit->click();

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
              QString::fromStdString("Fehler beim Speichern der Datei " + transferFile));
    // Still connected: once data flows again the button comes back for a second try.
    EXPECT_TRUE(PumpUntil([&] { return form->BtExit->isEnabled(); }, 20s));
}

TEST_F(ProgramEndToEnd, AbbrechenEndsWithoutATransferFile) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    form->BTBreak->click();
    EXPECT_TRUE(PumpUntil([&] { return !form->isVisible(); }, 5s));
    EXPECT_FALSE(form->Comm->Connected());
    EXPECT_FALSE(TransferFileExists());
}

TEST_F(ProgramEndToEnd, CloseButtonEndsWithoutATransferFile) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    form.reset();  // the window's end closes the port with it
    EXPECT_FALSE(TransferFileExists());
}

TEST_F(ProgramEndToEnd, ClicksDuringATakeOverStartNothingElse) {
    StartSim({"--port", "5", "--cycle-ms", "300", "--fault", "delay=200"});
    ShowAndWaitOnline();
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        form->Connectreset();
        form->BtExitClick();
    });
    clicker.start(50);
    form->BtExit->click();
    clicker.stop();

    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(sim->Received(5, "SERVICE002"), 6) << "one search, one take-over";
    EXPECT_TRUE(TransferFileExists());
}

// While data streams, the poll tick renews the stream now and then and waits for the
// analyser's answer; with a slow analyser that wait is long enough to click into.
class ClickDuringTheKeepAlive : public ProgramEndToEnd {
protected:
    void SetUp() override {
        ProgramEndToEnd::SetUp();
        StartSim({"--port", "5", "--fault", "delay=300"});
        ShowAndWaitOnline();
        searchW904 = sim->Received(5, "w904");
    }

    /// Runs `click` once, inside a keep-alive wait of the poll tick (the only wait while
    /// online data arrives and no action runs).
    void ClickDuringTheWait(const std::function<void()>& click) {
        bool clicked = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!clicked && form->Link->Busy() && sim->Received(5, "w904") > searchW904) {
                clicked = true;
                click();
                EXPECT_TRUE(form->Link->Busy()) << "the click did not run inside the wait";
            }
        });
        watch.start(10);
        ASSERT_TRUE(PumpUntil([&] { return clicked; }, 20s));
    }

    int searchW904 = 0;
};

TEST_F(ClickDuringTheKeepAlive, TakeOverRunsWhenTheWaitEnds) {
    ClickDuringTheWait([&] { form->BtExit->click(); });
    ASSERT_TRUE(PumpUntil([&] { return !form->isVisible(); }, 20s));
    EXPECT_TRUE(TransferFileExists());
    EXPECT_NE(ReadTransferFile().find("\r\n9200=SN42\r\n"), std::string::npos);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

TEST_F(ClickDuringTheKeepAlive, SearchRunsWhenTheWaitEnds) {
    const int searchR001 = sim->Received(5, "R001");
    ClickDuringTheWait([&] { emit form->Image->doubleClicked(); });
    ASSERT_TRUE(PumpUntil([&] { return sim->Received(5, "R001") > searchR001; }, 20s));
    EXPECT_TRUE(PumpUntil([&] { return form->BtExit->isEnabled(); }, 20s));
}

TEST_F(ProgramEndToEnd, ClickRememberedDuringASearchThatFailsStartsNoTakeOver) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    // The analyser's port stays listed but no longer answers.
    sim->Stop();
    StartSim({"--no-analyser", "--dead-port", "5"});
    bool clicked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!clicked && form->Link->Busy() && form->BtExit->isEnabled()) {
            clicked = true;
            form->BtExit->click();
        }
    });
    watch.start(10);
    emit form->Image->doubleClicked();  // searches again; returns when the search has failed
    watch.stop();
    ASSERT_TRUE(clicked) << "no click landed in the search";
    EXPECT_EQ(form->ConnectionPicture(), 1);
    EXPECT_FALSE(form->BtExit->isEnabled()) << "nothing to take over without an analyser";

    QCoreApplication::processEvents();  // the remembered click's turn
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(ProgramEndToEnd, RememberedClickDoesNotRunAfterAbbrechenOrClosing) {
    // A drain is a wait that "Abbrechen" does not end early, so nothing but the remembered
    // click's own check stands between the abort and a take-over that would follow.
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closing" : "Abbrechen");
        TFormmain window;
        window.BtExit->setEnabled(true);
        QTimer::singleShot(0, &window, [&] {
            window.BtExit->click();
            if (closeWindow) {
                window.close();
            } else {
                window.BTBreak->click();
            }
        });
        window.Link->Drain();
        QCoreApplication::processEvents();  // the remembered click would start now
        // A take-over disables the button first and switches the poll timer on at its end.
        EXPECT_TRUE(window.BtExit->isEnabled());
        EXPECT_FALSE(window.Timer1->isActive());
    }
}

TEST_F(ProgramEndToEnd, FiringTypesOtherThanOneSevenFourteenSwitchTheSmokeInputsOff) {
    for (const char* firingType : {"/ART=", "/ART=2", "/ART=07", "/ART=7 ", "/ART=140"}) {
        TFormmain window;
        window.Arguments = {"x", firingType, transferFile};
        window.FormShow();
        window.Timer1->stop();
        EXPECT_FALSE(window.CBRZaktiv->isChecked()) << firingType;
        EXPECT_FALSE(window.SERZ1->isEnabled()) << firingType;
    }
    for (const char* firingType : {"/ART=1", "/ART=7", "/ART=14"}) {
        TFormmain window;
        window.Arguments = {"x", firingType, transferFile};
        window.FormShow();
        window.Timer1->stop();
        EXPECT_TRUE(window.CBRZaktiv->isChecked()) << firingType;
        EXPECT_TRUE(window.ElCBderivate->isEnabled()) << firingType;
    }
}
