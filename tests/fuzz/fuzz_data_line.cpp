// Feeds arbitrary bytes to the data line decoder, as a line and as a stream of
// CR-separated lines into one record, and checks what must hold for any input.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/conversions.h"
#include "data/measurement.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// The channel a line's parameter field selects, or 0 for none.
int ExpectedChannel(std::string_view line) {
    const int32_t parameter = ParseIntLoose(line.substr(0, line.size() < 3 ? line.size() : 3));
    for (const ChannelInfo& info : kChannelTable) {
        if (info.parameterNumber == parameter) {
            return info.channel;
        }
    }
    return 0;
}

void DecodeAndCheck(MeasurementRecord& record, std::string_view line) {
    const MeasurementRecord before = record;
    const bool online = DecodeDataLine(record, line);

    const int channel = ExpectedChannel(line);
    for (int c = 1; c <= kChannelCount; ++c) {
        if (c == channel) {
            continue;
        }
        // Only the selected channel may change (compare bits: NaN must not appear,
        // and -0.0 is a legitimate value).
        Check(record.Valid(c) == before.Valid(c));
        Check(std::signbit(record.Value(c)) == std::signbit(before.Value(c)));
        Check(record.Value(c) == before.Value(c));
    }
    if (channel != 0) {
        const double value = record.Value(channel);
        Check(std::isfinite(value));
        if (!record.Valid(channel)) {
            Check(value == 0.0);
        }
        const char status = line.size() >= 4 ? line[3] : ' ';
        Check(record.Valid(channel) == (status == 'G' || status == 'E'));
    }
    const int32_t parameter = ParseIntLoose(line.substr(0, line.size() < 3 ? line.size() : 3));
    Check(online == (parameter > 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    MeasurementRecord whole;
    DecodeAndCheck(whole, input);

    MeasurementRecord stream;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\r', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        DecodeAndCheck(stream, input.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
