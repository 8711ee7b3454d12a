#pragma once
// Time inside the simulator: microseconds since the simulator started, on the monotonic
// clock. The protocol logic takes "now" as an argument so tests can drive it without waiting.

#include <chrono>
#include <limits>

/// A point in simulator time (microseconds since start) or a duration.
using SimTime = std::chrono::microseconds;

/// Later than any deadline that can come: what a sum beyond the clock's range is held at.
inline constexpr SimTime kSimNever = SimTime::max();

/// Converts milliseconds (as given on the command line) to simulator time; beyond the
/// clock's range it is kSimNever.
inline constexpr SimTime SimMs(long long ms) {
    constexpr long long kLargest = std::numeric_limits<SimTime::rep>::max() / 1000;
    return ms > kLargest ? kSimNever : ms < -kLargest ? -kSimNever : std::chrono::milliseconds(ms);
}

/// `at` + `span` for a deadline: held at kSimNever instead of overflowing, so that a time a
/// record or an option names far ahead never comes rather than coming at once.
inline constexpr SimTime SimAfter(SimTime at, SimTime span) {
    if (span > SimTime{0} && at > kSimNever - span) {
        return kSimNever;
    }
    if (span < SimTime{0} && at < -kSimNever - span) {
        return -kSimNever;
    }
    return at + span;
}
