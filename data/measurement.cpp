#include "data/measurement.h"

#include <algorithm>
#include <cstddef>

#include "data/conversions.h"

const std::array<ChannelInfo, kChannelCount> kChannelTable = {{
    {1, 51, "O2", "Vol%"},
    {2, 52, "CO2", "Vol%"},
    {3, 53, "CO", "ppm"},
    {4, 57, "NO", "ppm"},
    {5, 61, "NO2", "ppm"},
    {6, 513, "NOx", "ppm"},
    {7, 65, "SO2", "ppm"},
    {8, 40, "T-VL", "\260C"},  // degree sign, Windows-1252
    {9, 41, "TG", "\260C"},
    {10, 92, "Lambda", ""},
    {11, 514, "Eta", "%"},
    {12, 80, "p", "hPa"},
    {13, 90, "qA", "%"},
    {14, 0, "", ""},
}};

void DecodeDataLine(MeasurementRecord& record, std::string_view line) {
    const int32_t parameterNumber =
        ParseIntLoose(line.substr(0, std::min<std::size_t>(3, line.size())));
    if (parameterNumber > 0) {
        record.onlineCountdown = kOnlineTicks;
    }
    const char status = CharAtOrSpace(line, 4);
    // The last character of a line is never part of the value.
    const std::string_view valueText =
        line.size() > 5 ? line.substr(4, line.size() - 5) : std::string_view{};
    const double value = ParseFloatLoose(valueText);

    const auto row = std::find_if(kChannelTable.begin(), kChannelTable.end(),
                                  [parameterNumber](const ChannelInfo& info) {
                                      return info.parameterNumber == parameterNumber;
                                  });
    if (row == kChannelTable.end()) {
        return;
    }
    const std::size_t index = static_cast<std::size_t>(row->channel - 1);
    const bool valid = status == 'G' || status == 'E';
    record.valid[index] = valid;
    record.values[index] = valid ? value : 0.0;
}
