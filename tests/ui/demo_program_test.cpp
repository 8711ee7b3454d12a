// The main window against the demo analyser as --demo and FUMILINK_DEMO set it up (its ports
// in place of the system's, which are never asked; the settings file read, never written), on
// a clock the test moves: the whole hand-over runs, the file says DEMO, the settings file
// stays as it was, and a rehearsed failure shows its error state.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "app/demo_analyser.h"
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

    /// Starts the demo as the program start does for FUMILINK_DEMO=`value` (on the test's
    /// clock), then shows the windows, which search.
    void Start(const char* value) {
        const DemoSetting setting = ParseDemoSetting(value);
        ASSERT_EQ(setting.refusal, "");
        sim = std::make_unique<DemoSim>(setting.options, clock);
        help = std::make_unique<TForm1>();
        WindowSetup setup;
        setup.link.ports = &sim->Ports();
        setup.link.clock = &clock;
        setup.link.commandLine = ReadCommandLine({"ab12", "/ART=14", folder + "/m.txt"});
        setup.link.files = {folder + "/fumilink.ini", folder + "/debug.log", true};
        setup.demo = true;
        form = std::make_unique<TFormmain>(std::move(setup));
        form->SetHelpWindow(help.get());
        form->show();
    }

    std::string TransferFile() const { return ReadBytes(folder + "/m.txt"); }

    QTemporaryDir dir;
    std::string folder;
    QStringList messages;
    ManualClock clock;
    std::unique_ptr<DemoSim> sim;
    std::unique_ptr<TForm1> help;
    std::unique_ptr<TFormmain> form;
};

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
