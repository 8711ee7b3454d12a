#include "data/channel_table.h"

// clang-format off
const std::array<ChannelInfo, kChannelCount> kChannelTable = {{
    // channel, parameter, quantity, unit, decimals, transfer key, value label
    {1,  51,  "O2",     "Vol%",   1, 2003, "LabelO2"},
    {2,  52,  "CO2",    "Vol%",   1, 2603, "LabelCo2"},
    {3,  53,  "CO",     "ppm",    0, 2304, "LabelCo"},
    {4,  57,  "NO",     "ppm",    0, 2104, "Labelno"},
    {5,  61,  "NO2",    "ppm",    0, 2404, nullptr},
    {6,  513, "NOx",    "ppm",    0, 2504, nullptr},
    {7,  65,  "SO2",    "ppm",    0, 0,    nullptr},
    {8,  40,  "T-VL",   "\260C",  1, 1001, "labelTL"},  // degree sign, Windows-1252
    {9,  41,  "TG",     "\260C",  1, 1101, "LabelTg"},
    {10, 92,  "Lambda", "",       2, 5121, "Labellambda"},
    {11, 514, "Eta",    "%",      1, 5221, "Labeleta"},
    {12, 80,  "p",      "hPa",    2, 4010, "LabelP"},
    {13, 90,  "qA",     "%",      1, 5321, "Labelqa"},
    {14, 0,   "",       "",       0, 0,    nullptr},
}};
// clang-format on
