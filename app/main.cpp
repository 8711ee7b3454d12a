// Program start: one copy per user logon, then the main window and the help window.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/executable_path.h"
#include "app/locale_text.h"
#include "app/single_instance.h"
#include "data/cp1252.h"
#include "ui/form1.h"
#include "ui/formmain.h"
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

/// The second copy says that the first one runs, and ends; it creates no window of its own.
int RefuseSecondCopy(int argc, char** argv, const std::string& fileName) {
    const QString message = FromCp1252(AlreadyRunningMessage(ReadLocaleText()));
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (!MessagesToStderrOnly() && DisplayAvailable()) {
        QApplication app(argc, argv);
        UseUiFontAsApplicationFont();
        QMessageBox box(QMessageBox::NoIcon, FromCp1252(ApplicationTitle(fileName)), message,
                        QMessageBox::Ok);
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
    SingleInstanceGuard guard(fileName);
    if (!guard.Acquire()) {
        return RefuseSecondCopy(argc, argv, fileName);
    }

    QApplication app(argc, argv);
    UseUiFontAsApplicationFont();
    if (MessagesToStderrOnly()) {
        SetMessageBoxHook([](MessageKind kind, const QString& message) {
            std::fprintf(stderr, "%s: %s\n", kind == MessageKind::Error ? "Fehler" : "Information",
                         message.toLocal8Bit().constData());
        });
    }
    // The main window comes first and so becomes the application's main window; the help
    // window is created after it, hidden.
    TFormmain formmain;
    TForm1 form1;
    formmain.Arguments = CommandLineArguments(argc, argv);
    formmain.show();
    const int result = app.exec();
    return result;
}
