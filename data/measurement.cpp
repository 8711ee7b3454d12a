#include "data/measurement.h"

#include <algorithm>
#include <cstddef>

#include "data/conversions.h"

DecodedDataLine DecodeDataLineFields(std::string_view line) {
    DecodedDataLine decoded;
    const int32_t parameterNumber =
        ParseIntLoose(line.substr(0, std::min<std::size_t>(3, line.size())));
    decoded.online = parameterNumber > 0;
    const char status = CharAtOrSpace(line, 4);
    // The last character of a line is never part of the value.
    const std::string_view valueText =
        line.size() > 5 ? line.substr(4, line.size() - 5) : std::string_view{};

    const auto row = std::find_if(kChannelTable.begin(), kChannelTable.end(),
                                  [parameterNumber](const ChannelInfo& info) {
                                      return info.parameterNumber == parameterNumber;
                                  });
    if (row == kChannelTable.end()) {
        return decoded;
    }
    decoded.channel = row->channel;
    decoded.valid = status == 'G' || status == 'E';
    decoded.value = decoded.valid ? ParseFloatLoose(valueText) : 0.0;
    return decoded;
}

bool DecodeDataLine(MeasurementRecord& record, std::string_view line) {
    const DecodedDataLine decoded = DecodeDataLineFields(line);
    if (decoded.channel != 0) {
        const std::size_t index = static_cast<std::size_t>(decoded.channel - 1);
        record.valid[index] = decoded.valid;
        record.values[index] = decoded.value;
    }
    return decoded.online;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

/// Blanks, an optional sign, digits, and optionally a separator with more digits.
bool IsValueText(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        return false;
    }
    if (text[i] == '-' || text[i] == '+') {
        ++i;
    }
    const auto digits = [&text, &i] {
        const std::size_t start = i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
        return i > start;
    };
    if (!digits()) {
        return false;
    }
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        if (!digits()) {
            return false;
        }
    }
    return i == text.size();
}

}  // namespace

bool IsDataLine(std::string_view line) {
    if (line.size() < 6 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) {
        return false;
    }
    const char status = line[3];
    if (IsDigit(status) || status == ' ' || IsControl(status) || IsControl(line.back())) {
        return false;
    }
    return IsValueText(line.substr(4, line.size() - 5));
}
