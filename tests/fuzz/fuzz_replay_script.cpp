// Feeds arbitrary bytes to the session record reader as a record's text and checks what
// must hold for any record: what the script holds came out of the text, so it is never
// larger than the text and has no more sessions, lines and replies than the text has lines.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "sim/replay_script.h"

namespace {

void Check(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string error;
    const std::optional<ReplayScript> script = ParseReplayRecord(text, error);
    if (!script) {
        Check(!error.empty());
        return 0;
    }
    Check(text.substr(0, 23) == "Fumilink session record");
    Check(!script->ports.empty());
    Check(script->cycle > SimTime{0} && script->cycle < SimMs(5000));

    const std::size_t lines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::size_t entries = 0;
    std::size_t bytes = 0;
    std::set<int> numbers;
    for (const ReplayPort& port : script->ports) {
        Check(port.number > 0);
        Check(numbers.insert(port.number).second);
        entries += port.sessions.size();
        for (const ReplaySession& session : port.sessions) {
            bytes += session.refusal.size();
            entries += session.data.size();
            for (const ReplayLine& line : session.data) {
                bytes += line.text.size();
                const int parameter = ReplayParameterOf(line.text);
                Check(parameter >= -1 && parameter <= 999);
            }
            if (session.refused) {
                Check(session.data.empty() && !session.hangUpAt && !session.streamEndAt);
            }
        }
        for (const auto& [command, replies] : port.replies) {
            Check(!replies.empty());
            bytes += command.size();
            entries += replies.size();
            for (const ReplayReply& reply : replies) {
                bytes += reply.text.size();
                Check((reply.kind == ReplayReply::Kind::Line) ||
                      (reply.kind == ReplayReply::Kind::Silent) == reply.text.empty());
            }
        }
    }
    Check(numbers.size() * 4 <= text.size());  // each from a "COMn" of its own
    Check(entries <= lines);
    Check(bytes <= text.size());
    return 0;
}
