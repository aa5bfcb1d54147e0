// The window-free helpers: chart geometry, the handle table and text comparison.
#include "framework/HandleTable.h"
#include "lesson/ChartGeometry.h"
#include "media/TextEqual.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

// Labels 18 x 17 pixels in a client area 90 pixels high: columns of 22
// pixels, bars up to 67 pixels standing on a base line at y = 69.
TEST(ChartGeometry, WorkedExample) {
    const ChartGeometry chart(18, 17, 90);
    EXPECT_EQ(2, chart.Chart_Left());
    EXPECT_EQ(69, chart.Baseline());
    EXPECT_EQ(71, chart.Label_Top());
    EXPECT_EQ(2 * 4 + 12 * 22 + 4, chart.Window_Width(4));
    EXPECT_EQ(298, chart.Line_Right(300));
    const int lines[10] = {63, 56, 49, 43, 36, 29, 23, 16, 9, 2};
    for (int step = 1; step <= 10; ++step) {
        EXPECT_EQ(lines[step - 1], chart.Grid_LineY(step)) << step;
    }
    EXPECT_EQ(3 * 22 + 2 + 7, chart.Label_Left(3, 8)); // centred in its column
}

TEST(ChartGeometry, BarsFollowTheShareOfCorrectAnswers) {
    struct Row {
        int labelWidth, clientHeight, note;
        std::int32_t correct, asked;
        ChartGeometry::Rect bar; // all 0: no bar
    };
    const Row rows[] = {
        {18, 90, 0, 2, 3, {10, 25, 16, 69}}, // 44.67 pixels, truncated
        {18, 90, 1, 1, 3, {32, 47, 38, 69}}, // 22.33
        {18, 90, 11, 5, 5, {252, 2, 258, 69}},
        {18, 90, 2, 6, 3, {54, 69 - 134, 60, 69}},               // an edited file: taller than full
        {18, 90, 11, INT32_MAX, 1, {252, 69 - 0x7FFF, 258, 69}}, // kept within GDI's range
        {18, 90, 4, INT32_MAX, INT32_MAX, {98, 2, 104, 69}},     // 64-bit products
        {18, 90, 4, 80000000, 120000000, {98, 25, 104, 69}},
        {18, 90, 4, INT32_MAX / 2, INT32_MAX, {98, 36, 104, 69}},
        {0, 90, 2, 1, 1, {22, 2, 27, 69}},  // empty labels: columns of 9, bars of 5
        {19, 90, 0, 1, 1, {11, 2, 16, 69}}, // odd columns hold 5-pixel bars
        {18, 90, 5, 0, 0, {}},
        {18, 90, 5, 0, 7, {}},
        {18, 90, 5, 3, 0, {}}, // an edited file's counts
        {18, 90, 5, 3, -1, {}},
        {18, 90, 5, -1, 3, {}},
        {18, 90, 5, 1, INT32_MAX, {}},
        {18, 20, 5, 1, 1, {}}, // no room for a bar
    };
    for (const Row& row : rows) {
        const ChartGeometry chart(row.labelWidth, 17, row.clientHeight);
        ChartGeometry::Rect bar = {};
        const bool drawn = chart.Bar_Rect(row.note, row.correct, row.asked, &bar);
        EXPECT_EQ(row.bar.right != 0, drawn) << row.correct << " of " << row.asked;
        if (drawn) {
            EXPECT_EQ(row.bar.left, bar.left) << row.correct << " of " << row.asked;
            EXPECT_EQ(row.bar.top, bar.top) << row.correct << " of " << row.asked;
            EXPECT_EQ(row.bar.right, bar.right) << row.correct << " of " << row.asked;
            EXPECT_EQ(row.bar.bottom, bar.bottom) << row.correct << " of " << row.asked;
        }
    }
}

TEST(HandleTable, FindsTheOldestEntryAndKeepsTheOrder) {
    int handles[4];
    int objects[4];
    HandleTable table;
    for (int i : {0, 1, 2}) {
        ASSERT_TRUE(table.Add(&handles[i], &objects[i]));
    }
    ASSERT_TRUE(table.Add(&handles[1], &objects[3])); // the same handle again
    table.Remove(&handles[3]);                        // not in the table
    EXPECT_EQ(&objects[1], table.Find(&handles[1]));
    table.Remove(&handles[0]);
    table.Remove(&handles[1]);
    EXPECT_EQ(nullptr, table.Find(&handles[0]));
    EXPECT_EQ(&objects[3], table.Find(&handles[1]));
    EXPECT_EQ(&objects[2], table.Find(&handles[2]));
    table.Remove(&handles[1]);
    table.Remove(&handles[2]);
    EXPECT_EQ(nullptr, table.Find(&handles[2]));
    ASSERT_TRUE(table.Add(&handles[0], &objects[0])); // usable again once empty
    EXPECT_EQ(&objects[0], table.Find(&handles[0]));
}

TEST(TextEqual, FoldsTheCaseOfAsciiLettersOnly) {
    struct Row {
        const char* a;
        const char* b;
        bool equal; // the program compares case-insensitively only
    };
    const Row rows[] = {
        {"cdaudio", "CDAudio", true},
        {"cdaudio", "cdaudi", false},
        {"", "", true},
        {nullptr, "cdaudio", false}, // no device type
        {"[", "{", false},           // 32 apart, no letters
        {"@", "`", false},
        {"\x81", "\xA1", false},
        {"Z", "z", true}, // either way round
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.equal, TextEqual(row.a, row.b, false))
            << (row.a ? row.a : "null") << " / " << (row.b ? row.b : "null");
    }
}

} // namespace
