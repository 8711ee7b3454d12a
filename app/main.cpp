// Program start: --help and --version, one copy per user logon, the demo analyser of
// --demo[=OPTIONS] or FUMILINK_DEMO, then the main window and the help window.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/already_running_box.h"
#include "app/app_logging.h"
#include "app/demo_analyser.h"
#include "app/locale_text.h"
#include "app/program_info.h"
#include "app/session_record.h"
#include "app/single_instance.h"
#include "app/start_notice.h"
#include "app/toolkit_start.h"
#include "config/command_line.h"
#include "config/executable_path.h"
#include "config/mean_request.h"
#include "config/path_parts.h"
#include "config/record_location.h"
#include "config/record_settings.h"
#include "config/settings.h"
#include "config/settings_location.h"
#include "data/cp1252.h"
#include "data/quoted_bytes.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"
#include "ui/version_text.h"

namespace {

QString FromCp1252(const std::string& text) {
    return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string ProgramFileName(int argc, char** argv) {
    std::string fileName = ExecutableFileName();
    if (fileName.empty() && argc > 0) {
        fileName = FileNamePart(argv[0], PathSeparators());
    }
    return fileName;
}

/// The title made of the executable's file name, which is UTF-8 on Windows and, as a rule,
/// on Linux; the title's rules are those of Windows-1252 text.
QString TitleOf(const std::string& fileName) {
    const std::string text = IsWellFormedUtf8(fileName) ? Utf8ToCp1252(fileName) : fileName;
    return FromCp1252(ApplicationTitle(text));
}

/// The second copy says that the first one runs, and ends with 0; it creates no window of
/// its own.
int RefuseSecondCopy(ToolkitArguments& toolkit, const std::string& fileName) {
    const QString message = FromCp1252(AlreadyRunningMessage(ReadLocaleText()));
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (!MessageBoxesGoToStderr() && CanShowMessageBox()) {
        ShowAlreadyRunningBox(toolkit, TitleOf(fileName).toStdString(), message.toStdString());
    }
    return 0;
}

/// The records' folder by the settings files' rules; empty when there are to be none.
QString RecordFolder(const RecordSettings& rules) {
    if (!rules.enabled) {
        return QString();
    }
    return QString::fromStdString(rules.folder.empty() ? SessionRecordFolder() : rules.folder);
}

/// The administrator's settings file: the one beside the program.
std::string AdministratorsSettingsFile() {
    const std::string folder = ExecutableDirectory();
    return folder.empty() ? std::string() : folder + kSettingsFileName;
}

/// The transfer file's path as given, and where a relative one lies.
QString TransferPathText(const std::string& path) {
    const QString quoted = QString::fromStdString(QuoteBytes(path));
    if (path.empty() || !QDir::isRelativePath(QString::fromStdString(path))) {
        return quoted;
    }
    return QStringLiteral("%1 in the current folder %2")
        .arg(quoted, QString::fromStdString(QuoteBytes(QDir::currentPath().toStdString())));
}

/// The run's first lines in the record. Never the header line itself: it names the calling
/// program's customer.
void RecordStart(const CommandLine& commandLine, size_t argumentCount) {
    qCInfo(lcApp).noquote() << QStringLiteral("start: Fumilink %1 on %2 (%3)")
                                   .arg(QString::fromLatin1(kVersionText),
                                        QSysInfo::prettyProductName(),
                                        QSysInfo::currentCpuArchitecture());
    if (argumentCount == 0) {
        qCInfo(lcApp).noquote() << "command line: no arguments; transfer file"
                                << TransferPathText(commandLine.transferFilePath);
        return;
    }
    const auto counted = [](size_t n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    qCInfo(lcApp).noquote()
        << QStringLiteral("command line: %1; header line of %2; firing type %3; transfer file %4")
               .arg(counted(argumentCount, "argument", "arguments"),
                    counted(commandLine.headerLine.size(), "character", "characters"),
                    QString::fromStdString(QuoteBytes(commandLine.firingTypeParameter)),
                    TransferPathText(commandLine.transferFilePath));
}

void SendMessageBoxesToStderr() {
    SetMessageBoxHook([](MessageKind kind, const QString& message) {
        std::fprintf(stderr, "%s: %s\n", kind == MessageKind::Error ? "Fehler" : "Information",
                     message.toLocal8Bit().constData());
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::string fileName = ProgramFileName(argc, argv);
    // Taken from main()'s own argv, which the toolkit never sees.
    const ProgramArguments given = CommandLineArguments(argc, argv);
    const std::vector<std::string>& arguments = given.arguments;
    if (const std::optional<std::string> info = ProgramInfoRequested(arguments)) {
        ShowProgramInfo(TitleOf(fileName).toStdString(), *info);
        return 0;
    }

    // Every run leaves a record for support, as the office's rules allow; where it cannot,
    // the run goes on all the same.
    const RecordSettings recordRules =
        RecordSettingsFrom(PerUserSettingsFilePath(), AdministratorsSettingsFile());
    const QString recordFolder = RecordFolder(recordRules);
    SessionRecord record(
        recordFolder, QDateTime::currentDateTime(),
        {SessionRecord::kKeptRuns, SessionRecord::kMaxBytes, recordRules.keptDays});
    record.Install();
    const CommandLine commandLine = ReadCommandLine(arguments);
    RecordStart(commandLine, arguments.size());

    static char fallbackName[] = "fumilink";
    ToolkitArguments toolkit(argc > 0 ? argv[0] : fallbackName);
    SingleInstanceGuard guard(fileName);
    if (!guard.Acquire()) {
        record.EndRefused(QStringLiteral("another copy runs on this workplace"));
        return RefuseSecondCopy(toolkit, fileName);
    }

    const std::unique_ptr<QApplication> app = StartToolkit(toolkit, 1, [](const char* why) {
        if (SessionRecord* installed = SessionRecord::Installed()) {
            installed->EndRefused(QString::fromUtf8(why));
        }
    });
    if (MessageBoxesGoToStderr()) {
        SendMessageBoxesToStderr();
    }
    // --demo or FUMILINK_DEMO: the analyser simulator's ports in place of the system's; the
    // switch wins, as the nearer word of whoever started the program. A value the demo
    // refuses ends the program before any search, with the usual exit code (no transfer file).
    const char* const demoVariable = std::getenv(kDemoVariable);
    const DemoStart demo = given.demo ? StartDemoAnalyser(given.demo->c_str(), kDemoSwitch)
                                      : StartDemoAnalyser(demoVariable);
    if (!demo.refusal.empty()) {
        ShowErrorBox(QString::fromUtf8(demo.refusal.c_str()));
        record.EndRefused(QStringLiteral("the demo's options were refused"));
        return 0;
    }
    record.KeepNewestRuns();
    if (demo.ports != nullptr) {
        qCInfo(lcApp).noquote() << "demo:"
                                << QString::fromUtf8(given.demo ? given.demo->c_str()
                                                                : demoVariable);
    }
    if (!demo.note.empty()) {
        ShowInfoBox(QString::fromUtf8(demo.note.c_str()));
    }
    // --mean=SECONDS: the take-over writes means. A value it cannot use is told, and the run
    // goes on without the mean rather than with a window the caller did not ask for.
    std::optional<int> meanSwitch;
    if (given.mean) {
        meanSwitch = ParseMeanSeconds(*given.mean);
        if (!meanSwitch) {
            qCInfo(lcApp).noquote() << "mean: the switch's value"
                                    << QString::fromStdString(QuoteBytes(*given.mean)) << "refused";
            ShowInfoBox(QString::fromStdString(MeanRefusalText(kMeanSwitch, *given.mean)));
            meanSwitch = 0;
        }
    }
    WindowSetup setup;
    setup.link.meanSwitch = meanSwitch;
    setup.link.ports = demo.ports.get();  // none: the system's
    setup.link.commandLine = commandLine;
    setup.demo = demo.ports != nullptr;
    // A demo leaves the user's settings as they were: the next real search must not start
    // at the demo's port with its identification.
    setup.link.files.leaveNoTrace = setup.demo;
    setup.presses = {demo.presses.takeOverAfter, demo.presses.abortAfter};
    // The main window comes first and so becomes the application's main window; the help
    // window is created after it, hidden.
    TFormmain formmain(std::move(setup));
    TForm1 form1;
    form1.SetRecordFolder(record.IsOpen() ? recordFolder : QString());
    formmain.SetHelpWindow(&form1);
    formmain.show();
    const int exitCode = app->exec();
    qCInfo(lcApp).noquote() << QStringLiteral("end: exit code %1").arg(exitCode);
    return exitCode;
}
