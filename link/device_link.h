#pragma once
// The link to the analyser: the command exchange on the serial port, the search for
// the analyser among the ports, the 100 ms poll loop with its error states, and the
// take-over of the values into the transfer file. The main window owns one instance
// and shows what it reports through LinkView.
//
// Everything runs on the user-interface thread. A wait (command exchange, drain)
// sleeps in the event loop until something happens (bytes from the port, a timer
// tick, a click), so timers and the "Abbrechen" button keep working while the
// program waits for the analyser, and the processor stays idle. Between two visits
// to the event loop it reads a bounded number of bytes, however fast they come.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/measurement.h"
#include "link/line_assembler.h"
#include "link/link_view.h"

class TComm;

/// The fields the link works on; they belong to the main window and live as long as it.
struct LinkState {
    // command exchange
    std::string replyLine;  ///< bytes after the last command up to (not including) CR
    uint8_t lastByte = 0;
    int32_t timeoutCounter = 0;  ///< remaining 100 ms ticks of the current wait
    /// Set when a wait failed. Sticky on purpose: after one unanswered command every
    /// further exchange returns at once, so a dead port costs one timeout, not one per
    /// command. Cleared by opening the port, and by any complete data line.
    bool errorFlag = false;
    bool abortFlag = false;  ///< "Abbrechen" was pressed; never cleared
    int32_t errorCode = 0;   ///< 0..7, see status_texts.h

    // search
    int32_t portNumber = 0;
    bool settingsFound = false;
    std::string identification;  ///< Windows-1252
    bool connected = false;
    std::vector<std::string> debugLog;  ///< Windows-1252 lines

    // poll loop
    int32_t keepAliveCounter = 10;
    bool firstTick = false;

    // command line
    std::string headerLine;           ///< Windows-1252
    std::string firingTypeParameter;  ///< Windows-1252
    std::string transferFilePath;     ///< POSIX: the system's bytes; Windows: UTF-8
    std::string so2Key;               ///< key for the SO2 line; empty = no SO2 line

    // figures for diagnostics and benchmarks
    uint64_t dataLinesDecoded = 0;  ///< complete data lines handed to CheckData730
};

class DeviceLink : public QObject {
    Q_OBJECT
public:
    /// Ticks the exchange waits for its reply line (1 s).
    static constexpr int32_t kReplyTicks = 10;
    /// Idle poll ticks before the stream is renewed with "w904".
    static constexpr int32_t kKeepAliveTicks = 10;
    /// Bytes a wait reads before it lets the event loop run again. A port that sends
    /// faster than the program reads never runs empty, so "until the queue is empty" is
    /// no bound: the timeout tick, the timers and "Abbrechen" would never get through.
    static constexpr uint32_t kBytesPerPass = 256;
    /// An identification request asked this often without an answer (an empty reply, a
    /// data line, in the take-over an R001 reply without "ZOR") counts as "no reply": a
    /// device that answers everything with an empty line, or streams on whatever it is
    /// sent, cannot hold the program in a loop.
    static constexpr int kMaxEmptyReplies = 5;
    /// The most ticks a stream is given to run out before an identification request
    /// (1 s). A cycle of thirteen data lines takes 0.15 s at 9600 baud; what still
    /// streams after that will not stop for the request.
    static constexpr int kRunOutTicks = 10;
    /// The most a Bluetooth link may take to connect, counted from the start of its open.
    /// The radio connection is made when the port is opened: 1-3 s to an analyser in
    /// reach. Once the link is up, the reply has its usual second (kReplyTicks); where
    /// nothing tells when it is up (a stand-in on a pty), the reply may come until then.
    static constexpr int kLinkWaitMs = 10000;

    /// Connects the three timers to their handlers; does not start any of them.
    DeviceLink(LinkView& view, MeasurementRecord& record, TComm& comm, QTimer& timer1,
               QTimer& timer2, QTimer& timeouttimer, QObject* parent = nullptr);

    LinkState state;

    // --- shared by all parts (device_link.cpp) ---
    void ClosePort();
    void LoadSettings();
    void SaveSettings();

    // --- command exchange ---
    /// Sends `command` + CR and waits up to 1 s for the reply line; see LinkState.
    void Exchange(std::string_view command);
    /// Discards whatever arrives until the next timeout tick.
    void Drain();
    /// Discards what arrives until a whole tick passes without a byte, at most
    /// kRunOutTicks, and then, if a line was cut off, up to its CR (within one more
    /// tick): the next reply read starts at the beginning of a line.
    void LetStreamRunOut();
    void TimeouttimerTimer();

    // --- search ---
    void OpenDevicePort();
    /// 1 when the analyser was found, else 0.
    int SearchDevice();

    // --- poll loop ---
    void StartLink();
    void Timer1Timer();
    void Timer2Timer();
    void ShowErrorState();
    void CheckData730(std::string_view line);

    // --- take-over ---
    /// Writes the transfer file. Returns true when the file was written; on failure the
    /// user has been told what failed and the values are still there.
    bool schreibeCSV_Datei();

    /// True when an R001 reply names the analyser: it contains "ZOR".
    static bool IsAnalyserReply(std::string_view reply);

    /// True while a search, an exchange or a take-over runs (they wait in the event loop).
    bool Busy() const { return busyDepth_ > 0; }

    // --- configuration (tests point these elsewhere) ---
    void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
    void SetDebugLogPath(std::string path) { debugLogPath_ = std::move(path); }
    void SetPortLister(std::function<std::vector<std::string>()> lister) {
        portLister_ = std::move(lister);
    }

signals:
    /// The last running wait has ended: Busy() turned false. Clicks that arrived during
    /// the wait can run now (connect queued, so they run after the handler that waited).
    void waitEnded();

private:
    class BusyScope;

    /// Switching a running timer on leaves its phase alone (it does not restart it), so
    /// a retry timer that every poll tick switches on still fires every 5 s.
    static void SwitchOn(QTimer& timer) {
        if (!timer.isActive()) {
            timer.start();
        }
    }

    /// Sleeps in the event loop until at least one event (port data, timer, input) came.
    void WaitForEvents();
    /// TComm's wait while the system opens the port: false ends it ("Abbrechen", or the
    /// link took longer than kLinkWaitMs).
    bool WaitWhileOpening();
    /// Ticks of the timeout timer left until kLinkWaitMs after the open.
    int32_t LinkTicksLeft() const;
    /// OpenDevicePort's outcome when the port did not open (error code 3, or 7 when
    /// "Abbrechen" gave the open up), and when its Bluetooth link failed right after.
    void TellPortNotOpened();
    /// After an open: keeps track of the ports the system refused to open for want of
    /// permission and tells the view when they change (help page 3 names them).
    void NotePortPermission();
    /// Between two passes of a wait: lets the event loop run, without sleeping when
    /// `bytesLeft` (the pass stopped at its budget with bytes still queued).
    void LetEventsRun(bool bytesLeft);
    /// Reads byte by byte into `line` until its CR (true), or until the timeout counter
    /// runs out, "Abbrechen" or a hang-up (false). Bytes after the CR stay queued.
    /// With `linkComingUp` (a Bluetooth link's first reply, while *linkComingUp), the wait
    /// starts its usual second once the output queue has run empty, and clears it.
    bool ReadToLineEnd(LineAssembler& line, bool* linkComingUp = nullptr);
    /// One pass of a drain: discards what arrives until the next tick. True when a byte
    /// came; `lineOpen` then says whether the last one was no CR.
    bool DiscardUntilTick(bool& lineOpen);
    /// Who asks for the analyser's identification.
    enum class Asker {
        Search,    ///< the search: R001 decides whether the port is the analyser's
        TakeOver,  ///< the take-over: the empty command first; R001 must name the analyser
    };
    /// Lets the stream run out, then asks `request`, repeated while the reply is no
    /// answer (empty, a data line, for the take-over an R001 reply without "ZOR"), at most
    /// kMaxEmptyReplies times. False on failure (error code 2 or 7, error flag set),
    /// with the reply line cleared.
    bool RequestIdentification(std::string_view request, Asker asker);
    /// How trying one port in the search ended.
    enum class PortTrial {
        CannotOpen,    ///< the port did not open (error flag set); closed again
        NotAnalyser,   ///< no "ZOR" in its identification; closed again
        Found,         ///< the analyser, asked to stream; closed again
        Unanswered,    ///< the analyser's port left a command unanswered; still open
        Unidentified,  ///< the analyser's, but R004 went unanswered (error code 2); still open
    };
    /// Open -> identify -> stream on the current port number, shared by the remembered
    /// port (`rememberedPort`: one more drain, any unanswered request ends the trial, the
    /// stored identification stays) and the scan.
    PortTrial TryPort(bool rememberedPort);
    /// The port's R001 reply (in the reply line) contains "ZOR": shows it as found and
    /// appends the serial number (R004) to the identification label. False when R004 went
    /// unanswered (error code 2): the search then ends there, on either path, with
    /// nothing saved.
    bool IdentifyAnalyser();
    /// "SERVICE002", "SERVICE001", three times: the analyser's command mode.
    void ServiceSequence();
    /// "w904" three times: the data stream.
    void StreamRequest();
    void TellNoReply();
    void AddDebug(std::string_view cp1252Line);
    void SaveDebugLog();
    /// Reads what the port holds now and decodes every completed data line.
    bool ReadDataLines();

    LinkView& view_;
    MeasurementRecord& record_;
    TComm& comm_;
    QTimer& timer1_;
    QTimer& timer2_;
    LineAssembler lineBuffer_;
    int busyDepth_ = 0;
    // The Bluetooth link wait: a link's connection is made when its port opens (Windows:
    // inside the open; Linux: in the background after it), so the first exchange after
    // the open may last until the link is up, kLinkWaitMs after the open at most.
    QElapsedTimer openedAt_;  ///< started by OpenDevicePort
    /// How the first exchange on a Bluetooth link learns that the link is up.
    enum class LinkWait : uint8_t {
        None,      ///< no link to wait for (not a Bluetooth link, or its first exchange ran)
        OutQueue,  ///< up once the command has left the output queue (OutQueueShowsLinkUp)
        Unknown,   ///< nothing tells: the reply may come until kLinkWaitMs after the open
    };
    LinkWait linkWait_ = LinkWait::None;  ///< for the next exchange
    bool linkFailed_ = false;             ///< the link hung up while its first exchange waited
    bool openGivenUp_ = false;            ///< "Abbrechen" ended the wait for the open
    std::map<int32_t, std::string> portsWithoutPermission_;  ///< port -> device path
    std::string settingsPath_;
    std::string debugLogPath_;  ///< empty: DebugLogFilePath() (config/debug_log_location.h)
    std::function<std::vector<std::string>()> portLister_;
};
