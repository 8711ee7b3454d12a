// The main window against fumilink-sim on pseudo-terminals, in real time: the whole way from
// the window through the serial layer to the analyser's side. What the window does in every
// case is tested against the simulator inside the test, in clock time
// (program_window_test.cpp).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "data/transfer_file.h"
#include "serial/tcomm.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
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
        transferFile = portDir + "/m.txt";
        WindowSetup setup;
        setup.link.commandLine = ReadCommandLine({"ab12", "/ART=14", transferFile});
        setup.link.files = {portDir + "/fumilink.ini", portDir + "/debug.log"};
        form = std::make_unique<TFormmain>(std::move(setup));
        form->SetHelpWindow(help.get());
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

    bool TransferFileExists() const { return std::filesystem::exists(transferFile); }
    std::string ReadTransferFile() const { return ReadBytes(transferFile); }

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
    ASSERT_TRUE(PumpUntil(
        [&] { return form->Link->Record().Valid(13) && form->Link->Record().Valid(1); }, 20s));

    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a successful take-over ends the program";
    EXPECT_FALSE(form->Link->Comm().Connected());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("72,3"));
    EXPECT_EQ(form->SERZ2->text(), QStringLiteral("10,0"));

    // The file holds exactly what the window held at the moment of the take-over.
    TransferFileContent expected;
    expected.headerLine = "AB12";
    expected.record = form->Link->Record();
    expected.entries = {72.3, 0.5, 10.0, 0.5, true, 0};
    expected.firingTypeParameter = "14";
    expected.identificationReplies = {"ZOR GX40", "GX40 V2.31", "SN42"};
    EXPECT_EQ(ReadTransferFile(), ComposeTransferFile(expected));
    EXPECT_NE(ReadTransferFile().find("\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n"),
              std::string::npos);
}

TEST_F(ProgramEndToEnd, AnalyserGoneBeforeTheTakeOverKeepsTheWindowAndTheValues) {
    StartSim({"--port", "5", "--cycle-ms", "300"});
    ShowAndWaitOnline();
    ASSERT_TRUE(PumpUntil([&] { return form->LabelO2->text() != QStringLiteral("-"); }, 20s));
    const double o2 = form->Link->Record().Value(1);
    sim->Stop();  // the analyser is switched off; its link disappears

    form->BtExit->click();

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(TransferFileExists());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Keine Antwort")));
    EXPECT_DOUBLE_EQ(form->Link->Record().Value(1), o2);
    EXPECT_NE(form->LabelO2->text(), QStringLiteral("-"));
}
