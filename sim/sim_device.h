#pragma once
// The behaviour of one simulated port, without any I/O: commands in, paced bytes out,
// stream cycles and hang-ups by time. The event loop (SimServer) feeds it received bytes
// and the current time and writes what its output queue releases.

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "data/quoted_bytes.h"
#include "sim/command_framer.h"
#include "sim/paced_output.h"
#include "sim/sim_options.h"
#include "sim/stream_generator.h"

/// What a port stands for.
enum class PortRole {
    Analyser,  ///< the flue-gas analyser, with the configured faults
    Dead,      ///< takes bytes, never answers
    Foreign,   ///< answers every command with the foreign reply
    Refused,   ///< listed, but every open of it is refused (as one another program holds)
    Replay,    ///< acts out its part of a session record (--replay)
};

/// Texts of the role for logs and messages ("analyser", "dead", "foreign", "refused",
/// "replay").
const char* PortRoleName(PortRole role);

/// Quotes a byte string for the log (QuoteBytes, data/quoted_bytes.h), so a log line is
/// always one line.
inline std::string QuoteForLog(const std::string& bytes) {
    return QuoteBytes(bytes);
}

/// What the reply-noise fault puts in front of every reply: control bytes, an escape
/// sequence and high bytes, as a module's start-up garbage or a terminal's colour reset
/// would; never CR or LF, so the reply stays one line.
inline constexpr std::string_view kReplyNoise{"\x00\x07\x7F\xFE\xFF#~\x1B[0m\t ", 13};

/// One simulated port's protocol state.
class SimDevice {
public:
    /// Receives (time, event text) for the command log, e.g. `RX "w904"`.
    using EventSink = std::function<void(SimTime, const std::string&)>;

    /// `replay` is the port's part of the record, for PortRole::Replay.
    SimDevice(PortRole role, const SimOptions& options, EventSink sink,
              const ReplayPort* replay = nullptr);

    /// The program opens the port at `now`; false when the open is to be refused.
    bool Opened(SimTime now);
    /// The program's connection ended at `now` (it closed the port, or the port hung up).
    void Closed(SimTime now);
    /// True when the next open will be refused (a server that refuses by a lock sets it
    /// before the program tries).
    bool NextOpenRefused() const;
    /// True once when the program's connection is to hang up now while the port stays
    /// (a replayed hang-up the record shows the port coming back from); the server hangs
    /// the connection up and the device counts it as closed.
    bool TakeConnectionHangup();

    /// Handles bytes received from the program at `now`.
    void Receive(const char* data, size_t size, SimTime now);

    /// Runs what is due at `now`: stream cycles, the end of the stream, a timed hang-up.
    void Advance(SimTime now);

    /// The Bluetooth link to the program went down: what was queued is lost, a command
    /// half received is forgotten, and the stream stops until the next w904.
    void LinkDown(SimTime now);

    /// The bytes waiting to be written.
    PacedOutput& Output() { return output_; }

    /// The earliest time Advance() or the output queue needs attention, if any.
    /// `includeOutput` is false while the pty cannot take more bytes.
    std::optional<SimTime> NextDeadline(bool includeOutput) const;

    /// True once the port should be closed (hang-up fault); it then stays silent.
    bool WantsHangup() const { return wantsHangup_; }

    /// True while data lines are being produced.
    bool Streaming() const { return streaming_; }

    PortRole Role() const { return role_; }

private:
    // The open a replay plays next: the record's opens in turn, then its last one again.
    const ReplaySession* NextSession() const;
    void ReplayCommand(const std::string& command, SimTime now);
    void AdvanceReplay(SimTime now);
    void QueueReplayCycle(SimTime now);
    std::optional<SimTime> ReplayDeadline() const;
    SimTime ReplayCycle() const;

    void HandleCommand(const std::string& command, SimTime now);
    /// True when `command` is `trigger`'s `count`th arrival (`seen` counts them).
    static bool Arrived(const std::optional<std::string>& trigger, int count, int& seen,
                        const std::string& command);
    void Reply(const std::string& text, SimTime now);
    void StartOrRenewStream(SimTime now);
    void PauseStream(SimTime now);
    void QueueCycle(SimTime now);
    void HangUp(SimTime now, const std::string& reason);
    std::string NoiseBytes();

    PortRole role_;
    const SimOptions options_;
    const SimFaults faults_;  // the analyser's faults; none for dead and foreign ports
    EventSink sink_;
    CommandFramer framer_;
    PacedOutput output_;
    StreamGenerator generator_;
    std::mt19937 noiseRandom_;

    bool streaming_ = false;
    bool nonstop_ = false;    // the nonstop fault's command came: nothing pauses the stream
    bool silenced_ = false;   // the silent fault's command came: nothing is answered any more
    bool crDropped_ = false;  // the no-cr fault's command came: replies lack their CR
    // Arrivals of the commands the silent, no-cr and hang-up faults wait for.
    int silentFromSeen_ = 0;
    int noCrFromSeen_ = 0;
    int hangupOnSeen_ = 0;
    SimTime nextCycleAt_{0};
    std::optional<SimTime> streamEndAt_;
    bool overrunReported_ = false;
    bool wantsHangup_ = false;

    // A replay: the open being played, where it is, and the last line of each quantity
    // it sent (what the repeated cycle consists of).
    const ReplayPort* replay_ = nullptr;
    size_t sessionsUsed_ = 0;
    const ReplaySession* session_ = nullptr;
    SimTime openedAt_{0};
    size_t nextLine_ = 0;
    bool replayPaused_ = false;  // a service command paused the stream, as the analyser does
    std::optional<SimTime> nextFillAt_;
    std::map<std::string, size_t> replyCursor_;
    std::vector<int> quantities_;  // in the order they first came
    std::map<int, std::string> lastLineOf_;
    bool connectionHangup_ = false;
};
