#include "sim/sim_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

namespace {

// Whole-string number parsing: "12x" or "" must be rejected, which atoi would accept.
std::optional<long long> ParseInteger(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Port numbers become "COM<n>" links; the program only uses 1..99, but larger numbers
// are harmless for the simulator and let tests avoid clashes.
constexpr long long kMaxPort = kHighestSimPort;

class Parser {
public:
    Parser(const std::vector<std::string>& args, SimOptionsResult& result, SimPortPlace place)
        : args_(args), result_(result), place_(place) {}

    void Run() {
        for (index_ = 0; index_ < args_.size() && result_.error.empty(); ++index_) {
            ParseOne(args_[index_]);
        }
    }

    /// The options given on the command line, by name, for the combinations to check.
    const std::set<std::string>& Given() const { return given_; }

private:
    void Fail(const std::string& text) {
        if (result_.error.empty()) {
            result_.error = text;
        }
    }

    // The value of the current option, from "--opt=value" or the next argument.
    std::optional<std::string> Value(const std::string& name) {
        if (inlineValue_) {
            return inlineValue_;
        }
        if (index_ + 1 >= args_.size()) {
            Fail("option " + name + " needs a value");
            return std::nullopt;
        }
        return args_[++index_];
    }

    std::optional<int> PortValue(const std::string& name) {
        const auto text = Value(name);
        if (!text) {
            return std::nullopt;
        }
        const auto number = ParseInteger(*text);
        if (!number || *number < 1 || *number > kMaxPort) {
            Fail(name + ": '" + *text + "' is not a port number (1.." + std::to_string(kMaxPort) +
                 ")");
            return std::nullopt;
        }
        return static_cast<int>(*number);
    }

    std::optional<long long> MillisValue(const std::string& name, const std::string& text) {
        const auto number = ParseInteger(text);
        if (!number || *number < 0 || *number > 3600 * 1000) {
            Fail(name + ": '" + text + "' is not a number of milliseconds (0..3600000)");
            return std::nullopt;
        }
        return number;
    }

    // Where the options come from fumilink-sim's own command line, its --help lists them;
    // the program's --help does not.
    std::string SeeHelp() const {
        return place_ == SimPortPlace::Folder ? " (see --help)" : std::string();
    }

    void ParseStatus(const std::string& text) {
        const auto eq = text.find('=');
        const std::string key = text.substr(0, eq);
        const std::string chr = eq == std::string::npos ? "" : text.substr(eq + 1);
        if (eq == std::string::npos || chr.size() != 1 || chr[0] == '\r' || chr[0] == '\n') {
            Fail("--status: expected NNN=C (parameter number, '=', one character), got '" + text +
                 "'");
            return;
        }
        auto& status = result_.options.status;
        if (key == "all") {
            status.fill(chr[0]);
            return;
        }
        const auto number = ParseInteger(key);
        const auto* found =
            number ? std::find(kStreamParameters.begin(), kStreamParameters.end(), *number)
                   : kStreamParameters.end();
        if (found == kStreamParameters.end()) {
            Fail("--status: '" + key + "' is not one of the streamed parameter numbers");
            return;
        }
        status[static_cast<size_t>(found - kStreamParameters.begin())] = chr[0];
    }

    void ParseFaultItem(const std::string& item) {
        auto& faults = result_.options.faults;
        const auto eq = item.find('=');
        const std::string name = item.substr(0, eq);
        const std::string arg = eq == std::string::npos ? "" : item.substr(eq + 1);
        const bool takesArg =
            name == "delay" || name == "slow" || name == "hangup-after" || name == "hangup-on";
        const bool mayTakeArg = name == "nonstop" || name == "silent" || name == "no-cr";
        const bool takesNone = name == "empty" || name == "noise" || name == "reply-noise" ||
                               name == "no-newline-stream" || name == "flood" ||
                               name == "endless-line" || name == "foreign";
        if (!takesArg && !mayTakeArg && !takesNone) {
            // Before the value's check: a misspelt name with a value is still unknown.
            Fail("--fault: unknown fault '" + name + "'" + SeeHelp());
            return;
        }
        if (!mayTakeArg && takesArg == (eq == std::string::npos)) {
            Fail("--fault: '" + item + "' " +
                 (takesArg ? "needs a value (" + name + "=...)" : "takes no value"));
            return;
        }
        if (name == "silent" || name == "no-cr") {
            // Without a command from the start; with one (the empty command too, which only
            // the take-over sends) from its first or Nth arrival.
            const bool silent = name == "silent";
            if (eq == std::string::npos) {
                (silent ? faults.silent : faults.noCr) = true;
            } else {
                SetTrigger(arg, silent ? faults.silentFrom : faults.noCrFrom,
                           silent ? faults.silentFromCount : faults.noCrFromCount);
            }
        } else if (name == "empty") {
            faults.emptyReplies = true;
        } else if (name == "noise") {
            faults.noise = true;
        } else if (name == "reply-noise") {
            faults.replyNoise = true;
        } else if (name == "no-newline-stream") {
            faults.noNewlineStream = true;
        } else if (name == "flood") {
            faults.flood = true;
        } else if (name == "endless-line") {
            // Not one CR, neither in the stream nor in a reply: a line that never ends.
            faults.flood = true;
            faults.noNewlineStream = true;
            faults.noCr = true;
        } else if (name == "nonstop") {
            // Without a command: from the stream request on, the one that starts it anyway.
            faults.nonstopFrom = eq == std::string::npos ? std::string("w904") : arg;
        } else if (name == "foreign") {
            faults.foreign = true;
        } else if (name == "hangup-on") {
            SetTrigger(arg, faults.hangupOn, faults.hangupOnCount);
        } else if (name == "delay" || name == "slow" || name == "hangup-after") {
            const auto ms = MillisValue("--fault " + name, arg);
            if (!ms) {
                return;
            }
            if (name == "delay") {
                faults.replyDelay = SimMs(*ms);
            } else if (name == "slow") {
                faults.slowByteGap = SimMs(*ms);
            } else {
                faults.hangupAfter = SimMs(*ms);
            }
        }
    }

    // CMD or CMD#N: the command, and its Nth arrival (a search sends SERVICE002 and w904
    // three times each, so #4 is the take-over's first service command, or the first
    // keep-alive). Without a count after '#' all of it is the command.
    static void SetTrigger(const std::string& arg, std::optional<std::string>& command,
                           int& count) {
        const auto hash = arg.rfind('#');
        const auto n =
            hash == std::string::npos ? std::nullopt : ParseInteger(arg.substr(hash + 1));
        const bool counted = n && *n >= 1 && *n <= 1000000;
        command = counted ? arg.substr(0, hash) : arg;
        count = counted ? static_cast<int>(*n) : 1;
    }

    // N, N:up=MS or N:fail=MS
    void ParseBluetooth(const std::string& text) {
        const auto colon = text.find(':');
        const auto number = ParseInteger(text.substr(0, colon));
        if (!number || *number < 1 || *number > kMaxPort) {
            Fail("--bluetooth: '" + text + "' does not start with a port number (1.." +
                 std::to_string(kMaxPort) + ")");
            return;
        }
        SimBluetoothLink link;
        link.port = static_cast<int>(*number);
        if (colon != std::string::npos) {
            const std::string when = text.substr(colon + 1);
            const bool up = when.rfind("up=", 0) == 0;
            const bool fail = when.rfind("fail=", 0) == 0;
            if (!up && !fail) {
                Fail("--bluetooth: expected N, N:up=MS or N:fail=MS, got '" + text + "'");
                return;
            }
            const auto ms = MillisValue("--bluetooth", when.substr(up ? 3 : 5));
            if (!ms) {
                return;
            }
            link.after = SimMs(*ms);
            link.fails = fail;
        }
        result_.options.bluetoothLinks.push_back(link);
    }

    void ParseFaults(const std::string& list) {
        size_t start = 0;
        while (start <= list.size() && result_.error.empty()) {
            const auto comma = list.find(',', start);
            const auto end = comma == std::string::npos ? list.size() : comma;
            ParseFaultItem(list.substr(start, end - start));
            start = end + 1;
        }
    }

    void ParseOne(const std::string& arg) {
        std::string name = arg;
        inlineValue_.reset();
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue_ = arg.substr(eq + 1);
            }
        }
        auto& o = result_.options;
        if (name.rfind("--", 0) == 0) {
            given_.insert(name);
        }
        if (name == "--help" || name == "-h") {
            NoValue(name);
            result_.helpRequested = true;
        } else if (name == "--port") {
            if (auto p = PortValue(name)) {
                o.analyserPort = *p;
            }
        } else if (name == "--no-analyser") {
            NoValue(name);
            o.analyserPort.reset();
        } else if (name == "--dead-port") {
            if (auto p = PortValue(name)) {
                o.deadPorts.push_back(*p);
            }
        } else if (name == "--refused-port") {
            if (auto p = PortValue(name)) {
                o.refusedPorts.push_back(*p);
            }
        } else if (name == "--replay") {
            if (auto v = Value(name)) {
                if (o.replayPath.empty()) {
                    o.replayPath = *v;
                } else {
                    Fail(name + ": given twice; a run acts out one record");
                }
            }
        } else if (name == "--foreign-port") {
            if (auto p = PortValue(name)) {
                o.foreignPorts.push_back(*p);
            }
        } else if (name == "--bluetooth") {
            if (auto v = Value(name)) {
                ParseBluetooth(*v);
            }
        } else if (name == "--port-dir") {
            if (auto v = Value(name)) {
                o.portDir = *v;
            }
        } else if (name == "--id") {
            if (auto v = Value(name)) {
                o.id = *v;
            }
        } else if (name == "--id2") {
            if (auto v = Value(name)) {
                o.id2 = *v;
            }
        } else if (name == "--serial") {
            if (auto v = Value(name)) {
                o.serial = *v;
            }
        } else if (name == "--foreign-reply") {
            if (auto v = Value(name)) {
                o.foreignReply = *v;
            }
        } else if (name == "--cycle-ms") {
            if (auto v = Value(name)) {
                if (auto ms = MillisValue(name, *v)) {
                    o.cycle = SimMs(*ms);
                }
            }
        } else if (name == "--stream-seconds") {
            if (auto v = Value(name)) {
                const auto s = ParseDecimal(*v);
                if (!s || *s < 0 || *s > 86400) {
                    Fail(name + ": '" + *v + "' is not a number of seconds (0..86400)");
                } else {
                    o.streamDuration = SimTime(std::llround(*s * 1e6));
                }
            }
        } else if (name == "--take-over-after" || name == "--abort-after") {
            ParsePress(name);
        } else if (name == "--status") {
            if (auto v = Value(name)) {
                ParseStatus(*v);
            }
        } else if (name == "--rate") {
            if (auto v = Value(name)) {
                const auto baud = ParseInteger(*v);
                if (*v == "max") {
                    o.bytesPerSecond.reset();
                } else if (baud && *baud >= 10 && *baud <= 4000000) {
                    // 8N1 framing: ten bit times per byte.
                    o.bytesPerSecond = static_cast<int>(*baud / 10);
                } else {
                    Fail(name + ": '" + *v + "' is neither 'max' nor a baud rate (10..4000000)");
                }
            }
        } else if (name == "--fault") {
            if (auto v = Value(name)) {
                ParseFaults(*v);
            }
        } else if (name == "--log") {
            if (auto v = Value(name)) {
                o.logPath = *v;
            }
        } else if (name == "--log-sent") {
            NoValue(name);
            o.logSent = true;
        } else if (name == "--ready-file") {
            if (auto v = Value(name)) {
                o.readyFile = *v;
            }
        } else if (name == "--steady") {
            NoValue(name);
            o.steady = true;
        } else if (name == "--seed") {
            if (auto v = Value(name)) {
                const auto n = ParseInteger(*v);
                if (!n || *n < 0 || *n > 0xFFFFFFFFLL) {
                    Fail(name + ": '" + *v + "' is not a seed (0..4294967295)");
                } else {
                    o.seed = static_cast<unsigned>(*n);
                }
            }
        } else {
            Fail("unknown option '" + arg + "'" + SeeHelp());
            return;
        }
    }

    // The presses of the program's buttons that its demo can make by itself.
    void ParsePress(const std::string& name) {
        if (place_ != SimPortPlace::InProgram) {
            Fail(name +
                 ": an option of the program's demo (fumilink --demo=\"...\", "
                 "FUMILINK_DEMO), not of fumilink-sim");
            return;
        }
        const auto text = Value(name);
        if (!text) {
            return;
        }
        const auto seconds = ParseDecimal(*text);
        if (!seconds || *seconds < 0 || *seconds > 86400) {
            Fail(name + ": '" + *text + "' is not a number of seconds (0..86400)");
            return;
        }
        (name == "--abort-after" ? result_.abortAfter : result_.takeOverAfter) =
            SimTime(std::llround(*seconds * 1e6));
    }

    void NoValue(const std::string& name) {
        if (inlineValue_) {
            Fail("option " + name + " takes no value");
        }
    }

    const std::vector<std::string>& args_;
    SimOptionsResult& result_;
    const SimPortPlace place_;
    size_t index_ = 0;
    std::optional<std::string> inlineValue_;
    std::set<std::string> given_;
};

// What a replay takes from the record and so cannot be given besides it.
constexpr const char* kDecidedByTheRecord[] = {
    "--port",         "--no-analyser",   "--dead-port", "--foreign-port",
    "--refused-port", "--bluetooth",     "--id",        "--id2",
    "--serial",       "--foreign-reply", "--cycle-ms",  "--stream-seconds",
    "--status",       "--fault",         "--seed",      "--steady"};

// Reads the record of --replay into the options; the error names what is wrong, `note` a
// record of another version, which is played as far as it reads as this version's.
std::string TakeReplay(SimOptions& o, const std::set<std::string>& given, std::string& note) {
    for (const char* option : kDecidedByTheRecord) {
        if (given.count(option) != 0) {
            return std::string("--replay: ") + option +
                   " cannot be given with it: the record decides the ports and what they do";
        }
    }
    std::string error;
    std::optional<ReplayScript> script = LoadReplayRecord(o.replayPath, error);
    if (!script) {
        return error;
    }
    if (script->recordedBy != FUMILINK_VERSION_TEXT) {
        note = "--replay: " + o.replayPath + ": " +
               (script->recordedBy.empty()
                    ? std::string("das Protokoll nennt keine Version")
                    : "das Protokoll stammt von Fumilink " + script->recordedBy) +
               ", dies ist Fumilink " FUMILINK_VERSION_TEXT
               "; es wird nachgespielt, soweit diese Version es lesen kann";
    }
    o.replay = std::make_shared<const ReplayScript>(std::move(*script));
    o.analyserPort.reset();
    return {};
}

}  // namespace

SimOptionsResult ParseSimOptions(const std::vector<std::string>& args,
                                 const std::string& envPortDir, SimPortPlace place) {
    SimOptionsResult result;
    Parser parser(args, result, place);
    parser.Run();
    if (!result.error.empty() || result.helpRequested) {
        return result;
    }
    auto& o = result.options;
    if (!o.replayPath.empty()) {
        result.error = TakeReplay(o, parser.Given(), result.note);
        if (!result.error.empty()) {
            return result;
        }
    }
    if (place == SimPortPlace::InProgram) {
        const char* folderOption = !o.portDir.empty()     ? "--port-dir"
                                   : !o.readyFile.empty() ? "--ready-file"
                                   : o.logSent            ? "--log-sent"
                                                          : nullptr;
        if (folderOption != nullptr) {
            result.error = std::string(folderOption) +
                           ": the ports are inside the program, not on pseudo-terminals";
            return result;
        }
    } else {
        if (o.portDir.empty()) {
            o.portDir = envPortDir;
        }
        if (o.portDir.empty()) {
            result.error = "no port folder: give --port-dir DIR or set FUMILINK_PORT_DIR";
            return result;
        }
    }
    if (o.replay) {
        return result;  // its ports are the record's, each once
    }
    std::set<int> seen;
    std::vector<int> all = o.deadPorts;
    all.insert(all.end(), o.foreignPorts.begin(), o.foreignPorts.end());
    all.insert(all.end(), o.refusedPorts.begin(), o.refusedPorts.end());
    if (o.analyserPort) {
        all.push_back(*o.analyserPort);
    }
    if (all.empty()) {
        result.error =
            "no ports: --no-analyser needs at least one --dead-port, --foreign-port or "
            "--refused-port";
        return result;
    }
    for (int port : all) {
        if (!seen.insert(port).second) {
            result.error = "port COM" + std::to_string(port) + " is given more than once";
            return result;
        }
    }
    std::set<int> bluetooth;
    for (const SimBluetoothLink& link : o.bluetoothLinks) {
        if (!seen.count(link.port)) {
            result.error = "--bluetooth: COM" + std::to_string(link.port) +
                           " is none of the ports (give it with --port, --dead-port, "
                           "--foreign-port or --refused-port)";
            return result;
        }
        if (!bluetooth.insert(link.port).second) {
            result.error = "--bluetooth: COM" + std::to_string(link.port) + " is given twice";
            return result;
        }
    }
    const std::pair<const char*, const std::optional<std::string>*> commands[] = {
        {"hangup-on", &o.faults.hangupOn},
        {"nonstop", &o.faults.nonstopFrom},
        {"silent", &o.faults.silentFrom},
        {"no-cr", &o.faults.noCrFrom},
    };
    for (const auto& [fault, command] : commands) {
        if (*command && (*command)->find_first_of("\r\n") != std::string::npos) {
            result.error =
                std::string("--fault ") + fault + ": the command must not contain CR or LF";
        }
    }
    return result;
}

std::string SimHelpText() {
    return R"(Usage: fumilink-sim [OPTIONS]

Stands in for the flue-gas analyser on a pseudo-terminal. Each port is a pty whose
slave is reachable as the link DIR/COM<n>; the program under test finds it in its port
list when FUMILINK_PORT_DIR=DIR. Once all links exist the simulator prints one line
  READY COM5 /dev/pts/7 [COM<n> /dev/pts/<m> ...]
to standard output. It runs until SIGTERM/SIGINT (or until every port has hung up) and
removes its links on exit.

Ports:
  --port N              COM number of the analyser (default 5)
  --no-analyser         no analyser port (only dead and foreign ports)
  --dead-port N         extra port that takes bytes and never answers (repeatable)
  --foreign-port N      extra port that answers every command with the foreign reply,
                        never containing "ZOR" (repeatable)
  --refused-port N      extra port that is listed, but every open of it is refused as
                        busy, as a port another program holds (repeatable; on ptys the
                        simulator holds the lock the program takes)
  --port-dir DIR        folder for the COM<n> links (default $FUMILINK_PORT_DIR; one of
                        the two is required). A COM<n> that already exists is refused.
  --bluetooth N[:up=MS|:fail=MS]
                        COM<n> (one of the ports above) is a Bluetooth serial link, as
                        /dev/rfcommN is: the folder marks it as one (COM<n> is a link to
                        rfcomm<n>, which links to the pty; fumilink reads that name as
                        its Bluetooth rule), and every open of the port by the program
                        starts a radio connection. up=MS: the link comes up MS ms after
                        the open (default 0); bytes the program writes meanwhile are held
                        and delivered then, as the kernel does. fail=MS: the connection
                        fails MS ms after the open and the port hangs up (its pty is then
                        replaced, so the port can be opened again). Closing the port ends
                        the link: queued replies and data lines are lost and the stream
                        stops until the next w904. The simulator learns of the program's
                        opens and closes from inotify on the pty. Repeatable.

Analyser:
  --id TEXT             reply to R001 (default 'ZOR GX40')
  --id2 TEXT            reply to R002 (default 'GX40 V2.31')
  --serial TEXT         reply to R004 (default 'SN42')
  --foreign-reply TEXT  reply of foreign ports (default 'MODEM OK')
  Commands end with CR (a lone LF is accepted too). SERVICE002/SERVICE001 answer
  'OK' and pause the stream; w904 answers 'OK' and starts or renews the stream (first
  data line at once); the empty command answers an empty line; anything else 'ERR'.

Stream:
  --cycle-ms MS         one cycle of 13 data lines every MS ms (default 1000);
                        0 = cycles back to back (throughput runs)
  --stream-seconds S    stream stops S seconds after the last w904 (default: never)
  --status NNN=C        status character C for parameter NNN, e.g. --status 053=F;
                        'all=C' sets every parameter (default G; repeatable)
  --seed N              seed of the value drift (default 1)
  --steady              no drift: every cycle sends the same values, so a run's values
                        do not depend on how many cycles it saw (comparing programs)
  --rate BAUD|max       pace bytes like a BAUD line, 8N1 (default 9600, ~960 bytes/s);
                        'max' writes as fast as the pty takes them

Faults (--fault LIST, comma-separated, repeatable; they affect the analyser port):
  silent[=CMD[#N]]      never answers, never streams; with CMD from the first (or Nth)
                        CMD on (CMD itself unanswered; the stream stops). SERVICE002#4:
                        from the take-over's first command after a search
  delay=MS              each reply starts MS ms after its command
  slow=MS               reply bytes MS ms apart
  no-cr[=CMD[#N]]       replies without their CR; with CMD from the first (or Nth) CMD
                        on (its reply included). CMD may be empty: the empty command
  empty                 every command answered with an empty line (w904 still streams)
  noise                 noise, NUL and high bytes between stream lines
  reply-noise           in front of every reply the bytes 00 07 7F FE FF '#~' 1B '[0m'
                        09 ' ': NUL, BEL, DEL, high bytes, a colour reset, a tab (never
                        CR or LF)
  no-newline-stream     stream lines without CR: bytes, but never a complete line
  flood                 data lines back to back as fast as the pty takes them, from the
                        moment the port opens until it closes, whatever is sent to it
                        (ignores --rate and --cycle-ms; no command pauses it); replies
                        go out between two lines
  endless-line          the flood without a single CR, replies included: one line that
                        never ends (flood,no-newline-stream,no-cr)
  nonstop[=CMD]         from the first CMD on (default w904) the stream keeps its pace
                        (--rate, --cycle-ms) whatever is sent: CMD starts it after its
                        reply, and no service command pauses it any more; replies go
                        out between two lines. Before CMD the analyser behaves as usual
                        (a service command pauses the stream). --stream-seconds still
                        ends it; it starts again on the next w904
  hangup-after=MS       close the pty and remove the link MS ms after start
  hangup-on=CMD[#N]     close the pty and remove the link upon command CMD (no reply);
                        #N: upon the Nth CMD (w904#4: the first keep-alive after a search)
  foreign               identify as a foreign device (behaves like --foreign-port)

Replay:
  --replay FILE         act out a session record of the program (fumilink-*.log from its
                        log folder): the ports its search listed (Bluetooth links as
                        links that come up at once), each open as recorded (an open that
                        failed is refused as busy; opens beyond the record repeat the
                        port's last one), each command's replies in recorded order with
                        the recorded delay (no reply: silence; bytes without CR: sent
                        without CR; beyond the record a command gets its last recorded
                        answer again; a command the record never shows on that port gets
                        none), the data lines at their recorded times from the open, the
                        hang-ups at their recorded time from the open (the port stays
                        listed unless a later search in the record no longer listed it).
                        The record keeps only a stream's first lines and one cycle every
                        10 s: in between, the last line of each quantity is repeated at
                        the cycle period the record shows, until the record's stream ends;
                        a service command pauses the stream and w904 resumes it, as on the
                        analyser; a take-over's last lines come half a second before its
                        recorded click. Replies to R001, R002 and R004 carry "DEMO". Times
                        are those of the program's reads (100 ms ticks). The record
                        decides the ports and their behaviour: --port, --no-analyser,
                        --dead-port, --foreign-port, --refused-port, --bluetooth, --id,
                        --id2, --serial, --foreign-reply, --cycle-ms, --stream-seconds,
                        --status, --fault, --seed and --steady are refused with it. A
                        record that cannot be read, or holds no search, is refused with
                        the reason; the simulator's README tells the details.

Output:
  --log FILE            command log to FILE instead of standard error; one line per
                        event: '<seconds since start> COM<n> RX "<command>"', also
                        TX "<reply>" (when queued), STREAM start/renew/pause/end/flood/
                        nonstop,
                        OVERRUN, HANGUP, SILENT, NO-CR, OPEN, CLOSED, EXIT, and for
                        Bluetooth links LINK connecting/up/down/failed
  --log-sent            also log 'SENT <n> steady=<s>' after writes that complete stream
                        lines: n data lines written so far, s the monotonic clock in
                        seconds just before those writes (comparable across processes;
                        for benchmarks)
  --ready-file PATH     also write the READY line to PATH (atomically)
  --help                this text
  --version             the version of the build (as the only argument)

Exit status: 0 after a stop by signal or when every port hung up; 2 for bad options or
a COM<n> already taken in the folder; 1 when a pty or link cannot be created.

Examples:
  fumilink-sim --port-dir /tmp/ports --port 5
  fumilink-sim --port-dir /tmp/ports --port 7 --dead-port 3 --foreign-port 4
  fumilink-sim --port-dir /tmp/ports --fault delay=300,slow=20 --status 053=F
  fumilink-sim --port-dir /tmp/ports --rate max --cycle-ms 0 --log sim.log
  fumilink-sim --port-dir /tmp/ports --fault hangup-on=w904 --stream-seconds 3
  fumilink-sim --port-dir /tmp/ports --fault endless-line
  fumilink-sim --port-dir /tmp/ports --fault nonstop=R002 --cycle-ms 0
  fumilink-sim --port-dir /tmp/ports --port 5 --bluetooth 5:up=2500 \
               --dead-port 4 --bluetooth 4:fail=3000
  fumilink-sim --port-dir /tmp/ports --replay fumilink-20261210-024428.log
)";
}
