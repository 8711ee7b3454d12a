// Program start: one copy per user logon, then the main window and the help window.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/demo_analyser.h"
#include "app/locale_text.h"
#include "app/single_instance.h"
#include "config/command_line.h"
#include "config/executable_path.h"
#include "data/cp1252.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"
#include "ui/ui_fonts.h"

namespace {

QString FromCp1252(const std::string& text) {
    return QString::fromStdString(Cp1252ToUtf8(text));
}

/// FUMILINK_MESSAGE_BOXES=stderr turns every message box into a line on standard error,
/// for unattended runs (scripts, tests) where nobody could close a modal box.
bool MessagesToStderrOnly() {
    const char* mode = std::getenv("FUMILINK_MESSAGE_BOXES");
    return mode != nullptr && std::string(mode) == "stderr";
}

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

/// What the toolkit gets to see of the command line: the program name only. QApplication
/// takes options such as "-reverse", "-style X" or "-platform X" out of its argv, and the
/// calling program's header or firing type may well look like one of them.
class ToolkitArguments {
public:
    explicit ToolkitArguments(char* programName) : argv_{programName, nullptr} {}
    int& Count() { return argc_; }
    char** Values() { return argv_; }

private:
    int argc_ = 1;  // QApplication keeps references to both for its whole life
    char* argv_[2];
};

/// The title made of the executable's file name, which is UTF-8 on Windows and, as a rule,
/// on Linux; the title's rules are those of Windows-1252 text.
QString TitleOf(const std::string& fileName) {
    const std::string text = IsWellFormedUtf8(fileName) ? Utf8ToCp1252(fileName) : fileName;
    return FromCp1252(ApplicationTitle(text));
}

/// The second copy says that the first one runs, and ends; it creates no window of its own.
int RefuseSecondCopy(ToolkitArguments& toolkit, const std::string& fileName) {
    const QString message = FromCp1252(AlreadyRunningMessage(ReadLocaleText()));
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (!MessagesToStderrOnly() && DisplayAvailable()) {
        QApplication app(toolkit.Count(), toolkit.Values());
        UseUiFontAsApplicationFont();
        QMessageBox box(QMessageBox::NoIcon, TitleOf(fileName), message, QMessageBox::Ok);
        box.exec();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string fileName = ExecutableFileName();
    if (fileName.empty() && argc > 0) {
        fileName = FileNamePart(argv[0], PathSeparators());
    }
    // Taken from main()'s own argv, which the toolkit never sees.
    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    static char fallbackName[] = "fumilink";
    ToolkitArguments toolkit(argc > 0 ? argv[0] : fallbackName);
    SingleInstanceGuard guard(fileName);
    if (!guard.Acquire()) {
        return RefuseSecondCopy(toolkit, fileName);
    }

    QApplication app(toolkit.Count(), toolkit.Values());
    UseUiFontAsApplicationFont();
    if (MessagesToStderrOnly()) {
        SetMessageBoxHook([](MessageKind kind, const QString& message) {
            std::fprintf(stderr, "%s: %s\n", kind == MessageKind::Error ? "Fehler" : "Information",
                         message.toLocal8Bit().constData());
        });
    }
    // FUMILINK_DEMO: the analyser simulator in place of the serial ports. A value it refuses
    // ends the program before any search, with the usual exit code (no transfer file).
    if (const std::string refusal = StartDemoAnalyser(std::getenv("FUMILINK_DEMO"));
        !refusal.empty()) {
        ShowErrorBox(QString::fromUtf8(refusal.c_str()));
        return 0;
    }
    // The main window comes first and so becomes the application's main window; the help
    // window is created after it, hidden.
    TFormmain formmain;
    TForm1 form1;
    formmain.SetHelpWindow(&form1);
    formmain.Arguments = arguments;
    formmain.show();
    const int result = app.exec();
    return result;
}
