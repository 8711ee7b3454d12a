#pragma once
// The measurement record: the latest value of each of the analyser's fourteen
// channels (channel_table.h) and their valid flags, and the decoding of a data line into it.

#include <array>
#include <cstdint>
#include <string_view>

#include "data/channel_table.h"

struct MeasurementRecord {
    std::array<double, kChannelCount> values{};  ///< index 0 = channel 1
    std::array<bool, kChannelCount> valid{};

    double Value(int channel) const { return values[channel - 1]; }
    bool Valid(int channel) const { return valid[channel - 1]; }
};

/// Decodes one data line (without its CR) into the record: parameter number from
/// characters 1..3, status at 4 ('G'/'E' = valid), value from 5 up to but not including
/// the last character. A line matching no channel changes nothing. True when the parameter
/// number is positive: the line shows that online data arrives, whether or not it matched
/// a channel.
bool DecodeDataLine(MeasurementRecord& record, std::string_view line);

/// What one data line says, as DecodeDataLine reads it.
struct DecodedDataLine {
    bool online = false;  ///< the parameter number is positive
    int channel = 0;      ///< 1..14; 0 when the line matches no channel
    bool valid = false;   ///< status 'G' or 'E'
    double value = 0.0;   ///< 0 when not valid
};
DecodedDataLine DecodeDataLineFields(std::string_view line);

/// True when `line` (without its CR) has the form of a data line throughout: three digits,
/// a status character (no digit, blank or control character), the value (blanks, an
/// optional sign, digits, optionally ',' or '.' and more digits) and one last character
/// that is not part of it. Bytes of several lines run together are no data line, although
/// DecodeDataLine would read a parameter number from them.
bool IsDataLine(std::string_view line);
