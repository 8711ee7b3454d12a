#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>

#include "ui/help_window.h"

namespace {

TEST(MovedInside, KeepsAFittingFrameAndMovesAnOtherOneJustEnough) {
    const QRect area(0, 30, 1280, 994);  // a task bar along the top
    const struct {
        const char* what;
        QRect frame;
        QRect expected;
    } rows[] = {
        {"fits", {490, 297, 600, 409}, {490, 297, 600, 409}},
        {"touches every edge", {0, 30, 1280, 994}, {0, 30, 1280, 994}},
        {"beyond the right edge", {900, 297, 600, 409}, {680, 297, 600, 409}},
        {"beyond the bottom edge", {490, 700, 600, 409}, {490, 615, 600, 409}},
        {"above the area", {490, 0, 600, 409}, {490, 30, 600, 409}},
        {"left of the area", {-50, 297, 600, 409}, {0, 297, 600, 409}},
        {"wider than the area", {300, 100, 1500, 409}, {0, 100, 1280, 409}},
        {"taller than the area", {300, 100, 600, 1200}, {300, 30, 600, 994}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MovedInside(row.frame, area), row.expected) << row.what;
    }
    // A second screen right of the first.
    EXPECT_EQ(MovedInside({2800, 297, 600, 409}, {1280, 0, 1920, 1080}),
              QRect(2600, 297, 600, 409));
}

TEST(CentredIn, PutsTheMiddleOfTheFrameOnTheMiddleOfTheArea) {
    EXPECT_EQ(CentredIn({517, 307}, {0, 0, 1280, 1024}), QRect(381, 358, 517, 307));
    EXPECT_EQ(CentredIn({521, 315}, {0, 30, 800, 570}), QRect(139, 157, 521, 315));
}

TEST(ShowPlacement, PlacesOnEveryShowAndOnceMoreWhenTheFrameIsKnown) {
    QWidget window;
    window.resize(200, 100);
    int placed = 0;
    new TShowPlacement(&window, [&] { ++placed; });
    window.show();
    EXPECT_EQ(placed, 1);
    // The first exposure tells the frame: place again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return placed >= 2; }, 10000));
    EXPECT_EQ(placed, 2);
    window.resize(300, 150);
    QTest::qWait(50);
    EXPECT_EQ(placed, 2);
    window.hide();
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return placed >= 4; }, 10000));
    EXPECT_EQ(placed, 4);
}

TEST(HelpWindowPlacement, MovesOnlyAsFarAsTheScreenNeeds) {
    TForm1 help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    const QRect area = help.screen()->availableGeometry();
    const QRect frame = help.frameGeometry();
    EXPECT_TRUE(area.contains(frame)) << "frame " << frame.x() << "," << frame.y() << " "
                                      << frame.width() << "x" << frame.height();
    // The offscreen test screen (800 x 800) is too narrow for the designed left edge but
    // tall enough for the designed top.
    ASSERT_GT(490 + frame.width(), area.right() + 1);
    ASSERT_LE(297 + frame.height(), area.bottom() + 1);
    EXPECT_EQ(frame.right(), area.right());
    EXPECT_EQ(frame.y(), 297);
}

}  // namespace
