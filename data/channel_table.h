#pragma once
// What each of the analyser's fourteen channels is, in one table that the line decoder,
// the transfer file and the window all read: the analyser's parameter number, the quantity
// (its short name and its name in words) and its unit as sent, the decimals it is written
// and shown with, its key in the transfer file and the value label that shows it.

#include <array>
#include <cstdint>

inline constexpr int kChannelCount = 14;

struct ChannelInfo {
    int channel;              ///< 1..14
    int32_t parameterNumber;  ///< the analyser's number for the quantity (0 for channel 14)
    const char* quantity;     ///< short name, as the window's caption reads
    /// The quantity in German words, ASCII ("Abgastemperatur"): what assistive tools say
    /// before the short name, which alone means little to a listener.
    const char* words;
    const char* unit;  ///< as sent, Windows-1252; empty for none
    int decimals;      ///< in the transfer file and in the window
    /// Key of its line in the transfer file; 0 where the table fixes none (SO2, whose key
    /// the settings file gives, and channel 14, which is never written).
    int transferKey;
    /// Design name of the window's value label; nullptr where the window shows none.
    const char* valueLabel;
};

/// The channel table, index 0 = channel 1.
extern const std::array<ChannelInfo, kChannelCount> kChannelTable;

/// The row of `channel` (1..14).
inline const ChannelInfo& Channel(int channel) {
    return kChannelTable[static_cast<std::size_t>(channel - 1)];
}

/// SO2: written only under the key the settings file names.
inline constexpr int kSo2Channel = 7;
