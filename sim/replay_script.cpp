#include "sim/replay_script.h"

#include <algorithm>
#include <set>

#include "config/file_bytes.h"
#include "config/system_error.h"
#include "data/quoted_bytes.h"

namespace {

// The record notes the end of a stream once the program has had no data line for 5 s.
constexpr SimTime kStreamSilenceNoted = SimMs(5000);
// The take-over's summary of the last lines goes into the stream this long before it: a
// few of the program's 100 ms ticks, so that a replayed click at the recorded moment finds
// them read.
constexpr SimTime kLastLinesBeforeTakeOver = SimMs(500);
// Gaps between two rounds of a quantity longer than this are the record's sampling (one
// cycle every 10 s), not the analyser's period.
constexpr SimTime kLongestCycle = SimMs(5000);
constexpr long long kLatestMs =
    std::chrono::duration_cast<std::chrono::milliseconds>(kLatestRecordedTime).count();

// From `from` to `at`; a record whose times run backwards (edited by hand) gives 0, never
// a time before the open or the command.
SimTime Since(SimTime at, SimTime from) {
    return std::max(at - from, SimTime{0});
}

// The program's first line in the record names its version: "start: Fumilink 1.0,007 on".
constexpr std::string_view kStartLine = "start: Fumilink ";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Beyond every port number the simulator serves: TakePort's answer for a larger one.
constexpr int kBeyondPorts = kHighestSimPort + 1;

// "COM5 rest": the port number, and what follows the blank; 0 when the text is none,
// kBeyondPorts when the number is larger than kHighestSimPort.
int TakePort(std::string_view& text) {
    if (!StartsWith(text, "COM")) {
        return 0;
    }
    size_t i = 3;
    int number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number = std::min(number * 10 + (text[i++] - '0'), kBeyondPorts);
    }
    if (i == 3 || number == 0) {
        return 0;
    }
    text.remove_prefix(i);
    if (!text.empty() && text[0] == ' ') {
        text.remove_prefix(1);
    }
    return number;
}

std::vector<int> PortsOfList(std::string_view list) {
    std::vector<int> ports;
    while (!list.empty()) {
        const size_t blank = list.find(' ');
        std::string_view word = list.substr(0, blank);
        if (const int port = TakePort(word); port > 0) {
            ports.push_back(port);
        }
        list = blank == std::string_view::npos ? std::string_view() : list.substr(blank + 1);
    }
    return ports;
}

class RecordReader {
public:
    std::optional<ReplayScript> Read(std::string_view text, std::string& error) {
        if (text.empty()) {
            error = "die Datei ist leer";
            return std::nullopt;
        }
        bool first = true;
        while (!text.empty() && error_.empty()) {
            const size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++lineNumber_;
            if (end == std::string_view::npos && !first) {
                // The program writes whole lines: the file was copied while it wrote, or
                // only in part, and what the cut line said is lost.
                error_ = "die letzte Zeile (" + std::to_string(lineNumber_) +
                         ") bricht ab: das Protokoll ist unvollständig";
                break;
            }
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (first) {
                first = false;
                if (!StartsWith(line, "Fumilink session record")) {
                    error =
                        "kein Sitzungsprotokoll von Fumilink (die erste Zeile ist nicht "
                        "\"Fumilink session record, started ...\")";
                    return std::nullopt;
                }
                continue;
            }
            ReadLine(line);
        }
        if (!error_.empty()) {
            error = error_;
            return std::nullopt;
        }
        if (searches_.empty()) {
            error = "das Protokoll enthält keine Suche (keine Zeile \"search: ports: ...\")";
            return std::nullopt;
        }
        if (script_.ports.empty()) {
            error = "die Suche des Protokolls hat keine Schnittstelle aufgezählt";
            return std::nullopt;
        }
        Finish();
        return std::move(script_);
    }

private:
    struct Pending {
        std::string command;
        SimTime at{0};
    };

    void ReadLine(std::string_view line) {
        const size_t blank = line.find(' ');
        if (blank == std::string_view::npos || blank == 0) {
            return;
        }
        const std::string_view time = line.substr(0, blank);
        long long ms = 0;
        for (const char c : time) {
            if (c < '0' || c > '9') {
                return;  // a line the record cut, or none of ours
            }
            ms = std::min(ms * 10 + (c - '0'), kLatestMs + 1);
        }
        if (ms > kLatestMs) {
            error_ = "Zeile " + std::to_string(lineNumber_) + ": die Zeit " +
                     std::string(time.substr(0, 20)) + (time.size() > 20 ? "..." : "") +
                     " ms liegt nach 24 Stunden, so lange läuft das Programm nie";
            return;
        }
        const SimTime at = SimMs(ms);
        line.remove_prefix(blank + 1);
        const size_t categoryEnd = line.find(' ');
        if (categoryEnd == std::string_view::npos) {
            return;
        }
        const std::string_view category = line.substr(0, categoryEnd);
        line.remove_prefix(categoryEnd + 1);
        const bool wasDump = inTakeOverDump_;
        inTakeOverDump_ = false;
        if (category == "fumilink.serial") {
            ReadSerial(line, at);
        } else if (category == "fumilink.link") {
            ReadLink(line, at, wasDump);
        } else if (category == "fumilink.app" && StartsWith(line, kStartLine) &&
                   script_.recordedBy.empty()) {
            const std::string_view version = line.substr(kStartLine.size());
            script_.recordedBy = std::string(version.substr(0, version.find(' ')));
        }
    }

    ReplayPort& PortNumbered(int number) {
        const auto [found, added] = portIndex_.emplace(number, script_.ports.size());
        if (added) {
            script_.ports.push_back(ReplayPort{});
            script_.ports.back().number = number;
        }
        return script_.ports[found->second];
    }

    // A port the simulator could not serve refuses the record; true when `number` is one.
    bool BeyondPorts(int number) {
        if (number < kBeyondPorts) {
            return false;
        }
        if (error_.empty()) {
            error_ = "Zeile " + std::to_string(lineNumber_) + ": eine Schnittstelle über COM" +
                     std::to_string(kHighestSimPort) + ", der höchsten des Simulators";
        }
        return true;
    }

    // The session the port has open now, if any.
    ReplaySession* Open(int number) {
        const auto found = openedAt_.find(number);
        if (found == openedAt_.end()) {
            return nullptr;
        }
        return &PortNumbered(number).sessions.back();
    }

    void ReadSerial(std::string_view line, SimTime at) {
        if (StartsWith(line, "open ")) {
            line.remove_prefix(5);
            const int number = TakePort(line);
            if (number == 0 || BeyondPorts(number)) {
                return;
            }
            ReplaySession session;
            if (StartsWith(line, "failed: ")) {
                session.refused = true;
                session.refusal = std::string(line.substr(8));
                openedAt_.erase(number);
            } else if (StartsWith(line, "ok")) {
                openedAt_[number] = at;
            } else {
                return;
            }
            PortNumbered(number).sessions.push_back(std::move(session));
        } else if (StartsWith(line, "close ")) {
            line.remove_prefix(6);
            openedAt_.erase(TakePort(line));
        } else if (const int number = TakePort(line); number > 0 && line == "hung up") {
            if (ReplaySession* session = Open(number); session && !session->hangUpAt) {
                session->hangUpAt = Since(at, openedAt_[number]);
            }
        }
    }

    void ReadLink(std::string_view line, SimTime at, bool wasDump) {
        if (StartsWith(line, "search: ports: ")) {
            ReadSearch(line.substr(15));
            return;
        }
        if (line == "take-over: the last line of each quantity") {
            inTakeOverDump_ = true;  // the lines that follow are a summary, not the stream
            dumpAt_ = at;
            return;
        }
        if (line == "stream: no data line for 5 s") {
            if (ReplaySession* session = Open(streamPort_); session && !session->data.empty()) {
                session->streamEndAt =
                    std::max(session->data.back().at,
                             Since(at, openedAt_[streamPort_]) - kStreamSilenceNoted);
            }
            return;
        }
        const int number = TakePort(line);
        if (number == 0 || BeyondPorts(number)) {
            return;
        }
        ReplayPort& port = PortNumbered(number);
        if (StartsWith(line, "> ")) {
            if (auto command = UnquoteBytes(line.substr(2))) {
                pending_[number] = Pending{*command, at};
            }
        } else if (StartsWith(line, "< ")) {
            const auto reply = UnquoteBytes(line.substr(2));
            const auto pending = pending_.find(number);
            if (reply && pending != pending_.end()) {
                port.replies[pending->second.command].push_back(
                    ReplayReply{ReplayReply::Kind::Line, *reply, Since(at, pending->second.at)});
                pending_.erase(pending);
            }
        } else if (StartsWith(line, "no reply to ")) {
            std::string_view rest;
            const auto command = UnquoteBytes(line.substr(12), &rest);
            const size_t partialAt = rest.rfind(", line ");
            if (!command || partialAt == std::string_view::npos) {
                return;
            }
            const auto partial = UnquoteBytes(rest.substr(partialAt + 7));
            ReplayReply reply;
            if (partial && !partial->empty()) {
                reply.kind = ReplayReply::Kind::Partial;
                reply.text = *partial;
            }
            port.replies[*command].push_back(std::move(reply));
            pending_.erase(number);
        } else if (StartsWith(line, "data ")) {
            const auto data = UnquoteBytes(line.substr(5));
            ReplaySession* session = Open(number);
            inTakeOverDump_ = wasDump;
            if (!data || session == nullptr) {
                return;
            }
            ReplayLine recorded{Since(at, openedAt_[number]), *data, wasDump};
            if (wasDump) {
                // Shortly before the take-over, never before what the record already has.
                recorded.at = Since(dumpAt_, openedAt_[number]) - kLastLinesBeforeTakeOver;
                if (!session->data.empty()) {
                    recorded.at = std::max(recorded.at, session->data.back().at);
                }
                recorded.at = std::max(recorded.at, SimTime{0});
            }
            session->data.push_back(std::move(recorded));
            streamPort_ = number;
        }
    }

    // "COM3 COM5; Bluetooth links: COM5" (or "none" for either).
    void ReadSearch(std::string_view text) {
        const size_t split = text.find("; Bluetooth links: ");
        const std::vector<int> listed = PortsOfList(text.substr(0, split));
        const std::vector<int> bluetooth = split == std::string_view::npos
                                               ? std::vector<int>{}
                                               : PortsOfList(text.substr(split + 19));
        for (const std::vector<int>* ports : {&listed, &bluetooth}) {
            if (std::any_of(ports->begin(), ports->end(),
                            [this](int number) { return BeyondPorts(number); })) {
                return;
            }
        }
        for (const int number : listed) {
            PortNumbered(number);
        }
        for (const int number : bluetooth) {
            PortNumbered(number).bluetooth = true;
        }
        const std::set<int>& listedNow =
            searches_.emplace_back(std::set<int>(listed.begin(), listed.end()));
        for (ReplayPort& port : script_.ports) {
            // A port with an open before this search that this search no longer lists.
            lastSearchWithout_[port.number] =
                listedNow.count(port.number) == 0 ? port.sessions.size() : 0;
        }
    }

    void Finish() {
        std::vector<SimTime> rounds;
        for (ReplayPort& port : script_.ports) {
            const auto gone = lastSearchWithout_.find(port.number);
            port.vanishes = !port.sessions.empty() && port.sessions.back().hangUpAt &&
                            gone != lastSearchWithout_.end() &&
                            gone->second == port.sessions.size();
            for (const ReplaySession& session : port.sessions) {
                std::map<int, SimTime> lastAt;
                for (const ReplayLine& line : session.data) {
                    const int parameter = ReplayParameterOf(line.text);
                    if (parameter < 0 || line.lastBeforeTakeOver) {
                        continue;
                    }
                    if (const auto seen = lastAt.find(parameter); seen != lastAt.end()) {
                        const SimTime round = line.at - seen->second;
                        if (round > SimTime{0} && round < kLongestCycle) {
                            rounds.push_back(round);
                        }
                    }
                    lastAt[parameter] = line.at;
                }
            }
        }
        if (!rounds.empty()) {
            std::nth_element(rounds.begin(), rounds.begin() + rounds.size() / 2, rounds.end());
            script_.cycle = rounds[rounds.size() / 2];
        }
    }

    ReplayScript script_;
    std::map<int, size_t> portIndex_;  ///< number -> place in script_.ports
    std::string error_;                ///< the first reason to refuse the record
    size_t lineNumber_ = 0;
    std::vector<std::set<int>> searches_;
    std::map<int, size_t> lastSearchWithout_;
    std::map<int, SimTime> openedAt_;
    std::map<int, Pending> pending_;
    int streamPort_ = 0;
    bool inTakeOverDump_ = false;
    SimTime dumpAt_{0};
};

}  // namespace

int ReplayParameterOf(std::string_view line) {
    if (line.size() < 3) {
        return -1;
    }
    int parameter = 0;
    for (const char c : line.substr(0, 3)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        parameter = parameter * 10 + (c - '0');
    }
    return parameter;
}

std::optional<ReplayScript> ParseReplayRecord(std::string_view text, std::string& error) {
    return RecordReader().Read(text, error);
}

std::optional<ReplayScript> LoadReplayRecord(const std::string& path, std::string& error) {
    std::string text;
    ReadFileFailure failure;
    const ReadFileResult read =
        ReadFileBytes(path, kMaxReplayRecordBytes, &text, nullptr, &failure);
    const auto refuse = [&](const std::string& why) {
        error = "--replay: " + path + ": " + why;
        return std::nullopt;
    };
    if (read == ReadFileResult::Missing) {
        return refuse("keine solche Datei");
    }
    if (read == ReadFileResult::Failed) {
        using Step = ReadFileFailure::Step;
        using What = OpenFileKind::What;
        switch (failure.step) {
            case Step::Open:
                return refuse("kann nicht geöffnet werden (" +
                              DescribeSystemError(failure.systemError) + ")");
            case Step::Read:
                return refuse("kann nicht gelesen werden (" +
                              DescribeSystemError(failure.systemError) + ")");
            case Step::TooLarge:
                return refuse("zu groß: mehr als " +
                              std::to_string(kMaxReplayRecordBytes / (1024 * 1024)) +
                              " MiB, ein Sitzungsprotokoll hat höchstens 1 MiB");
            case Step::NotRegular:
                switch (failure.what) {
                    case What::Folder:
                        return refuse("ein Ordner, kein Sitzungsprotokoll");
                    case What::Pipe:
                        return refuse("eine benannte Pipe, keine Datei; sie wird nicht gelesen");
                    case What::Device:
                        return refuse("ein Gerät, keine Datei; es wird nicht gelesen");
                    case What::Regular:
                    case What::Other:
                        break;
                }
                return refuse("keine gewöhnliche Datei");
        }
    }
    std::string why;
    std::optional<ReplayScript> script = ParseReplayRecord(text, why);
    if (!script) {
        return refuse(why);
    }
    return script;
}
