#pragma once

#include "lesson/NoteRecord.h"

#include <cstdint>

// Where the parts of the accuracy chart lie in the details window's client
// area: twelve equal columns, one per note, each with a black bar standing on
// the base line and the note's label beneath it. Needs no window, so the
// layout is checked without one.
class ChartGeometry {
public:
    struct Rect {
        int left;
        int top;
        int right; // excluded, as FillRect excludes it
        int bottom;
    };

    static constexpr int kMargin = 2;
    static constexpr int kGridLineCount = 10; // one line for every tenth of the full height
    // Labels and bars never get narrower or lower than this, even when every label is empty.
    static constexpr int kMinimumLabelSize = 5;
    // Bars of impossible scores (more correct answers than questions) are drawn as computed
    // and clipped by the client area; capping them here keeps their coordinates in the range
    // that every GDI implementation accepts.
    static constexpr int kTallestBar = 0x7FFF;

    ChartGeometry() = default;
    // widestLabel and tallestLabel: the largest measured width and height of the twelve
    // labels; clientHeight: the height of the client area.
    ChartGeometry(int widestLabel, int tallestLabel, int clientHeight);

    int Chart_Left() const { return kMargin; }
    int Baseline() const { return baseline_; }

    // The outer width that gives the window twelve columns and a margin on either side.
    int Window_Width(int frameWidth) const;

    // Left end of a label of the given measured width, centred in its column.
    int Label_Left(int noteIndex, int labelWidth) const;
    int Label_Top() const { return baseline_ + 2; }

    // The bar's rectangle; false when the note gets no bar.
    bool Bar_Rect(int noteIndex, std::int32_t correct, std::int32_t asked, Rect* bar) const;

    // y of the white line for step 1 (10 %) to kGridLineCount (100 %).
    int Grid_LineY(int step) const;
    // Right end of the base line and the white lines (LineTo leaves this pixel out).
    int Line_Right(int clientRight) const { return clientRight - kMargin; }

private:
    // Height of the bar for correct answers out of asked questions; 0 when the note was
    // never asked or a count is negative.
    int Bar_Height(std::int32_t correct, std::int32_t asked) const;

    int columnWidth_ = 0;
    int fullBarHeight_ = 0;
    int baseline_ = 0;
};
