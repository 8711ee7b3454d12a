#include "data/transfer_file.h"

#include "data/conversions.h"
#include "data/single_line.h"

namespace {

/// A measured value line of the file: key, channel, decimals.
struct MeasuredLine {
    int key;
    int channel;
    int decimals;
};

// Lines 2 and 3, before the boiler temperature.
constexpr std::array<MeasuredLine, 2> kTemperatureLines{{
    {1101, 9, 1},  // flue-gas temperature TG
    {1001, 8, 1},  // combustion-air temperature T-VL
}};

// Lines 5 to 7.
constexpr std::array<MeasuredLine, 3> kGasLinesBeforeSo2{{
    {2003, 1, 1},  // O2
    {2304, 3, 0},  // CO
    {2603, 2, 1},  // CO2
}};

constexpr int kSo2Channel = 7;

// Lines 9 to 15.
constexpr std::array<MeasuredLine, 7> kLinesAfterSo2{{
    {2104, 4, 0},   // NO
    {2404, 5, 0},   // NO2
    {2504, 6, 0},   // NOx
    {4010, 12, 2},  // draft p
    {5121, 10, 2},  // excess-air ratio lambda
    {5221, 11, 1},  // efficiency eta
    {5321, 13, 1},  // flue-gas loss qA
}};

std::string KeyLine(int key, std::string_view value) {
    return IntToStrPad(key, 0) + "=" + std::string(value);
}

template <size_t N>
void AddValidValues(std::vector<std::string>& lines, const MeasurementRecord& record,
                    const std::array<MeasuredLine, N>& table) {
    for (const MeasuredLine& line : table) {
        if (record.Valid(line.channel)) {
            lines.push_back(
                KeyLine(line.key, FormatFixed(0, line.decimals, record.Value(line.channel))));
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
    AddValidValues(lines_, record, kTemperatureLines);
    lines_.push_back(KeyLine(1401, FormatFixed(0, 1, entries.boilerTemperature)));
    AddValidValues(lines_, record, kGasLinesBeforeSo2);
    if (!so2Key.empty() && record.Valid(kSo2Channel)) {
        lines_.push_back(std::string(so2Key) + "=" + FormatFixed(0, 0, record.Value(kSo2Channel)));
    }
    AddValidValues(lines_, record, kLinesAfterSo2);
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
