#pragma once
// What a session record (the program's fumilink-*.log) says the analyser's ports did,
// read back as a script the simulator acts out (--replay): the ports the search listed,
// each open's outcome, the replies to each command in recorded order, the data lines with
// their times, the hang-ups. No Qt: fumilink-sim and the demo read it alike.
//
// A record holds what the program saw, not what the device sent: the times are those of
// the program's reads (its 100 ms ticks), and only the first data lines of a stream and
// one cycle every 10 s are in it. The script therefore also carries the stream's cycle
// period, at which the simulator repeats the last recorded line of each quantity where the
// record has none; and the take-over's summary of the last line of each quantity joins
// the stream just before the take-over, so a replayed take-over writes the same values.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_time.h"

/// How a recorded command was answered.
struct ReplayReply {
    enum class Kind {
        Line,     ///< a reply line, sent with its CR
        Partial,  ///< bytes without a CR before the program gave up: sent without one
        Silent,   ///< nothing came
    };
    Kind kind = Kind::Silent;
    std::string text;
    SimTime delay{0};  ///< from the command to the end of the reply, as the program saw it
};

/// One recorded data line, timed from its port's open.
struct ReplayLine {
    SimTime at{0};
    std::string text;
    /// From the take-over's summary of the last line of each quantity: the record does
    /// not say when it came, only that it was the last before the take-over.
    bool lastBeforeTakeOver = false;
};

/// One open of a port, from the open to its close or hang-up.
struct ReplaySession {
    bool refused = false;
    std::string refusal;  ///< the system's reason as recorded, for the log
    std::vector<ReplayLine> data;
    std::optional<SimTime> hangUpAt;     ///< the port hung up then, from the open
    std::optional<SimTime> streamEndAt;  ///< the stream stopped then, from the open
};

struct ReplayPort {
    int number = 0;
    bool bluetooth = false;
    /// The port hung up in its last session and a later search no longer listed it.
    bool vanishes = false;
    std::vector<ReplaySession> sessions;
    /// Per command text, the answers in recorded order.
    std::map<std::string, std::vector<ReplayReply>> replies;
};

struct ReplayScript {
    std::vector<ReplayPort> ports;  ///< in the order the first search listed them
    /// The stream's cycle period: how far apart a quantity came round in the record.
    SimTime cycle = SimMs(1000);
    /// The version of the program that wrote the record, as its start line names it
    /// ("1.0,007"); empty when the record does not say.
    std::string recordedBy;
};

/// The highest port number the simulator serves: its --port, and a record's ports.
inline constexpr int kHighestSimPort = 255;
/// The largest record read. The program's own stop at 1 MiB; what is larger was never one,
/// and is not read at all.
inline constexpr size_t kMaxReplayRecordBytes = 4 * 1024 * 1024;
/// The latest time a record may name: no run of the program lasts a day.
inline constexpr SimTime kLatestRecordedTime = std::chrono::hours(24);

/// Reads a record's text. Nothing, with `error` set, when it is empty, cut off in a line,
/// holds no search, names a port beyond kHighestSimPort or a time beyond
/// kLatestRecordedTime.
std::optional<ReplayScript> ParseReplayRecord(std::string_view text, std::string& error);

/// Reads the record at `path` (ParseReplayRecord); `error` names the file and the reason.
/// Only a regular file of at most kMaxReplayRecordBytes is read, and nothing waits: a
/// folder, a named pipe or a device is refused before anything is read from it.
std::optional<ReplayScript> LoadReplayRecord(const std::string& path, std::string& error);

/// The parameter number a data line starts with (its first three characters), or -1.
int ReplayParameterOf(std::string_view line);
