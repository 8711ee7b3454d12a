#pragma once
// Time inside the simulator: microseconds since the simulator started, on the monotonic
// clock. The protocol logic takes "now" as an argument so tests can drive it without waiting.

#include <chrono>

/// A point in simulator time (microseconds since start) or a duration.
using SimTime = std::chrono::microseconds;

/// Converts milliseconds (as given on the command line) to simulator time.
inline constexpr SimTime SimMs(long long ms) {
    return std::chrono::milliseconds(ms);
}
