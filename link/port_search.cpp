#include "link/port_search.h"

#include <exception>
#include <string>
#include <vector>

#include "config/debug_log_location.h"
#include "config/settings_location.h"
#include "data/conversions.h"
#include "data/cp1252.h"
#include "data/quoted_bytes.h"
#include "data/single_line.h"
#include "link/link_logging.h"
#include "link/link_timers.h"
#include "link/status_texts.h"
#include "serial/comm_open_error.h"
#include "serial/port_provider.h"
#include "serial/tcomm.h"

namespace {

using Asker = CommandExchange::Asker;

/// An identification reply as the window shows it and the settings file keeps it.
QString ReplyText(std::string_view reply) {
    return QString::fromStdString(Cp1252ToUtf8(PrintableLine(reply)));
}

std::string ToCp1252(const QString& text) {
    return Utf8ToCp1252(text.toStdString());
}

QString PortText(const char* prefix, int32_t port) {
    return QString::fromUtf8(prefix) + QString::fromStdString(IntToStrPad(port, 0));
}

QString FoundText(int32_t port) {
    return PortText("Gerät am COM", port) + QStringLiteral(" gefunden");
}

/// Port number of a port name such as "COM12": characters 4 to 8.
int32_t PortNumberOf(const std::string& name) {
    return name.size() > 3 ? ParseIntLoose(std::string_view(name).substr(3, 5)) : 0;
}

}  // namespace

PortSearch::PortSearch(TComm& comm, CommandExchange& exchange, PortProvider& ports, LinkView& view,
                       DebugLog& debugLog, LinkClock::Timer& retryTimer, Files files)
    : comm_(comm),
      exchange_(exchange),
      ports_(ports),
      view_(view),
      debugLog_(debugLog),
      retryTimer_(retryTimer),
      files_(std::move(files)) {}

void PortSearch::SaveDebugLog() {
    if (files_.leaveNoTrace) {
        // A demo's lines in place of a real search's would mislead whoever reads the file.
        return;
    }
    // The current folder, or where the user's own settings live when it may not be
    // written there (a calling program under Program Files or in /usr/bin).
    const std::string path = files_.debugLogPath.empty() ? DebugLogFilePath() : files_.debugLogPath;
    std::string error;
    if (!debugLog_.Save(path, error)) {
        view_.ShowErrorBox(
            WithReason(QStringLiteral("Logdatei konnte nicht geschrieben werden!"), error));
    }
}

bool NamesAReplayedAnalyser(const std::string& identification) {
    // The simulator adds the word to every replayed identification; no analyser has it.
    const std::string word = "DEMO";
    for (size_t at = identification.find(word); at != std::string::npos;
         at = identification.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || identification[at - 1] == ' ') &&
            (end == identification.size() || identification[end] == ' ')) {
            return true;
        }
    }
    return false;
}

const std::string& PortSearch::SettingsPath() {
    if (files_.settingsPath.empty()) {
        // A demo reads the settings and writes none, not even the user's copy of them.
        files_.settingsPath = SettingsFilePath(files_.leaveNoTrace ? SettingsUse::ReadOnly
                                                                   : SettingsUse::ReadAndWrite);
    }
    return files_.settingsPath;
}

void PortSearch::LoadSettings() {
    const Settings before = settings_;
    std::string error;
    if (!::LoadSettings(SettingsPath(), settings_, &error)) {
        view_.ShowInfoBox(WithReason(QString::fromUtf8(kLoadSettingsFailedText), error));
    } else if (settings_.settingsFound) {
        qCInfo(lcLink).noquote() << QStringLiteral("settings file %1: comport %2, SO2Key %3")
                                        .arg(QString::fromStdString(QuoteBytes(SettingsPath())))
                                        .arg(settings_.portNumber)
                                        .arg(QString::fromStdString(QuoteBytes(settings_.so2Key)));
    } else {
        qCInfo(lcLink).noquote() << QStringLiteral("settings file %1: none, or without [Main]")
                                        .arg(QString::fromStdString(QuoteBytes(SettingsPath())));
    }
    if (files_.leaveNoTrace) {
        // The file's port and identification are the real analyser's: the demo's search
        // starts from what it found itself in this run, or scans.
        const Settings& kept = foundThisRun_ ? *foundThisRun_ : before;
        settings_.portNumber = kept.portNumber;
        settings_.identification = kept.identification;
        settings_.settingsFound = foundThisRun_.has_value();
    }
}

void PortSearch::SaveSettings() {
    if (!files_.leaveNoTrace && NamesAReplayedAnalyser(ToCp1252(view_.IdentificationLabel()))) {
        // fumilink-sim acting out a technician's record: the analyser is the technician's,
        // and the replaying PC's settings are not to remember it.
        files_.leaveNoTrace = true;
        qCInfo(lcLink).noquote() << "a replayed analyser: the settings file stays as it is";
    }
    if (files_.leaveNoTrace) {
        foundThisRun_ = settings_;
        return;
    }
    std::string error;
    if (!::SaveSettings(SettingsPath(), settings_, &error)) {
        view_.ShowInfoBox(WithReason(QString::fromUtf8(kSaveSettingsFailedText), error));
    }
}

void PortSearch::ClosePort() {
    comm_.Close();
}

void PortSearch::UsePort(int32_t port) {
    settings_.portNumber = port;
    connected_ = true;
}

void PortSearch::OpenDevicePort() {
    debugLog_.Add("START -> openrs232");
    if (comm_.Connected()) {
        exchange_.SetErrorCode(kErrPortBusy);
        return;
    }
    if (settings_.portNumber <= 1) {
        debugLog_.Add("failure: no pairing found");
        SaveDebugLog();
        exchange_.SetErrorCode(kErrNoComPort);
    }
    // The component takes 1..99 only and keeps its previous port otherwise; never let a
    // large number wrap into that range.
    const int32_t n = settings_.portNumber;
    comm_.SetPort(n >= 1 && n <= 99 ? static_cast<uint8_t>(n) : 0);
    comm_.SetBaudRate(cbr9600);
    // One and a half stop bits: what the analyser's Bluetooth module was always opened
    // with. The virtual port ignores it; on a real UART the driver decides.
    comm_.SetStopBits(csbONE5);
    comm_.SetParity(cpNONE);
    exchange_.ClearErrorFlag();
    exchange_.OpenStarts();
    {
        // Where the system takes its time over the open, events run meanwhile: no poll
        // tick or remembered click may use the port until it is settled.
        CommandExchange::BusyScope busy(exchange_);
        comm_.OnOpenWait = [this](TComm*) { return exchange_.WaitWhileOpening(); };
        comm_.Open();
        comm_.OnOpenWait = nullptr;
    }
    debugLog_.Add("start -> rs232open");
    if (comm_.Connected()) {
        exchange_.ExpectLink(!ports_.IsBluetoothLink(n)      ? CommandExchange::LinkWait::None
                             : ports_.OutQueueShowsLinkUp(n) ? CommandExchange::LinkWait::OutQueue
                                                             : CommandExchange::LinkWait::Unknown);
        exchange_.SetErrorCode(kErrNone);
        debugLog_.Add("Verbindung ist aufgebaut (Standby).");
        view_.ShowConnectionPicture(2);
        retryTimer_.Stop();
    } else {
        exchange_.ExpectLink(CommandExchange::LinkWait::None);
        TellPortNotOpened();
        // Otherwise every refusal looks alike: "Gerät einschalten!" also where the system
        // keeps the user out or another program holds the port.
        debugLog_.Add(Utf8ToCp1252("failure: COM" + std::to_string(comm_.Port()) + " " +
                                   DescribeOpenError(comm_.LastOpenError())));
    }
    NotePortPermission();
}

void PortSearch::NotePortPermission() {
    const CommOpenError& error = comm_.LastOpenError();
    const int32_t port = comm_.Port();
    const std::map<int32_t, std::string> before = portsWithoutPermission_;
    if (!comm_.Connected() && error.failure == CommOpenFailure::PermissionDenied) {
        portsWithoutPermission_[port] = error.device;
    } else {
        portsWithoutPermission_.erase(port);
    }
    if (portsWithoutPermission_ == before) {
        return;
    }
    QStringList ports;
    for (const auto& [number, device] : portsWithoutPermission_) {
        ports << PortText("COM", number) + QStringLiteral(" (") +
                     QString::fromLocal8Bit(device.c_str()) + QLatin1Char(')');
    }
    view_.SetPortsWithoutPermission(ports);
}

void PortSearch::TellPortNotOpened() {
    exchange_.SetErrorCode(exchange_.OpenGivenUp() ? kErrUserAbort : kErrNoDevice);
    debugLog_.Add("Kein  gefunden");
    debugLog_.Add(Utf8ToCp1252("Gerät einschalten!"));
    exchange_.SetErrorFlag();
    SwitchOn(retryTimer_);
}

bool PortSearch::IdentifyAnalyser() {
    view_.SetStatusMessage(FoundText(settings_.portNumber));
    view_.SetIdentificationLabel(ReplyText(exchange_.ReplyLine()));
    if (!exchange_.RequestIdentification("R004", Asker::Search)) {
        exchange_.SetErrorCode(kErrNoReply);
        return false;
    }
    view_.SetIdentificationLabel(view_.IdentificationLabel() + QLatin1Char(' ') +
                                 ReplyText(exchange_.ReplyLine()));
    return true;
}

PortSearch::PortTrial PortSearch::TryPort(bool rememberedPort) {
    OpenDevicePort();
    if (exchange_.ErrorFlag()) {
        ClosePort();
        return PortTrial::CannotOpen;
    }
    exchange_.ServiceSequence();
    if (exchange_.LinkFailed()) {
        // The Bluetooth link hung up before it came up: nothing in reach, as if the port
        // could not be opened.
        TellPortNotOpened();
        ClosePort();
        return PortTrial::CannotOpen;
    }
    if (rememberedPort) {
        exchange_.Drain();
    }
    if (!exchange_.RequestIdentification("R001", Asker::Search)) {
        exchange_.SetErrorCode(kErrNoReply);
        if (rememberedPort) {
            return PortTrial::Unanswered;
        }
        // The scan goes on with the empty reply, which is no analyser's.
    }
    if (!CommandExchange::IsAnalyserReply(exchange_.ReplyLine())) {
        ClosePort();
        return PortTrial::NotAnalyser;
    }
    if (!IdentifyAnalyser()) {
        // The analyser's port, but no serial number: in the scan as on the remembered
        // port, an identification without it is neither kept nor saved.
        return PortTrial::Unidentified;
    }
    if (!rememberedPort) {
        // The remembered port keeps the identification read from the settings file.
        settings_.identification = ToCp1252(view_.IdentificationLabel());
    }
    exchange_.StreamRequest();
    if (exchange_.ErrorFlag()) {
        exchange_.SetErrorCode(kErrNoReply);
        return PortTrial::Unanswered;
    }
    ClosePort();
    return PortTrial::Found;
}

int PortSearch::SearchDevice() {
    CommandExchange::BusyScope busy(exchange_);
    int found = 0;
    try {
        const std::vector<std::string> ports = ports_.ListPorts();
        QStringList listed;
        QStringList bluetooth;
        for (const std::string& name : ports) {
            listed << QString::fromStdString(name);
            if (ports_.IsBluetoothLink(PortNumberOf(name))) {
                bluetooth << QString::fromStdString(name);
            }
        }
        const QString none = QStringLiteral("none");
        qCInfo(lcLink).noquote() << QStringLiteral("search: ports: %1; Bluetooth links: %2")
                                        .arg(listed.isEmpty() ? none : listed.join(' '),
                                             bluetooth.isEmpty() ? none : bluetooth.join(' '));
        LoadSettings();

        bool rememberedListed = false;
        if (settings_.settingsFound) {
            view_.SetStatusMessage(kStatusSettingsFound);
            for (const std::string& name : ports) {
                rememberedListed = rememberedListed || PortNumberOf(name) == settings_.portNumber;
            }
        }

        // Only a remembered port that fails to open in this search skips the scan; an
        // error code left over from an earlier search must not, or searching again after
        // "kein Messgerät gefunden" could never find anything.
        bool rememberedPortFailed = false;
        if (rememberedListed && !exchange_.Aborted()) {
            switch (TryPort(true)) {
                case PortTrial::CannotOpen:
                    exchange_.SetErrorCode(kErrNoDevice);
                    rememberedPortFailed = true;
                    break;
                case PortTrial::Unanswered:
                case PortTrial::Unidentified:
                    qCInfo(lcLink).noquote() << QStringLiteral(
                                                    "search: the remembered port left a request "
                                                    "unanswered (error code %1)")
                                                    .arg(exchange_.ErrorCode());
                    return 0;  // the port stays open
                case PortTrial::Found:
                    found = 1;
                    break;
                case PortTrial::NotAnalyser:
                    break;
            }
        }

        if (found == 0 && !exchange_.Aborted() && !rememberedPortFailed) {
            view_.SetStatusMessage(kStatusSearching);
            for (const std::string& name : ports) {
                settings_.portNumber = PortNumberOf(name);
                view_.SetStatusMessage(PortText("Teste COM", settings_.portNumber));
                const PortTrial trial = TryPort(false);
                if (trial == PortTrial::CannotOpen) {
                    view_.SetStatusMessage(PortText("TDA-Error COM", settings_.portNumber));
                    continue;
                }
                if (trial == PortTrial::Unidentified) {
                    qCInfo(lcLink).noquote() << QStringLiteral(
                                                    "search: the analyser's serial number went "
                                                    "unanswered (error code %1)")
                                                    .arg(exchange_.ErrorCode());
                    return 0;  // the analyser's port stays open, as on the remembered port
                }
                if (trial == PortTrial::Found || trial == PortTrial::Unanswered) {
                    // Unanswered here means the stream request failed on the analyser's
                    // port: it counts as found and stays open.
                    found = 1;
                    break;
                }
            }
        }
    } catch (const std::exception& failure) {
        view_.ShowErrorBox(WithReason(QStringLiteral("Initalfehler"), failure.what()));
    }

    if (found >= 1) {
        connected_ = true;
        exchange_.SetErrorCode(kErrNone);
        qCInfo(lcLink).noquote()
            << QStringLiteral("search: the analyser on COM%1").arg(settings_.portNumber);
        SaveSettings();
    } else {
        exchange_.SetErrorCode(settings_.portNumber == 1 ? kErrNotPaired : kErrNoDevice);
        connected_ = false;
        qCInfo(lcLink).noquote()
            << QStringLiteral("search: no analyser (error code %1)").arg(exchange_.ErrorCode());
    }
    return found;
}
