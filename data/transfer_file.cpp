#include "data/transfer_file.h"

#include "data/conversions.h"
#include "data/single_line.h"

namespace {

// The measured lines in file order, as channels of the channel table (keys and decimals
// are the table's). Lines 2 and 3 come before the boiler temperature; SO2 stands between
// the two groups of gases.
constexpr std::array<int, 2> kTemperatureChannels{9, 8};                  // TG, T-VL
constexpr std::array<int, 3> kGasChannelsBeforeSo2{1, 3, 2};              // O2, CO, CO2
constexpr std::array<int, 7> kChannelsAfterSo2{4, 5, 6, 12, 10, 11, 13};  // NO .. qA

std::string KeyLine(int key, std::string_view value) {
    return IntToStrPad(key, 0) + "=" + std::string(value);
}

template <size_t N>
void AddValidValues(std::vector<std::string>& lines, const MeasurementRecord& record,
                    const std::array<int, N>& channels) {
    for (const int channel : channels) {
        const ChannelInfo& info = Channel(channel);
        if (record.Valid(channel)) {
            lines.push_back(
                KeyLine(info.transferKey, FormatFixed(0, info.decimals, record.Value(channel))));
        }
    }
}

}  // namespace

void TransferFileBuilder::AddHeaderLine(std::string_view headerLine) {
    lines_.clear();
    lines_.emplace_back(headerLine);
}

void TransferFileBuilder::AddValueLines(const MeasurementRecord& record,
                                        const ManualEntries& entries,
                                        std::string_view firingTypeParameter,
                                        std::string_view so2Key) {
    AddValidValues(lines_, record, kTemperatureChannels);
    lines_.push_back(KeyLine(1401, FormatFixed(0, 1, entries.boilerTemperature)));
    AddValidValues(lines_, record, kGasChannelsBeforeSo2);
    if (!so2Key.empty() && record.Valid(kSo2Channel)) {
        lines_.push_back(std::string(so2Key) + "=" +
                         FormatFixed(0, Channel(kSo2Channel).decimals, record.Value(kSo2Channel)));
    }
    AddValidValues(lines_, record, kChannelsAfterSo2);
    if (entries.smokeInputsOn) {
        lines_.push_back(KeyLine(6020, FormatFixed(0, 1, entries.smokeNumber1)));
        lines_.push_back(KeyLine(6120, FormatFixed(0, 1, entries.smokeNumber2)));
        lines_.push_back(KeyLine(6220, FormatFixed(0, 1, entries.smokeNumber3)));
        // Index + 1: 1 "Nein", 2 "Ja", 0 nothing selected.
        lines_.push_back(KeyLine(6320, IntToStrPad(entries.oilDerivativeIndex + 1, 0)));
    }
    if (!firingTypeParameter.empty()) {
        lines_.push_back(KeyLine(6420, firingTypeParameter));
    }
}

void TransferFileBuilder::AddIdentificationLine(int key, std::string_view reply) {
    // The analyser's reply ends at its CR, but may hold an LF, and noise on the line.
    lines_.push_back(KeyLine(key, PrintableLine(reply)));
}

std::string TransferFileBuilder::Bytes() const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}
