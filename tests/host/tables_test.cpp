// The chart's geometry, which needs no window: the bars of scores only an edited file holds.
#include "lesson/ChartGeometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

namespace {

// Counts only an edited file holds, labels the pictures do not show. Labels of 18 x 17 in a client
// area 90 high: columns of 22 pixels, bars up to 67 pixels on a base line at y = 69.
TEST(ChartGeometry, BarsFollowTheShareOfCorrectAnswers) {
    struct Row {
        int labelWidth, clientHeight, note;
        std::int32_t correct, asked;
        ChartGeometry::Rect bar; // all 0: no bar
    };
    const Row rows[] = {
        {18, 90, 2, 6, 3, {54, 69 - 134, 60, 69}},               // taller than full
        {18, 90, 11, INT32_MAX, 1, {252, 69 - 0x7FFF, 258, 69}}, // kept within GDI's range
        {18, 90, 4, INT32_MAX, INT32_MAX, {98, 2, 104, 69}},     // 64-bit products
        {18, 90, 4, 80000000, 120000000, {98, 25, 104, 69}},
        {18, 90, 4, INT32_MAX / 2, INT32_MAX, {98, 36, 104, 69}},
        {0, 90, 2, 1, 1, {22, 2, 27, 69}},  // empty labels: columns of 9, bars of 5
        {19, 90, 0, 1, 1, {11, 2, 16, 69}}, // odd columns hold 5-pixel bars
        {18, 90, 5, 0, 0, {}},
        {18, 90, 5, 0, 7, {}},
        {18, 90, 5, 3, 0, {}},
        {18, 90, 5, 3, -1, {}},
        {18, 90, 5, -1, -3, {}}, // both negative: no share of anything
        {18, 90, 5, 1, INT32_MAX, {}},
        {18, 20, 5, 1, 1, {}}, // no room for a bar
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.correct) + " of " + std::to_string(row.asked));
        const ChartGeometry chart(row.labelWidth, 17, row.clientHeight);
        ChartGeometry::Rect bar = {};
        EXPECT_EQ(row.bar.right != 0, chart.Bar_Rect(row.note, row.correct, row.asked, &bar));
        EXPECT_EQ(std::make_tuple(row.bar.left, row.bar.top, row.bar.right, row.bar.bottom),
                  std::make_tuple(bar.left, bar.top, bar.right, bar.bottom));
    }
}

} // namespace
