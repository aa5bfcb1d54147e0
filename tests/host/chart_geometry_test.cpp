#include "lesson/ChartGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

using Rect = ChartGeometry::Rect;

void ExpectBar(const ChartGeometry& chart, int note, std::int32_t correct, std::int32_t asked,
               Rect expected) {
    Rect bar{-1, -1, -1, -1};
    ASSERT_TRUE(chart.Bar_Rect(note, correct, asked, &bar))
        << "note " << note << ", " << correct << " of " << asked;
    EXPECT_EQ(expected.left, bar.left) << "note " << note;
    EXPECT_EQ(expected.top, bar.top) << "note " << note;
    EXPECT_EQ(expected.right, bar.right) << "note " << note;
    EXPECT_EQ(expected.bottom, bar.bottom) << "note " << note;
}

void ExpectNoBar(const ChartGeometry& chart, std::int32_t correct, std::int32_t asked) {
    Rect bar{-1, -1, -1, -1};
    EXPECT_FALSE(chart.Bar_Rect(3, correct, asked, &bar)) << correct << " of " << asked;
    EXPECT_EQ(0, chart.Bar_Height(correct, asked)) << correct << " of " << asked;
}

// Labels 18 x 17 pixels in a client area 90 pixels high.
TEST(ChartGeometry, WorkedExampleLayout) {
    const ChartGeometry chart(18, 17, 90);
    EXPECT_EQ(22, chart.Column_Width());
    EXPECT_EQ(67, chart.Full_BarHeight());
    EXPECT_EQ(69, chart.Baseline());
    EXPECT_EQ(2, chart.Chart_Left());
    EXPECT_EQ(90, chart.Client_Height());
    EXPECT_EQ(71, chart.Label_Top());
    EXPECT_EQ(88, chart.Label_Top() + 17); // the labels end 2 pixels above the bottom
    EXPECT_EQ(268, chart.Window_Width(0));
    EXPECT_EQ(2 * 4 + 268, chart.Window_Width(4));
    EXPECT_EQ(2 * 9 + 268, chart.Window_Width(9));
    EXPECT_EQ(298, chart.Line_Right(300));

    const int expectedLines[10] = {63, 56, 49, 43, 36, 29, 23, 16, 9, 2};
    for (int step = 1; step <= 10; ++step) {
        EXPECT_EQ(expectedLines[step - 1], chart.Grid_LineY(step)) << "line " << step;
    }
}

TEST(ChartGeometry, WorkedExampleBars) {
    const ChartGeometry chart(18, 17, 90);
    ExpectBar(chart, 0, 2, 3, {10, 25, 16, 69});
    ExpectBar(chart, 1, 1, 3, {32, 47, 38, 69});
    ExpectBar(chart, 11, 5, 5, {252, 2, 258, 69});
    Rect bar{};
    EXPECT_FALSE(chart.Bar_Rect(5, 0, 0, &bar)); // never asked
    EXPECT_EQ(22, chart.Bar_Height(1, 3));       // 22.33 truncated
    EXPECT_EQ(44, chart.Bar_Height(2, 3));       // 44.67 truncated
    EXPECT_EQ(0, chart.Bar_Height(0, 7));
}

TEST(ChartGeometry, LabelsAreCentredInTheirColumns) {
    const ChartGeometry chart(18, 17, 90);
    EXPECT_EQ(2 + (22 - 18) / 2, chart.Label_Left(0, 18)); // the widest label
    EXPECT_EQ(2 + 8, chart.Label_Left(0, 5));              // (22 - 5) / 2 = 8
    EXPECT_EQ(11 * 22 + 2 + 6, chart.Label_Left(11, 10));
    EXPECT_EQ(3 * 22 + 2 + 11, chart.Label_Left(3, 0)); // an empty label
}

TEST(ChartGeometry, EmptyLabelsGetTheMinimumSize) {
    const ChartGeometry chart(0, 0, 90);
    EXPECT_EQ(9, chart.Column_Width());
    EXPECT_EQ(90 - 4 - 5 - 2, chart.Full_BarHeight());
    EXPECT_EQ(2 * 3 + 12 * 9 + 4, chart.Window_Width(3));
    Rect bar{};
    ASSERT_TRUE(chart.Bar_Rect(2, 1, 1, &bar));
    EXPECT_EQ(5, bar.right - bar.left);
    EXPECT_EQ(2 * 9 + 2 + 2, bar.left);

    // A width or height below the minimum is raised on its own.
    EXPECT_EQ(9, ChartGeometry(4, 30, 90).Column_Width());
    EXPECT_EQ(90 - 4 - 5 - 2, ChartGeometry(30, 4, 90).Full_BarHeight());
    EXPECT_EQ(10, ChartGeometry(6, 30, 90).Column_Width());
}

TEST(ChartGeometry, BarsAreFiveOrSixPixelsWideAndCentred) {
    for (int labelWidth = 5; labelWidth <= 30; ++labelWidth) {
        const ChartGeometry chart(labelWidth, 17, 90);
        const int column = chart.Column_Width();
        for (int note = 0; note < 12; ++note) {
            Rect bar{};
            ASSERT_TRUE(chart.Bar_Rect(note, 1, 1, &bar));
            EXPECT_EQ(column % 2 == 1 ? 5 : 6, bar.right - bar.left) << "column " << column;
            const int columnLeft = note * column + 2;
            // The same space on either side of the bar.
            EXPECT_EQ(bar.left - columnLeft, columnLeft + column - bar.right)
                << "column " << column;
        }
    }
}

TEST(ChartGeometry, NegativeOrMissingCountsGiveNoBar) {
    const ChartGeometry chart(18, 17, 90);
    ExpectNoBar(chart, 3, 0);
    ExpectNoBar(chart, 3, -1);
    ExpectNoBar(chart, -1, 3);
    ExpectNoBar(chart, -5, -5);
    ExpectNoBar(chart, INT32_MIN, 1);
    ExpectNoBar(chart, 1, INT32_MIN);
    ExpectNoBar(chart, INT32_MAX, INT32_MIN);
}

TEST(ChartGeometry, HugeCountsDoNotOverflow) {
    const ChartGeometry chart(18, 17, 90);
    ExpectBar(chart, 4, INT32_MAX, INT32_MAX, {4 * 22 + 10, 2, 4 * 22 + 16, 69});
    EXPECT_EQ(33, chart.Bar_Height(INT32_MAX / 2, INT32_MAX)); // 33.49 truncated
    EXPECT_EQ(66, chart.Bar_Height(INT32_MAX - 1, INT32_MAX)); // just under the full bar
    EXPECT_EQ(0, chart.Bar_Height(1, INT32_MAX));              // far too small to show
    EXPECT_EQ(67, chart.Bar_Height(40000000, 40000000));       // 40000000 * 67 > INT32_MAX
    EXPECT_EQ(44, chart.Bar_Height(80000000, 120000000));      // exact 64-bit product
}

TEST(ChartGeometry, MoreCorrectThanAskedGivesATallerBar) {
    const ChartGeometry chart(18, 17, 90);
    EXPECT_EQ(134, chart.Bar_Height(6, 3));
    ExpectBar(chart, 2, 6, 3, {54, 69 - 134, 60, 69});

    // Beyond every screen the height stops growing, and the top stays far above the client area.
    EXPECT_EQ(ChartGeometry::kTallestBar, chart.Bar_Height(INT32_MAX, 1));
    Rect bar{};
    ASSERT_TRUE(chart.Bar_Rect(11, INT32_MAX, 1, &bar));
    EXPECT_EQ(69 - ChartGeometry::kTallestBar, bar.top);
    EXPECT_EQ(69, bar.bottom);
}

TEST(ChartGeometry, ClientTooLowForAChartGivesNoBars) {
    // Labels 17 pixels high leave no room for bars in a client area 20 pixels high.
    const ChartGeometry chart(18, 17, 20);
    EXPECT_GE(0, chart.Full_BarHeight());
    ExpectNoBar(chart, 1, 1);
}

} // namespace
