// What every part of the link shares: its timers, the port it closes, the debug log and
// the settings file. The command exchange, the search, the poll loop and the take-over
// each have a file of their own.

#include "link/device_link.h"
#include "config/atomic_write.h"
#include "config/debug_log_location.h"
#include "config/make_folders.h"
#include "config/path_parts.h"
#include "config/settings.h"
#include "config/settings_location.h"
#include "serial/tcomm.h"

DeviceLink::DeviceLink(LinkView& view, MeasurementRecord& record, TComm& comm, QTimer& timer1,
                       QTimer& timer2, QTimer& timeouttimer, QObject* parent)
    : QObject(parent), view_(view), record_(record), comm_(comm), timer1_(timer1), timer2_(timer2) {
    state.keepAliveCounter = kKeepAliveTicks;
    connect(&timer1, &QTimer::timeout, this, &DeviceLink::Timer1Timer);
    connect(&timer2, &QTimer::timeout, this, &DeviceLink::Timer2Timer);
    connect(&timeouttimer, &QTimer::timeout, this, &DeviceLink::TimeouttimerTimer);
}

void DeviceLink::AddDebug(std::string_view cp1252Line) {
    state.debugLog.emplace_back(cp1252Line);
}

void DeviceLink::SaveDebugLog() {
    // The current folder, or where the user's own settings live when it may not be
    // written there (a calling program under Program Files or in /usr/bin).
    const std::string path = debugLogPath_.empty() ? DebugLogFilePath() : debugLogPath_;
    std::string bytes;
    for (const std::string& line : state.debugLog) {
        bytes += line;
        bytes += "\r\n";
    }
    if (!MakeFolders(DirectoryPart(path, PathSeparators()), nullptr) ||
        !WriteFileAtomically(path, bytes, nullptr)) {
        view_.ShowErrorBox(QStringLiteral("Logdatei konnte nicht geschrieben werden!"));
    }
}

void DeviceLink::ClosePort() {
    comm_.Close();
}

void DeviceLink::LoadSettings() {
    if (settingsPath_.empty()) {
        settingsPath_ = SettingsFilePath();
    }
    Settings settings{state.portNumber, state.identification, state.settingsFound, state.so2Key};
    std::string error;
    const bool ok = ::LoadSettings(settingsPath_, settings, &error);
    state.portNumber = settings.portNumber;
    state.identification = settings.identification;
    state.settingsFound = settings.settingsFound;
    state.so2Key = settings.so2Key;
    if (!ok) {
        view_.ShowInfoBox(QString::fromUtf8(kLoadSettingsFailedText));
    }
}

void DeviceLink::SaveSettings() {
    if (settingsPath_.empty()) {
        settingsPath_ = SettingsFilePath();
    }
    const Settings settings{state.portNumber, state.identification, state.settingsFound,
                            state.so2Key};
    std::string error;
    if (!::SaveSettings(settingsPath_, settings, &error)) {
        view_.ShowInfoBox(QString::fromUtf8(kSaveSettingsFailedText));
    }
}
