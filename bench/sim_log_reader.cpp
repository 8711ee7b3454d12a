#include "bench/sim_log_reader.h"

#include <charconv>
#include <fstream>

namespace {

/// "<seconds> <port> SENT <n> steady=<s>" → n and s.
bool ParseSent(std::string_view line, LineMark& mark) {
    // The event is the third field; a reply that quotes "SENT" is no mark.
    const auto afterTime = line.find(' ');
    const auto afterPort =
        afterTime == std::string_view::npos ? afterTime : line.find(' ', afterTime + 1);
    const std::string_view event = "SENT ";
    if (afterPort == std::string_view::npos || line.substr(afterPort + 1, event.size()) != event) {
        return false;
    }
    const std::string_view rest = line.substr(afterPort + 1 + event.size());
    const char* end = rest.data() + rest.size();
    const auto [afterCount, countError] = std::from_chars(rest.data(), end, mark.lines);
    if (countError != std::errc{}) {
        return false;
    }
    const std::string_view key = " steady=";
    if (std::string_view(afterCount, static_cast<size_t>(end - afterCount)).substr(0, key.size()) !=
        key) {
        return false;
    }
    // from_chars ignores the locale: the stamp's point never becomes a comma.
    const auto [afterStamp, stampError] =
        std::from_chars(afterCount + key.size(), end, mark.steady);
    return stampError == std::errc{} && afterStamp == end;
}

}  // namespace

void SimLogReader::ParseLine(std::string_view line, std::vector<LineMark>& sent,
                             std::vector<std::string>& events) {
    LineMark mark;
    if (ParseSent(line, mark)) {
        sent.push_back(mark);
    } else if (!line.empty()) {
        events.emplace_back(line);
    }
}

void SimLogReader::Poll() {
    std::ifstream file(path_, std::ios::binary);
    if (!file) {
        return;
    }
    file.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    offset_ += chunk.size();
    partial_ += chunk;
    size_t start = 0;
    for (size_t nl = partial_.find('\n'); nl != std::string::npos;
         nl = partial_.find('\n', start)) {
        ParseLine(std::string_view(partial_).substr(start, nl - start), sent_, events_);
        start = nl + 1;
    }
    partial_.erase(0, start);
}

int SimLogReader::Count(std::string_view needle) const {
    int count = 0;
    for (const std::string& event : events_) {
        if (event.find(needle) != std::string::npos) {
            ++count;
        }
    }
    return count;
}
