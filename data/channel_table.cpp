#include "data/channel_table.h"

// clang-format off
const std::array<ChannelInfo, kChannelCount> kChannelTable = {{
    // channel, parameter, quantity, in words, unit, decimals, transfer key, value label
    {1,  51,  "O2",     "Sauerstoff",                 "Vol%",   1, 2003, "LabelO2"},
    {2,  52,  "CO2",    "Kohlendioxid",               "Vol%",   1, 2603, "LabelCo2"},
    {3,  53,  "CO",     "Kohlenmonoxid",              "ppm",    0, 2304, "LabelCo"},
    {4,  57,  "NO",     "Stickstoffmonoxid",          "ppm",    0, 2104, "Labelno"},
    {5,  61,  "NO2",    "Stickstoffdioxid",           "ppm",    0, 2404, nullptr},
    {6,  513, "NOx",    "Stickoxide",                 "ppm",    0, 2504, nullptr},
    {7,  65,  "SO2",    "Schwefeldioxid",             "ppm",    0, 0,    nullptr},
    // \260: the degree sign, Windows-1252
    {8,  40,  "T-VL",   "Verbrennungslufttemperatur", "\260C",  1, 1001, "labelTL"},
    {9,  41,  "TG",     "Abgastemperatur",            "\260C",  1, 1101, "LabelTg"},
    {10, 92,  "Lambda", "Luftzahl",                   "",       2, 5121, "Labellambda"},
    {11, 514, "Eta",    "Wirkungsgrad",               "%",      1, 5221, "Labeleta"},
    {12, 80,  "p",      "Zug",                        "hPa",    2, 4010, "LabelP"},
    {13, 90,  "qA",     "Abgasverlust",               "%",      1, 5321, "Labelqa"},
    {14, 0,   "",       "",                           "",       0, 0,    nullptr},
}};
// clang-format on
