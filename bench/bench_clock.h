#pragma once
// The clock every benchmark figure is read from. It is the system-wide monotonic clock,
// the same one fumilink-sim prints with --log-sent, so times taken in the two processes
// can be subtracted from each other.

#include <chrono>

/// Seconds on the monotonic clock (CLOCK_MONOTONIC on Linux).
inline double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
