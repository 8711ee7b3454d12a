#pragma once
// The measurement record: the latest value of each of the analyser's fourteen
// channels, their valid flags, and the online countdown the poll loop runs down.

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr int kChannelCount = 14;

/// One row of the constant channel table.
struct ChannelInfo {
    int channel;              ///< 1..14
    int32_t parameterNumber;  ///< the analyser's number for the quantity (0 for channel 14)
    const char* quantity;
    const char* unit;  ///< as sent, Windows-1252
};

/// The channel table, index 0 = channel 1.
extern const std::array<ChannelInfo, kChannelCount> kChannelTable;

/// Online countdown value set by every decoded line with a positive parameter number.
inline constexpr int32_t kOnlineTicks = 50;

struct MeasurementRecord {
    std::array<double, kChannelCount> values{};  ///< index 0 = channel 1
    std::array<bool, kChannelCount> valid{};
    int32_t onlineCountdown = 0;

    double Value(int channel) const { return values[channel - 1]; }
    bool Valid(int channel) const { return valid[channel - 1]; }
};

/// Decodes one data line (without its CR) into the record: parameter number from
/// characters 1..3, status at 4 ('G'/'E' = valid), value from 5 up to but not including
/// the last character. A line matching no channel changes nothing but the countdown.
void DecodeDataLine(MeasurementRecord& record, std::string_view line);

/// True when `line` (without its CR) has the form of a data line throughout: three digits,
/// a status character (no digit, blank or control character), the value (blanks, an
/// optional sign, digits, optionally ',' or '.' and more digits) and one last character
/// that is not part of it. Bytes of several lines run together are no data line, although
/// DecodeDataLine would read a parameter number from them.
bool IsDataLine(std::string_view line);
