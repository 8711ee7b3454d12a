#pragma once
// The 100 ms poll loop: connects on the first tick, decodes the analyser's data lines,
// keeps the stream alive, decides between online and standby, and shows the error state
// with its help page and retry timer.

#include <cstdint>
#include <string_view>

#include "data/measurement.h"
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

    PollLoop(TComm& comm, CommandExchange& exchange, PortSearch& search, MeasurementRecord& record,
             LinkView& view, DebugLog& debugLog, LinkTimers timers);

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

    /// The first tick is still to come (Start ran, the tick did not).
    bool FirstTickPending() const { return firstTick_; }
    int32_t KeepAliveCounter() const { return keepAliveCounter_; }
    int32_t OnlineCountdown() const { return onlineCountdown_; }
    /// Complete data lines handed to CheckData730 (for diagnostics and benchmarks).
    uint64_t DataLinesDecoded() const { return dataLinesDecoded_; }

private:
    /// Reads what the port holds now and decodes every completed data line.
    bool ReadDataLines();

    TComm& comm_;
    CommandExchange& exchange_;
    PortSearch& search_;
    MeasurementRecord& record_;
    LinkView& view_;
    DebugLog& debugLog_;
    LinkTimers timers_;

    LineAssembler lineBuffer_;
    int32_t keepAliveCounter_ = kKeepAliveTicks;
    int32_t onlineCountdown_ = 0;
    bool firstTick_ = false;
    uint64_t dataLinesDecoded_ = 0;
};
