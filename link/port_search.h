#pragma once
// Finding the analyser: the remembered port first, otherwise every listed port, each asked
// for its identification; the one whose reply contains "ZOR" is the analyser. Also the open
// and close of the analyser's port that every part of the link uses, and the settings file
// that remembers the port.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "config/settings.h"
#include "link/command_exchange.h"
#include "link/debug_log.h"
#include "link/link_view.h"

class PortProvider;
class TComm;

/// True when `identification` (Windows-1252) has the word DEMO, which the simulator adds to
/// an identification it replays from a session record. Found so, the search leaves no
/// trace, as a demo's does (Files::leaveNoTrace).
bool NamesAReplayedAnalyser(const std::string& identification);

class PortSearch {
public:
    /// Where the search keeps its files.
    struct Files {
        std::string settingsPath;  ///< empty: SettingsFilePath() (config/settings_location.h)
        std::string debugLogPath;  ///< empty: DebugLogFilePath() (config/debug_log_location.h)
        /// The demo: the settings file is read (SO2Key ...) but never written, the port and
        /// the identification a search finds are remembered for this run only, and no debug
        /// log is written, so that the next real run starts as if there had been no demo.
        bool leaveNoTrace = false;
    };

    PortSearch(TComm& comm, CommandExchange& exchange, PortProvider& ports, LinkView& view,
               DebugLog& debugLog, LinkClock::Timer& retryTimer, Files files);

    /// Configures the port component for the current port number and opens it. Afterwards
    /// the port is open (error code 0), or the error flag is set (error code 3, or 7 when
    /// "Abbrechen" gave the open up), or it was open already (error code 5, nothing else
    /// changed). Port number 1 or lower writes the debug log first (error code 1).
    void OpenDevicePort();
    void ClosePort();
    /// 1 when the analyser was found (its port is closed again, the settings saved), else 0.
    int SearchDevice();

    void LoadSettings();
    void SaveSettings();

    /// True after a successful search: the poll loop reads data only then.
    bool Connected() const { return connected_; }
    /// The COM port number in use (from the settings file, or the port the search is at).
    int32_t PortNumber() const { return settings_.portNumber; }
    /// The analyser's identification, as the settings file keeps it (Windows-1252).
    const std::string& Identification() const { return settings_.identification; }
    /// The transfer file's key for SO2 from the settings file; empty: no SO2 line.
    const std::string& So2Key() const { return settings_.so2Key; }
    /// The settings file's default for the mean's window, as written (empty: none).
    const std::string& MeanSetting() const { return settings_.meanSeconds; }
    /// Takes COM `port` as the analyser's, as a search that found it leaves it (for callers
    /// that know the port: tests and benchmarks); nothing is opened.
    void UsePort(int32_t port);

private:
    /// How trying one port in the search ended.
    enum class PortTrial {
        CannotOpen,    ///< the port did not open (error flag set); closed again
        NotAnalyser,   ///< no "ZOR" in its identification; closed again
        Found,         ///< the analyser, asked to stream; closed again
        Unanswered,    ///< the analyser's port left a command unanswered; still open
        Unidentified,  ///< the analyser's, but R004 went unanswered (error code 2); still open
    };

    /// OpenDevicePort's outcome when the port did not open (error code 3, or 7 when
    /// "Abbrechen" gave the open up), and when its Bluetooth link failed right after.
    void TellPortNotOpened();
    /// After an open: keeps track of the ports the system refused to open for want of
    /// permission and tells the view when they change (help page 3 names them).
    void NotePortPermission();
    /// The port's R001 reply (in the reply line) contains "ZOR": shows it as found and
    /// appends the serial number (R004) to the identification label. False when R004 went
    /// unanswered (error code 2): the search then ends there, on either path, with
    /// nothing saved.
    bool IdentifyAnalyser();
    /// Open -> identify -> stream on the current port number, shared by the remembered
    /// port (`rememberedPort`: one more drain, any unanswered request ends the trial, the
    /// stored identification stays) and the scan.
    PortTrial TryPort(bool rememberedPort);
    void SaveDebugLog();
    const std::string& SettingsPath();

    TComm& comm_;
    CommandExchange& exchange_;
    PortProvider& ports_;
    LinkView& view_;
    DebugLog& debugLog_;
    LinkClock::Timer& retryTimer_;
    Files files_;

    Settings settings_;
    /// With Files::leaveNoTrace: the port and identification the last successful search
    /// found, in place of those of the settings file.
    std::optional<Settings> foundThisRun_;
    bool connected_ = false;
    std::map<int32_t, std::string> portsWithoutPermission_;  ///< port -> device path
};
