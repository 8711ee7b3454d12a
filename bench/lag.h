#pragma once
// The lag of the data stream: from a line leaving the simulator to its value on the
// window. Neither side can name individual lines, but both count them in the same order:
// the simulator reports how many stream lines it had written at a moment, the link how
// many it had decoded when the window was redrawn. The k-th line written is the k-th
// line decoded, so matching the counts gives each line's departure and arrival.

#include <cstdint>
#include <vector>

/// A cumulative line count and the monotonic time (seconds) it was reached.
struct LineMark {
    uint64_t lines = 0;
    double steady = 0;
};

struct LagResult {
    double maxLag = 0;           ///< seconds; the largest lag of any line shown
    uint64_t worstLine = 0;      ///< 1-based number of the line with that lag
    double minLag = 0;           ///< seconds; smallest lag of a write's last line; below 0
                                 ///< means the two counts are out of step
    double meanLag = 0;          ///< seconds; per line, each counted with its mark's lag
    uint64_t linesShown = 0;     ///< lines sent and shown
    uint64_t linesNotShown = 0;  ///< lines sent but never shown
};

/// `sent`: the simulator's marks (lines written so far, stamped just before the writes
/// that completed them), ascending. `shown`: the window's marks (lines decoded so far at
/// each redraw), ascending. A line's lag is the first redraw that counts it minus the
/// stamp of the writes that completed it; a stamp taken before the write makes the lag
/// an upper bound. Within one mark the last line waits longest, so each mark is checked
/// once.
LagResult LargestLag(const std::vector<LineMark>& sent, const std::vector<LineMark>& shown);
