// The main window against the demo analyser (FUMILINK_DEMO) on a machine without a single
// serial port: the whole hand-over runs, the file says DEMO, and a rehearsed failure shows
// its error state.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/demo_analyser.h"
#include "serial/demo_ports.h"
#include "tests/support/transfer_file_content.h"
#include "tests/support/waits.h"
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
        // No serial port at all: the port folder is empty.
        savedPortDir = qgetenv("FUMILINK_PORT_DIR");
        qputenv("FUMILINK_PORT_DIR", dir.path().toLocal8Bit());
        SetMessageBoxHook([this](MessageKind, const QString& text) { messages << text; });
    }

    void TearDown() override {
        form.reset();
        help.reset();
        UseDemoPorts(nullptr);
        SetMessageBoxHook(nullptr);
        qputenv("FUMILINK_PORT_DIR", savedPortDir);
    }

    /// Starts the demo as the program start does for FUMILINK_DEMO=`value`, then shows the
    /// windows, which search.
    void Start(const char* value) {
        ASSERT_EQ(StartDemoAnalyser(value), "");
        help = std::make_unique<TForm1>();
        form = std::make_unique<TFormmain>();
        form->SetHelpWindow(help.get());
        form->Link->SetSettingsPath(folder + "/fumilink.ini");
        form->Link->SetDebugLogPath(folder + "/debug.log");
        form->Arguments = {"ab12", "/ART=14", folder + "/m.txt"};
        form->show();
    }

    std::string TransferFile() const {
        std::ifstream file(folder + "/m.txt", std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    QTemporaryDir dir;
    std::string folder;
    QByteArray savedPortDir;
    QStringList messages;
    std::unique_ptr<TForm1> help;
    std::unique_ptr<TFormmain> form;
};

}  // namespace

TEST_F(DemoProgram, TakeOverWritesACompleteFileWhoseIdentificationSaysDemo) {
    Start("1");
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" - DEMO")))
        << form->windowTitle().toStdString();
    const auto allValid = [&] {
        for (int channel = 1; channel <= 13; ++channel) {
            if (!form->Record.Valid(channel)) {
                return false;
            }
        }
        return form->BtExit->isEnabled();
    };
    ASSERT_TRUE(PumpUntil(allValid, 30s)) << form->StatusMessage().toStdString();

    form->BtExit->click();

    EXPECT_FALSE(form->isVisible()) << "a take-over ends the program";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    TransferFileContent expected;
    expected.headerLine = "AB12";
    expected.record = form->Record;
    expected.entries = {60.0, 0, 0, 0, true, 0};
    expected.firingTypeParameter = "14";
    expected.identificationReplies = {"ZOR GX40 DEMO", "GX40 V2.31 DEMO", "DEMO42"};
    EXPECT_EQ(TransferFile(), ComposeTransferFile(expected));
}

TEST_F(DemoProgram, ARehearsedHangUpShowsItsErrorState) {
    Start("--cycle-ms 300 --fault hangup-after=3000");
    ASSERT_TRUE(PumpUntil([&] { return form->BtExit->isEnabled(); }, 30s))
        << form->StatusMessage().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return form->BtWastun->isVisible(); }, 30s));
    EXPECT_EQ(form->StatusMessage(), QString::fromUtf8("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(form->ConnectionPicture(), 1);
    EXPECT_TRUE(form->Record.Valid(1)) << "the last values stay";
}
