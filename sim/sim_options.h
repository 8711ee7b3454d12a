#pragma once
// Command-line options of fumilink-sim, parsed into plain values. Parsing never exits or
// prints: it returns an error text, so main() decides the exit code and tests can check
// every rejection.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/replay_script.h"
#include "sim/sim_time.h"

/// Misbehaviours the analyser port shows on request (`--fault`). Several can be combined.
struct SimFaults {
    bool silent = false;           ///< never answers, never streams
    SimTime replyDelay{0};         ///< each reply starts this long after its command
    SimTime slowByteGap{0};        ///< reply bytes this far apart (0 = line pacing)
    bool noCr = false;             ///< replies lack their CR
    bool emptyReplies = false;     ///< every command answered with an empty line
    bool noise = false;            ///< noise, NUL and high bytes between stream lines
    bool replyNoise = false;       ///< control and high bytes in front of every reply
    bool noNewlineStream = false;  ///< stream lines without CR
    bool flood = false;            ///< full-speed stream from open on, never paused
    /// From the first of this command on, the stream (at its usual pace) runs whatever the
    /// program sends: the command starts it, and no service command pauses it any more.
    std::optional<std::string> nonstopFrom;
    std::optional<SimTime> hangupAfter;   ///< close the pty this long after start
    std::optional<std::string> hangupOn;  ///< close the pty upon this command
    bool foreign = false;                 ///< behave like a foreign device (no "ZOR")
    /// `silent` from this command on (itself left unanswered), `noCr` from this command on
    /// (its own reply included): from its first arrival, or its Nth with the count. The
    /// count of `hangupOn` the same way.
    std::optional<std::string> silentFrom;
    int silentFromCount = 1;
    std::optional<std::string> noCrFrom;
    int noCrFromCount = 1;
    int hangupOnCount = 1;
};

/// A port that stands for a Bluetooth serial link (`--bluetooth`). Opening it starts the
/// radio connection, as opening /dev/rfcommN does: the link comes up `after` the open, or,
/// with `fails`, the connection fails then and the port hangs up.
struct SimBluetoothLink {
    int port = 0;
    SimTime after{0};
    bool fails = false;
};

/// Number of quantities in one stream cycle.
inline constexpr int kStreamParameterCount = 13;

/// Parameter numbers the stream sends, one line each per cycle, in sending order.
inline constexpr std::array<int, kStreamParameterCount> kStreamParameters = {
    51, 52, 53, 57, 61, 513, 65, 40, 41, 92, 514, 80, 90};

/// Everything the command line can set. Defaults are those of a healthy GX40.
struct SimOptions {
    std::optional<int> analyserPort = 5;  ///< COM number of the analyser, none with --no-analyser
    std::vector<int> deadPorts;           ///< ports that take bytes and never answer
    std::vector<int> foreignPorts;        ///< ports that answer, but not as the analyser
    std::vector<int> refusedPorts;        ///< listed ports whose every open is refused
    std::vector<SimBluetoothLink> bluetoothLinks;    ///< ports above that are Bluetooth links
    std::string portDir;                             ///< folder that receives the COM<n> links
    std::string id = "ZOR GX40";                     ///< reply to R001
    std::string id2 = "GX40 V2.31";                  ///< reply to R002
    std::string serial = "SN42";                     ///< reply to R004
    std::string foreignReply = "MODEM OK";           ///< what foreign ports answer to anything
    SimTime cycle = SimMs(1000);                     ///< stream cycle; 0 = cycles back to back
    std::optional<SimTime> streamDuration;           ///< stream stops this long after the last w904
    std::array<char, kStreamParameterCount> status;  ///< status char per kStreamParameters entry
    std::optional<int> bytesPerSecond = 960;         ///< line pacing; nullopt = as fast as possible
    SimFaults faults;
    std::string logPath;     ///< empty = standard error
    std::string readyFile;   ///< empty = none
    bool logSent = false;    ///< log "SENT <lines> steady=<s>" after writes (benchmarks)
    unsigned seed = 1;       ///< seed of the value drift, so runs are reproducible
    bool steady = false;     ///< no drift: every cycle sends the same values
    std::string replayPath;  ///< --replay: the session record acted out
    /// The record read (set with replayPath): the ports are its ports, nothing else.
    std::shared_ptr<const ReplayScript> replay;

    SimOptions() { status.fill('G'); }
};

/// Outcome of parsing: either options, a help request, or an error text for the user.
struct SimOptionsResult {
    SimOptions options;
    bool helpRequested = false;
    std::string error;  ///< non-empty when the command line was rejected
    /// What the user should know although the options were taken (a record of another
    /// version than this build); empty otherwise.
    std::string note;
    /// The program's demo only (SimPortPlace::InProgram): press "Daten übernehmen" or
    /// "Abbrechen" this long after the first live values (--take-over-after SECONDS,
    /// --abort-after SECONDS). They press the program's buttons, so fumilink-sim refuses them.
    std::optional<SimTime> takeOverAfter;
    std::optional<SimTime> abortAfter;
};

/// Where the simulated ports are: pseudo-terminals linked in a port folder (fumilink-sim),
/// or inside the program (its demo analyser, FUMILINK_DEMO), which has no folder, no
/// ready file and no pty writes to log.
enum class SimPortPlace { Folder, InProgram };

/// Parses the arguments after the program name. `envPortDir` is $FUMILINK_PORT_DIR
/// (empty when unset); it is the port folder unless --port-dir is given. InProgram refuses
/// --port-dir, --ready-file and --log-sent instead of asking for a folder, and takes the
/// demo's --take-over-after and --abort-after, which Folder refuses.
SimOptionsResult ParseSimOptions(const std::vector<std::string>& args,
                                 const std::string& envPortDir,
                                 SimPortPlace place = SimPortPlace::Folder);

/// The text --help prints: every option, its default, and examples.
std::string SimHelpText();
