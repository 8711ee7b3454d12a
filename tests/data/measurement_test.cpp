#include "data/measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

/// Expects every channel except `except` to be untouched (zero and not valid).
void ExpectOtherChannelsUntouched(const MeasurementRecord& record, int except) {
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        if (channel == except) {
            continue;
        }
        EXPECT_FALSE(record.Valid(channel)) << "channel " << channel;
        EXPECT_EQ(record.Value(channel), 0.0) << "channel " << channel;
    }
}

TEST(DecodeDataLine, ValidLinesStoreTheValue) {
    struct Case {
        std::string line;
        int channel;
        double value;
    };
    const std::vector<Case> cases = {
        {"051G 20.9;", 1, 20.9},  {"053E 12,0;", 3, 12.0},     {"052G 3.5;", 2, 3.5},
        {"057G 17;", 4, 17.0},    {"061G 2;", 5, 2.0},         {"513G 19;", 6, 19.0},
        {"065G 0;", 7, 0.0},      {"040G 21.3;", 8, 21.3},     {"041G 180.2;", 9, 180.2},
        {"092G 1.45;", 10, 1.45}, {"514G 92.1;", 11, 92.1},    {"080G -0.12;", 12, -0.12},
        {"090G 7.9;", 13, 7.9},   {"051G     5,25x", 1, 5.25}, {"051G5", 1, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        MeasurementRecord record;
        EXPECT_TRUE(DecodeDataLine(record, c.line)) << "online data";
        EXPECT_TRUE(record.Valid(c.channel));
        EXPECT_DOUBLE_EQ(record.Value(c.channel), c.value);
        ExpectOtherChannelsUntouched(record, c.channel);
    }
}

TEST(DecodeDataLine, OtherStatusMarksTheChannelInvalidWithZero) {
    for (const std::string& line : {"053F 12.0;"s, "053g 12.0;"s, "053  12.0;"s, "053\0 12.0;"s}) {
        SCOPED_TRACE(line);
        MeasurementRecord record;
        DecodeDataLine(record, "053G 99.0;");
        ASSERT_TRUE(record.Valid(3));
        EXPECT_TRUE(DecodeDataLine(record, line)) << "online data all the same";
        EXPECT_FALSE(record.Valid(3));
        EXPECT_EQ(record.Value(3), 0.0);
    }
}

TEST(DecodeDataLine, UnknownParameterOnlyCountsAsOnlineData) {
    MeasurementRecord record;
    DecodeDataLine(record, "051G 20.9;");
    EXPECT_TRUE(DecodeDataLine(record, "999G 1.0;"));
    EXPECT_TRUE(record.Valid(1));
    EXPECT_DOUBLE_EQ(record.Value(1), 20.9);
    ExpectOtherChannelsUntouched(record, 1);

    MeasurementRecord negative;
    EXPECT_FALSE(DecodeDataLine(negative, "-51G 1.0;")) << "-51 is not a positive parameter";
    ExpectOtherChannelsUntouched(negative, 0);
}

TEST(DecodeDataLine, UnparsableParameterGoesToChannel14) {
    MeasurementRecord record;
    EXPECT_FALSE(DecodeDataLine(record, "XYZG 1.0;")) << "parameter 0 is no online data";
    EXPECT_TRUE(record.Valid(14));
    EXPECT_DOUBLE_EQ(record.Value(14), 1.0);
    ExpectOtherChannelsUntouched(record, 14);

    EXPECT_FALSE(DecodeDataLine(record, "000E 2,5;"));
    EXPECT_DOUBLE_EQ(record.Value(14), 2.5);
}

TEST(DecodeDataLine, OnlyTheFirstThreeCharactersHoldTheParameter) {
    MeasurementRecord record;
    // "0513" would read as 513 if the field were longer than three characters.
    EXPECT_TRUE(DecodeDataLine(record, "0513G 4.0;"));
    // 051 with status '3' makes channel 1 not valid; channel 6 (513) stays untouched.
    EXPECT_FALSE(record.Valid(1));
    ExpectOtherChannelsUntouched(record, 0);

    // A hexadecimal parameter field is read like any other number: $33 = 51.
    MeasurementRecord hex;
    DecodeDataLine(hex, "$33G 1.5;");
    EXPECT_TRUE(hex.Valid(1));
    EXPECT_DOUBLE_EQ(hex.Value(1), 1.5);
}

TEST(DecodeDataLine, ShortLinesHaveABlankStatusAndNoValue) {
    MeasurementRecord record;
    DecodeDataLine(record, "051G 20.9;");
    DecodeDataLine(record, "051");
    EXPECT_FALSE(record.Valid(1));
    EXPECT_EQ(record.Value(1), 0.0);

    // Five characters leave an empty value text: valid, but 0.
    DecodeDataLine(record, "052G7");
    EXPECT_TRUE(record.Valid(2));
    EXPECT_EQ(record.Value(2), 0.0);

    MeasurementRecord empty;
    EXPECT_FALSE(DecodeDataLine(empty, ""));
    EXPECT_FALSE(empty.Valid(14));
    ExpectOtherChannelsUntouched(empty, 0);

    MeasurementRecord one;
    EXPECT_TRUE(DecodeDataLine(one, "5"));
    ExpectOtherChannelsUntouched(one, 0);
}

TEST(DecodeDataLine, TheLastCharacterIsNeverPartOfTheValue) {
    MeasurementRecord record;
    DecodeDataLine(record, "080G -0.05");
    EXPECT_TRUE(record.Valid(12));
    EXPECT_EQ(record.Value(12), 0.0);
    EXPECT_TRUE(std::signbit(record.Value(12))) << "-0.0 keeps its sign";

    DecodeDataLine(record, "041G 123");
    EXPECT_DOUBLE_EQ(record.Value(9), 12.0);
}

TEST(DecodeDataLine, ChannelsKeepTheirLastValueUntilUpdated) {
    MeasurementRecord record;
    DecodeDataLine(record, "051G 20.9;");
    DecodeDataLine(record, "041G 180.0;");
    DecodeDataLine(record, "051G 19.5;");
    EXPECT_DOUBLE_EQ(record.Value(1), 19.5);
    EXPECT_DOUBLE_EQ(record.Value(9), 180.0);
    EXPECT_TRUE(record.Valid(9));
    DecodeDataLine(record, "041F 1.0;");
    EXPECT_FALSE(record.Valid(9));
    EXPECT_TRUE(record.Valid(1));
}

TEST(DecodeDataLine, UnreadableValueIsZero) {
    MeasurementRecord record;
    DecodeDataLine(record, "051G 1.234,5;");
    EXPECT_TRUE(record.Valid(1));
    EXPECT_EQ(record.Value(1), 0.0);
    DecodeDataLine(record, "051G ----;");
    EXPECT_EQ(record.Value(1), 0.0);
    DecodeDataLine(record, "051G" + std::string(100000, '7') + ";");
    EXPECT_EQ(record.Value(1), 0.0) << "beyond the double range";
}

TEST(IsDataLine, WholeDataLinesOnly) {
    const std::vector<std::string> lines = {"051G 20.9;",  "053E 12,0;",  "053F 12.0;",
                                            "080G -0.12;", "041G 182.4;", "092G  1.24;",
                                            "999G 1.0;",   "053G 12;",    "080G -0.05"};
    for (const std::string& line : lines) {
        EXPECT_TRUE(IsDataLine(line)) << line;
    }
    const std::vector<std::string> others = {
        // too short, or no last character after the value
        "", "OK", "051", "051G", "051G ;", "051G 4.0",
        // lines run together, a line and the start of the next
        "051G 4.0;052G 12.6;053G 12;OK", "051G 4.0;052G",
        // parameter number and status
        "XYZG 1.0;", "51G 20.9;", "0510 20.9;", "051  20.9;", "051\x01 20.9;",
        // value
        "051G 20.9.1;", "051G 20,;", "051G .5;", "051G - 1;", "051G 2 0;",
        // noise and control characters
        "051G 20.9\x7F",
        "\x00"
        "051G 20.9;"s,
        "#~051G 20.9;"};
    for (const std::string& line : others) {
        EXPECT_FALSE(IsDataLine(line)) << line;
    }
}

}  // namespace
