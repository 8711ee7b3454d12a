#include "data/running_mean.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/transfer_file.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

/// A data line of `channel` as the analyser sends it; status 'G' (valid) unless given.
std::string Line(int channel, double value, char status = 'G') {
    char text[40];
    std::snprintf(text, sizeof text, "%03d%c %.4f;", Channel(channel).parameterNumber, status,
                  value);
    return text;
}

struct Arrival {
    milliseconds at;
    std::string line;
};

RunningMean Fed(std::chrono::seconds window, const std::vector<Arrival>& arrivals) {
    RunningMean mean;
    mean.SetWindow(window);
    for (const Arrival& arrival : arrivals) {
        mean.Feed(arrival.line, arrival.at);
    }
    return mean;
}

TEST(RunningMean, MeanAndCountOverTheWindow) {
    struct Case {
        const char* name;
        std::vector<Arrival> arrivals;
        milliseconds now;
        int channel;
        int count;
        double mean;
    };
    const std::vector<Case> cases = {
        {"every value in the window",
         {{0ms, Line(1, 4.0)}, {1000ms, Line(1, 4.2)}, {2000ms, Line(1, 4.4)}},
         2000ms,
         1,
         3,
         4.2},
        {"a value as old as the window has left it",
         {{0ms, Line(9, 100.0)}, {4000ms, Line(9, 180.0)}, {8000ms, Line(9, 190.0)}},
         10000ms,
         9,
         2,
         185.0},
        {"a value just inside the window counts",
         {{1ms, Line(9, 100.0)}, {4000ms, Line(9, 180.0)}, {8000ms, Line(9, 190.0)}},
         10000ms,
         9,
         3,
         470.0 / 3},
        {"the window moves on with the clock, not with the lines",
         {{0ms, Line(1, 3.0)}, {4000ms, Line(1, 5.0)}, {8000ms, Line(1, 7.0)}},
         12000ms,
         1,
         2,
         6.0},
        {"invalid values keep the stream live but do not count",
         {{0ms, Line(1, 4.0)}, {1000ms, Line(1, 99.0, 'F')}, {2000ms, Line(1, 5.0)}},
         2000ms,
         1,
         2,
         4.5},
        {"only invalid values: no mean",
         {{0ms, Line(3, 12.0, 'F')}, {1000ms, Line(3, 14.0, ' ')}},
         1000ms,
         3,
         0,
         0.0},
        {"other channels' lines do not count",
         {{0ms, Line(1, 4.0)}, {500ms, Line(2, 12.6)}, {1000ms, Line(1, 6.0)}},
         1000ms,
         1,
         2,
         5.0},
        {"a gap of 5 s empties the window",
         {{0ms, Line(1, 9.0)}, {1000ms, Line(1, 9.0)}, {6000ms, Line(1, 4.0)}},
         6000ms,
         1,
         1,
         4.0},
        {"a pause shorter than the gap keeps it",
         {{0ms, Line(1, 9.0)}, {4999ms, Line(1, 3.0)}},
         4999ms,
         1,
         2,
         6.0},
        {"no line for 5 s up to now: no mean", {{0ms, Line(1, 9.0)}}, 5000ms, 1, 0, 0.0},
        {"a line with parameter 000 is no live data",
         {{0ms, Line(1, 9.0)}, {3000ms, "000G 1.0;"}, {6000ms, Line(1, 4.0)}},
         6000ms,
         1,
         1,
         4.0},
        {"a line of no channel keeps the stream live",
         {{0ms, Line(1, 9.0)}, {3000ms, "900G 1.0;"}, {6000ms, Line(1, 3.0)}},
         6000ms,
         1,
         2,
         6.0},
    };
    for (const Case& c : cases) {
        const RunningMean mean = Fed(10s, c.arrivals);
        const RunningMean::ChannelMean got = mean.Mean(c.channel, c.now);
        EXPECT_EQ(got.count, c.count) << c.name;
        EXPECT_DOUBLE_EQ(got.value, c.mean) << c.name;
        EXPECT_EQ(mean.Means(c.now).Valid(c.channel), c.count > 0) << c.name;
    }
}

TEST(RunningMean, FillCountsTheUninterruptedStretch) {
    struct Case {
        const char* name;
        std::vector<Arrival> arrivals;
        bool clearedAfter;
        milliseconds now;
        long filled;
        bool full;
    };
    const std::vector<Case> cases = {
        {"nothing yet", {}, false, 0ms, 0, false},
        {"whole seconds since the first line",
         {{1000ms, Line(1, 4.0)}, {5000ms, Line(1, 4.0)}, {8900ms, Line(1, 4.0)}},
         false,
         9900ms,
         8,
         false},
        {"full after the window's length",
         {{0ms, Line(1, 4.0)}, {4000ms, Line(1, 4.0)}, {8000ms, Line(1, 4.0)}},
         false,
         10000ms,
         10,
         true},
        {"never more than the window",
         {{0ms, Line(1, 4.0)},
          {4000ms, Line(1, 4.0)},
          {8000ms, Line(1, 4.0)},
          {12000ms, Line(1, 4.0)}},
         false,
         13000ms,
         10,
         true},
        {"a gap starts it anew",
         {{0ms, Line(1, 4.0)}, {4000ms, Line(1, 4.0)}, {9000ms, Line(1, 4.0)}},
         false,
         12000ms,
         3,
         false},
        {"a hang-up or an error state empties it",
         {{0ms, Line(1, 4.0)}, {4000ms, Line(1, 4.0)}, {8000ms, Line(1, 4.0)}},
         true,
         8000ms,
         0,
         false},
    };
    for (const Case& c : cases) {
        RunningMean mean = Fed(10s, c.arrivals);
        if (c.clearedAfter) {
            mean.Clear();
        }
        EXPECT_EQ(mean.Filled(c.now).count(), c.filled) << c.name;
        EXPECT_EQ(mean.Full(c.now), c.full) << c.name;
    }
    RunningMean cleared = Fed(10s, {{0ms, Line(1, 4.0)}});
    cleared.Clear();
    cleared.Feed(Line(1, 6.0), 1000ms);
    EXPECT_EQ(cleared.Mean(1, 1000ms).count, 1) << "fills again from the next live value";
    EXPECT_EQ(cleared.StretchStart(), std::optional<milliseconds>(1000ms));
}

TEST(RunningMean, OffKeepsNothing) {
    RunningMean mean = Fed(0s, {{0ms, Line(1, 4.0)}});
    EXPECT_FALSE(mean.On());
    EXPECT_EQ(mean.Mean(1, 0ms).count, 0);
    EXPECT_FALSE(mean.Full(100000ms));
}

TEST(RunningMean, TheFileWritesTheMeanWithTheChannelsDecimals) {
    // Means exact in binary that end on a 5: FormatFixed rounds half away from zero, where
    // printf and banker's rounding would go to the even digit.
    const RunningMean mean = Fed(30s, {{0ms, Line(1, 4.0)},
                                       {0ms, Line(3, 12.0)},
                                       {0ms, Line(12, -0.25)},
                                       {1000ms, Line(1, 4.5)},
                                       {1000ms, Line(3, 13.0)},
                                       {1000ms, Line(12, -0.5)}});
    TransferFileBuilder file;
    file.AddHeaderLine("");
    file.AddValueLines(mean.Means(1000ms), ManualEntries{}, "", "");
    const std::vector<std::string> expected{"", "1401=60,0", "2003=4,3", "2304=13", "4010=-0,38"};
    EXPECT_EQ(file.Lines(), expected);
}

}  // namespace
