// Matching the simulator's sent counts with the window's decoded counts.

#include "bench/lag.h"

#include <gtest/gtest.h>

namespace {

TEST(LargestLag, EachWriteWaitsForTheFirstRedrawThatCountsItsLastLine) {
    const std::vector<LineMark> sent = {{3, 10.0}, {5, 10.05}, {9, 10.2}};
    const std::vector<LineMark> shown = {{2, 10.1}, {5, 10.2}, {9, 10.3}, {9, 10.4}};
    const LagResult r = LargestLag(sent, shown);
    EXPECT_NEAR(r.maxLag, 0.2, 1e-9);  // lines 1..3: shown only at 10.2, not at 10.1
    EXPECT_EQ(r.worstLine, 3u);
    EXPECT_NEAR(r.minLag, 0.1, 1e-9);
    EXPECT_NEAR(r.meanLag, (3 * 0.2 + 2 * 0.15 + 4 * 0.1) / 9, 1e-9);
    EXPECT_EQ(r.linesShown, 9u);
    EXPECT_EQ(r.linesNotShown, 0u);
}

TEST(LargestLag, MarksWithoutNewLinesAreSkipped) {
    // The second mark repeats the count later: it must not yield a negative lag.
    const LagResult r = LargestLag({{3, 1.0}, {3, 2.0}}, {{3, 1.5}});
    EXPECT_NEAR(r.maxLag, 0.5, 1e-9);
    EXPECT_NEAR(r.minLag, 0.5, 1e-9);
}

TEST(LargestLag, LinesNeverShownAreCountedNotGivenALag) {
    const LagResult partly = LargestLag({{4, 1.0}, {8, 2.0}, {12, 3.0}}, {{6, 2.5}});
    EXPECT_NEAR(partly.maxLag, 1.5, 1e-9);
    EXPECT_EQ(partly.linesShown, 6u);
    EXPECT_EQ(partly.linesNotShown, 6u);

    const LagResult none = LargestLag({{5, 1.0}}, {});
    EXPECT_EQ(none.linesShown, 0u);
    EXPECT_EQ(none.linesNotShown, 5u);

    const LagResult nothingSent = LargestLag({}, {{0, 1.0}});
    EXPECT_EQ(nothingSent.linesShown, 0u);
    EXPECT_EQ(nothingSent.linesNotShown, 0u);
}

TEST(LargestLag, AWindowAheadOfTheSenderShowsAsNegativeLag) {
    // The link counted lines the simulator had not written yet: the counts are out of
    // step, which the benchmark must be able to tell from a real lag.
    const LagResult r = LargestLag({{10, 5.0}, {20, 6.0}}, {{10, 4.9}, {20, 6.3}});
    EXPECT_NEAR(r.minLag, -0.1, 1e-9);
    EXPECT_NEAR(r.maxLag, 0.3, 1e-9);
    EXPECT_EQ(r.worstLine, 20u);
}

}  // namespace
