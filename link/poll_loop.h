#pragma once
// The 100 ms poll loop: connects on the first tick, decodes the analyser's data lines,
// keeps the stream alive, decides between online and standby, and shows the error state
// with its help page and retry timer.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "config/mean_request.h"
#include "data/measurement.h"
#include "data/running_mean.h"
#include "link/command_exchange.h"
#include "link/debug_log.h"
#include "link/line_assembler.h"
#include "link/link_timers.h"
#include "link/link_view.h"
#include "link/port_search.h"

class TComm;

class PollLoop {
public:
    /// Idle poll ticks before the stream is renewed with "w904".
    static constexpr int32_t kKeepAliveTicks = 10;
    /// Poll ticks (5 s) during which the link counts as receiving online data after a data
    /// line with a positive parameter number.
    static constexpr int32_t kOnlineTicks = 50;

    /// Data lines the session record takes at the start of a stream; afterwards it takes one
    /// cycle every kRecordedCycleEvery.
    static constexpr int kRecordedFirstLines = 2 * 13;
    static constexpr std::chrono::milliseconds kRecordedCycleEvery{10000};

    PollLoop(TComm& comm, CommandExchange& exchange, PortSearch& search, MeasurementRecord& record,
             LinkView& view, DebugLog& debugLog, LinkClock& clock, LinkTimers timers);

    /// The window's first show: the next poll tick starts the link.
    void Start();
    /// The poll tick (Timer1Timer).
    void Tick();
    /// The retry tick (Timer2Timer): shows the error state again, and lets the poll timer
    /// run again where no error flag holds it.
    void RetryTick();
    /// Searches, and on success opens the port and starts polling.
    void StartLink();
    /// Shows the state of the current error code: status text, picture, help page, "Was ist
    /// zu tun?" and the retry timer.
    void ShowErrorState();
    /// Decodes one data line (without its CR) into the measurement record.
    void CheckData730(std::string_view line);
    /// Puts the last line of each quantity into the session record: the values a take-over
    /// is about to write.
    void RecordLastValues();

    /// The first tick is still to come (Start ran, the tick did not).
    bool FirstTickPending() const { return firstTick_; }
    int32_t KeepAliveCounter() const { return keepAliveCounter_; }
    int32_t OnlineCountdown() const { return onlineCountdown_; }
    /// Complete data lines handed to CheckData730 (for diagnostics and benchmarks).
    uint64_t DataLinesDecoded() const { return dataLinesDecoded_; }

    /// The mean over the last seconds of live data, when the calling program asked for it.
    const RunningMean& Mean() const { return mean_; }
    RunningMean& Mean() { return mean_; }
    /// The seconds of the switch --mean (its refusal counts as 0); none: the settings
    /// file's default decides, read at each search.
    void SetMeanSwitch(std::optional<int> seconds);
    /// What asked for the mean that is on now.
    MeanSource MeanAskedBy() const { return meanChoice_.source; }
    /// While a take-over waits for a full mean, the online status says how long it waits.
    void SetWaitingForMean(bool waiting) { waitingForMean_ = waiting; }
    /// The status text while a take-over waits for the mean's window to fill.
    QString MeanWaitText() const;

private:
    /// Reads what the port holds now and decodes every completed data line.
    bool ReadDataLines();
    /// The session record's share of the stream: the first lines, then a cycle now and then.
    void RecordDataLine(std::string_view line);
    /// Sets the mean's window from the switch, or else from the settings file just read.
    void ChooseMeanWindow();
    /// Records the error code when it changed since it was last recorded.
    void NoteErrorState();

    TComm& comm_;
    CommandExchange& exchange_;
    PortSearch& search_;
    MeasurementRecord& record_;
    LinkView& view_;
    DebugLog& debugLog_;
    LinkClock& clock_;
    LinkTimers timers_;

    LineAssembler lineBuffer_;
    int32_t keepAliveCounter_ = kKeepAliveTicks;
    int32_t onlineCountdown_ = 0;
    bool firstTick_ = false;
    uint64_t dataLinesDecoded_ = 0;
    RunningMean mean_;
    std::optional<int> meanSwitch_;
    MeanChoice meanChoice_;
    std::string meanSettingRefused_;  ///< told once, not at every search
    bool waitingForMean_ = false;

    // What the session record has taken of the stream.
    int recordedLines_ = 0;
    bool sampling_ = false;      ///< taking a cycle
    std::set<int32_t> sampled_;  ///< parameters of the cycle being taken
    std::chrono::milliseconds nextSampleAt_{0};
    std::map<int32_t, std::string> lastLines_;  ///< parameter -> its last line
    int32_t recordedErrorCode_ = 0;
};
