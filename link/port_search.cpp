// Finding the analyser: the remembered port first, otherwise every listed port, each
// asked for its identification; the one whose reply contains "ZOR" is the analyser.

#include <exception>
#include <map>
#include <string>

#include "data/conversions.h"
#include "data/cp1252.h"
#include "data/single_line.h"
#include "link/busy_scope.h"
#include "link/device_link.h"
#include "link/status_texts.h"
#include "serial/comm_open_error.h"
#include "serial/port_list.h"
#include "serial/tcomm.h"

namespace {

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

void DeviceLink::OpenDevicePort() {
    AddDebug("START -> openrs232");
    if (comm_.Connected()) {
        state.errorCode = kErrPortBusy;
        return;
    }
    if (state.portNumber <= 1) {
        AddDebug("failure: no pairing found");
        SaveDebugLog();
        state.errorCode = kErrNoComPort;
    }
    // The component takes 1..99 only and keeps its previous port otherwise; never let a
    // large number wrap into that range.
    const int32_t n = state.portNumber;
    comm_.SetPort(n >= 1 && n <= 99 ? static_cast<uint8_t>(n) : 0);
    comm_.SetBaudRate(cbr9600);
    // One and a half stop bits: what the analyser's Bluetooth module was always opened
    // with. The virtual port ignores it; on a real UART the driver decides.
    comm_.SetStopBits(csbONE5);
    comm_.SetParity(cpNONE);
    state.errorFlag = false;
    linkFailed_ = false;
    openGivenUp_ = false;
    openedAt_.start();
    {
        // Where the system takes its time over the open, events run meanwhile: no poll
        // tick or remembered click may use the port until it is settled.
        BusyScope busy(*this);
        comm_.OnOpenWait = [this](TComm*) { return WaitWhileOpening(); };
        comm_.Open();
        comm_.OnOpenWait = nullptr;
    }
    AddDebug("start -> rs232open");
    if (comm_.Connected()) {
        linkWait_ = !IsBluetoothLink(n)      ? LinkWait::None
                    : OutQueueShowsLinkUp(n) ? LinkWait::OutQueue
                                             : LinkWait::Unknown;
        state.errorCode = kErrNone;
        AddDebug("Verbindung ist aufgebaut (Standby).");
        view_.ShowConnectionPicture(2);
        timer2_.stop();
    } else {
        linkWait_ = LinkWait::None;
        TellPortNotOpened();
        // Otherwise every refusal looks alike: "Gerät einschalten!" also where the system
        // keeps the user out or another program holds the port.
        AddDebug(Utf8ToCp1252("failure: COM" + std::to_string(comm_.Port()) + " " +
                              DescribeOpenError(comm_.LastOpenError())));
    }
    NotePortPermission();
}

void DeviceLink::NotePortPermission() {
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

void DeviceLink::TellPortNotOpened() {
    state.errorCode = openGivenUp_ ? kErrUserAbort : kErrNoDevice;
    AddDebug("Kein  gefunden");
    AddDebug(Utf8ToCp1252("Gerät einschalten!"));
    state.errorFlag = true;
    SwitchOn(timer2_);
}

bool DeviceLink::WaitWhileOpening() {
    if (!state.abortFlag) {
        WaitForEvents();
    }
    if (state.abortFlag) {
        openGivenUp_ = true;
        return false;
    }
    return openedAt_.elapsed() < kLinkWaitMs;
}

int32_t DeviceLink::LinkTicksLeft() const {
    const qint64 left = kLinkWaitMs - openedAt_.elapsed();
    return left > 0 ? static_cast<int32_t>((left + 99) / 100) : 0;
}

bool DeviceLink::IdentifyAnalyser() {
    view_.SetStatusMessage(FoundText(state.portNumber));
    view_.SetIdentificationLabel(ReplyText(state.replyLine));
    if (!RequestIdentification("R004", Asker::Search)) {
        state.errorCode = kErrNoReply;
        return false;
    }
    view_.SetIdentificationLabel(view_.IdentificationLabel() + QLatin1Char(' ') +
                                 ReplyText(state.replyLine));
    return true;
}

DeviceLink::PortTrial DeviceLink::TryPort(bool rememberedPort) {
    OpenDevicePort();
    if (state.errorFlag) {
        ClosePort();
        return PortTrial::CannotOpen;
    }
    ServiceSequence();
    if (linkFailed_) {
        // The Bluetooth link hung up before it came up: nothing in reach, as if the port
        // could not be opened.
        TellPortNotOpened();
        ClosePort();
        return PortTrial::CannotOpen;
    }
    if (rememberedPort) {
        Drain();
    }
    if (!RequestIdentification("R001", Asker::Search)) {
        state.errorCode = kErrNoReply;
        if (rememberedPort) {
            return PortTrial::Unanswered;
        }
        // The scan goes on with the empty reply, which is no analyser's.
    }
    if (!IsAnalyserReply(state.replyLine)) {
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
        state.identification = ToCp1252(view_.IdentificationLabel());
    }
    StreamRequest();
    if (state.errorFlag) {
        state.errorCode = kErrNoReply;
        return PortTrial::Unanswered;
    }
    ClosePort();
    return PortTrial::Found;
}

int DeviceLink::SearchDevice() {
    BusyScope busy(*this);
    int found = 0;
    try {
        const std::vector<std::string> ports = portLister_ ? portLister_() : ListSerialPorts();
        LoadSettings();

        bool rememberedListed = false;
        if (state.settingsFound) {
            view_.SetStatusMessage(kStatusSettingsFound);
            for (const std::string& name : ports) {
                rememberedListed = rememberedListed || PortNumberOf(name) == state.portNumber;
            }
        }

        // Only a remembered port that fails to open in this search skips the scan; an
        // error code left over from an earlier search must not, or searching again after
        // "kein Messgerät gefunden" could never find anything.
        bool rememberedPortFailed = false;
        if (rememberedListed && !state.abortFlag) {
            switch (TryPort(true)) {
                case PortTrial::CannotOpen:
                    state.errorCode = kErrNoDevice;
                    rememberedPortFailed = true;
                    break;
                case PortTrial::Unanswered:
                case PortTrial::Unidentified:
                    return 0;  // the port stays open
                case PortTrial::Found:
                    found = 1;
                    break;
                case PortTrial::NotAnalyser:
                    break;
            }
        }

        if (found == 0 && !state.abortFlag && !rememberedPortFailed) {
            view_.SetStatusMessage(kStatusSearching);
            for (const std::string& name : ports) {
                state.portNumber = PortNumberOf(name);
                view_.SetStatusMessage(PortText("Teste COM", state.portNumber));
                const PortTrial trial = TryPort(false);
                if (trial == PortTrial::CannotOpen) {
                    view_.SetStatusMessage(PortText("TDA-Error COM", state.portNumber));
                    continue;
                }
                if (trial == PortTrial::Unidentified) {
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
    } catch (const std::exception&) {
        view_.ShowErrorBox(QStringLiteral("Initalfehler"));
    }

    if (found >= 1) {
        state.connected = true;
        state.errorCode = kErrNone;
        SaveSettings();
    } else {
        state.errorCode = state.portNumber == 1 ? kErrNotPaired : kErrNoDevice;
        state.connected = false;
    }
    return found;
}
