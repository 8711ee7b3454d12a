#pragma once
// The link to the analyser. DeviceLink owns its four parts, each with its own state: the
// command exchange (command_exchange.h), the port search (port_search.h), the poll loop
// (poll_loop.h) and the take-over (take_over.h); and what they share: the serial port
// component, the three timers, the measurement record and the debug log. Its methods carry
// the routine names of the program's design and call the part that does the work. The main
// window owns one instance and shows what it reports through LinkView.

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "config/command_line.h"
#include "data/measurement.h"
#include "link/command_exchange.h"
#include "link/debug_log.h"
#include "link/link_clock.h"
#include "link/link_view.h"
#include "link/poll_loop.h"
#include "link/port_search.h"
#include "link/take_over.h"

class PortProvider;
class TComm;

/// What the link is made with. The program start fills it; tests give their own ports and
/// clock.
struct LinkSetup {
    /// Where the ports come from; the system's when null. Must outlive the link.
    PortProvider* ports = nullptr;
    /// The timers' clock and the waits' event loop; Qt's when null. Must outlive the link.
    LinkClock* clock = nullptr;
    /// The header line, the firing-type parameter and the transfer file's path.
    CommandLine commandLine;
    /// Where the settings file and the debug log go (empty: where they belong).
    PortSearch::Files files;
    /// The seconds of the switch --mean, 0 when it was refused; none without the switch.
    std::optional<int> meanSwitch;
};

class DeviceLink : public QObject {
    Q_OBJECT
public:
    /// Makes the timers (none started but the time-out timer, which runs from now on) and
    /// the serial port component.
    DeviceLink(LinkView& view, LinkSetup setup, QObject* parent = nullptr);
    ~DeviceLink() override;

    // --- the routines of the program's design ---
    void Timer1Timer() { poll_.Tick(); }
    void Timer2Timer() { poll_.RetryTick(); }
    void TimeouttimerTimer() { exchange_.TimeoutTick(); }
    void StartLink() { poll_.StartLink(); }
    void ShowErrorState() { poll_.ShowErrorState(); }
    void CheckData730(std::string_view line) { poll_.CheckData730(line); }
    int SearchDevice() { return search_.SearchDevice(); }
    void OpenDevicePort() { search_.OpenDevicePort(); }
    void ClosePort() { search_.ClosePort(); }
    void LoadSettings() { search_.LoadSettings(); }
    void SaveSettings() { search_.SaveSettings(); }
    void Exchange(std::string_view command) { exchange_.Exchange(command); }
    void Drain() { exchange_.Drain(); }
    /// Writes the transfer file with the manual entries `entries` gives when it needs them.
    /// True when the file was written; on failure the user has been told what failed.
    bool schreibeCSV_Datei(const ManualEntriesSource& entries) {
        poll_.RecordLastValues();
        return takeOver_.Run(entries, search_.So2Key());
    }

    // --- what the window asks and tells ---
    /// The window's first show: the first poll tick searches for the analyser.
    void Start() { poll_.Start(); }
    /// Tells the user at once when the transfer file could not be written where the command
    /// line asks for it; the program goes on.
    void CheckTransferPath() { takeOver_.CheckTransferPath(); }
    /// "Abbrechen", or the window closing: a running wait ends, the next tick closes.
    void Abort() { exchange_.Abort(); }
    bool Aborted() const { return exchange_.Aborted(); }
    /// True while a search, an exchange or a take-over runs (they wait in the event loop).
    bool Busy() const { return exchange_.Busy(); }
    int32_t ErrorCode() const { return exchange_.ErrorCode(); }
    const MeasurementRecord& Record() const { return record_; }
    /// The mean over the last seconds of live data (off unless asked for).
    const RunningMean& Mean() const { return poll_.Mean(); }
    /// As LinkSetup::meanSwitch, for tests that ask for the mean after the link was made.
    void SetMeanSwitch(std::optional<int> seconds) { poll_.SetMeanSwitch(seconds); }

    /// The clock of the link's timers and waits, for what keeps time beside them.
    LinkClock& Clock() { return clock_; }

    // --- the parts, for tests, benchmarks and diagnostics ---
    const CommandExchange& Exchanger() const { return exchange_; }
    CommandExchange& Exchanger() { return exchange_; }
    const PortSearch& Search() const { return search_; }
    const PollLoop& Poll() const { return poll_; }
    const DebugLog& Log() const { return debugLog_; }
    TComm& Comm() { return *comm_; }
    LinkClock::Timer& PollTimer() { return *timer1_; }
    LinkClock::Timer& RetryTimer() { return *timer2_; }
    LinkClock::Timer& TimeoutTimer() { return *timeouttimer_; }
    /// Opens COM `port` for the stream as a successful search leaves it, without searching
    /// (for callers that know the analyser's port: tests and benchmarks).
    void OpenForStream(int32_t port);

signals:
    /// The last running wait has ended: Busy() turned false. Clicks that arrived during
    /// the wait can run now (connect queued, so they run after the handler that waited).
    void waitEnded();

private:
    std::unique_ptr<LinkClock> ownClock_;  ///< when the setup brought none
    LinkClock& clock_;
    std::unique_ptr<LinkClock::Timer> timer1_;        ///< poll, 100 ms
    std::unique_ptr<LinkClock::Timer> timer2_;        ///< retry, 5 s
    std::unique_ptr<LinkClock::Timer> timeouttimer_;  ///< time-out countdown, 100 ms
    std::unique_ptr<TComm> comm_;
    MeasurementRecord record_;
    DebugLog debugLog_;
    CommandExchange exchange_;
    PortSearch search_;
    PollLoop poll_;
    TakeOver takeOver_;
};
