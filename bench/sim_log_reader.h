#pragma once
// Reads fumilink-sim's command log while the simulator writes it. Only what was added
// since the last Poll is read, so following a long throughput log costs little.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bench/lag.h"

class SimLogReader {
public:
    explicit SimLogReader(std::string path) : path_(std::move(path)) {}

    /// Reads the complete lines added since the last call. A line still being written
    /// stays for the next call.
    void Poll();

    /// Marks of "SENT <n> steady=<s>" lines (fumilink-sim --log-sent), in log order.
    const std::vector<LineMark>& Sent() const { return sent_; }
    /// Stream lines written so far: the last SENT mark, 0 before the first.
    uint64_t LastSent() const { return sent_.empty() ? 0 : sent_.back().lines; }

    /// Every other line, as written (time stamp, port, event).
    const std::vector<std::string>& Events() const { return events_; }
    /// Number of event lines containing `needle`, e.g. "COM5 RX \"w904\"".
    int Count(std::string_view needle) const;

    /// Parses one log line into `events` or `sent`; public for the tests.
    static void ParseLine(std::string_view line, std::vector<LineMark>& sent,
                          std::vector<std::string>& events);

private:
    std::string path_;
    uint64_t offset_ = 0;
    std::string partial_;
    std::vector<LineMark> sent_;
    std::vector<std::string> events_;
};
