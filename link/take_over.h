#pragma once
// "Daten übernehmen": the measured values, the manual entries and the analyser's
// identification go into the transfer file for the calling program.

#include <functional>
#include <string_view>

#include "config/command_line.h"
#include "data/measurement.h"
#include "data/transfer_file.h"
#include "link/command_exchange.h"
#include "link/debug_log.h"
#include "link/link_timers.h"
#include "link/link_view.h"

class PollLoop;

/// The manual entries as the window holds them at the moment they are asked for: the
/// take-over asks once the analyser has answered the service sequence, so that an entry
/// changed while it waited still counts.
using ManualEntriesSource = std::function<ManualEntries()>;

class TakeOver {
public:
    /// `request` holds the header line, the firing-type parameter and the transfer file's
    /// path from the command line.
    TakeOver(CommandExchange& exchange, PollLoop& poll, const MeasurementRecord& record,
             LinkView& view, DebugLog& debugLog, LinkClock& clock, LinkClock::Timer& pollTimer,
             CommandLine request);

    /// Writes the transfer file. Returns true when the file was written; on failure the
    /// user has been told what failed and the values are still there. `so2Key` is the key
    /// of the SO2 line (empty: none).
    bool Run(const ManualEntriesSource& entries, std::string_view so2Key);

    /// Looks, without writing anything, whether the transfer file could be written now, and
    /// where not, tells the user at once, with the path and the reason. Nothing else
    /// changes: "Daten übernehmen" tries again, in case the folder has appeared meanwhile.
    void CheckTransferPath();

private:
    /// With the mean on: waits until its window is full, while the poll loop goes on. False
    /// when the stream broke off meanwhile (the user has been told) or after "Abbrechen".
    bool WaitForFullMean();
    /// The means that go into the file, each quantity's count in the session record.
    MeasurementRecord TakeMeans();
    /// The analyser did not answer: the window shows the error state, then the box says
    /// that nothing was taken over (not after "Abbrechen", which closes the window anyway).
    void TellNoReply();
    /// A close of the window (its close button, WM_CLOSE) that came as the last wait ended
    /// has not reached the window yet: Qt hands the window system's close over one pass of
    /// the event loop after it came. The first pass hands over what Qt holds, the second
    /// what the first took from the system.
    void LetLateClosesThrough();

    CommandExchange& exchange_;
    PollLoop& poll_;
    const MeasurementRecord& record_;
    LinkView& view_;
    DebugLog& debugLog_;
    LinkClock& clock_;
    LinkClock::Timer& pollTimer_;
    const CommandLine request_;
};
