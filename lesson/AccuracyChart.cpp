#include "lesson/AccuracyChart.h"

#include <algorithm>
#include <cstring>

namespace {

// Labels are read from a fixed field that an edited settings file may have left unterminated.
int LabelLength(const NoteRecord& note) {
    const void* terminator = std::memchr(note.label, '\0', kLabelSize);
    return terminator ? static_cast<int>(static_cast<const char*>(terminator) - note.label)
                      : kLabelSize;
}

SIZE MeasureLabel(HDC dc, const NoteRecord& note) {
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, note.label, LabelLength(note), &size);
    return size;
}

// Selects font for as long as the object lives; a null font leaves the context's own.
class FontSelection {
public:
    FontSelection(HDC dc, HFONT font)
        : dc_(dc), previous_(font ? SelectObject(dc, font) : nullptr) {}
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;
    ~FontSelection() {
        if (previous_) {
            SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

void DrawLine(HDC dc, int left, int right, int y) {
    MoveToEx(dc, left, y, nullptr);
    LineTo(dc, right, y);
}

void DrawLabelsAndBars(HDC dc, const ChartGeometry& chart, const NoteRecord notes[kNoteCount]) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int note = 0; note < kNoteCount; ++note) {
        const SIZE size = MeasureLabel(dc, notes[note]);
        TextOutA(dc, chart.Label_Left(note, size.cx), chart.Label_Top(), notes[note].label,
                 LabelLength(notes[note]));
        ChartGeometry::Rect bar{};
        if (chart.Bar_Rect(note, notes[note].correct, notes[note].asked, &bar)) {
            const RECT area = {bar.left, bar.top, bar.right, bar.bottom};
            FillRect(dc, &area, black);
        }
    }
}

// White lines on the white background show only where they cross a bar.
void DrawGridLines(HDC dc, const RECT& client, const ChartGeometry& chart) {
    const HGDIOBJ previousPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    for (int step = 1; step <= ChartGeometry::kGridLineCount; ++step) {
        DrawLine(dc, chart.Chart_Left(), chart.Line_Right(client.right), chart.Grid_LineY(step));
    }
    SelectObject(dc, previousPen);
}

} // namespace

SIZE MeasureLargestLabel(HDC dc, const NoteRecord notes[kNoteCount], HFONT font) {
    const FontSelection selection(dc, font);
    SIZE largest = {0, 0};
    for (int note = 0; note < kNoteCount; ++note) {
        const SIZE size = MeasureLabel(dc, notes[note]);
        largest.cx = std::max(largest.cx, size.cx);
        largest.cy = std::max(largest.cy, size.cy);
    }
    return largest;
}

void PaintAccuracyChart(HDC dc, const RECT& client, const ChartGeometry& chart,
                        const NoteRecord notes[kNoteCount], HFONT font) {
    {
        const FontSelection selection(dc, font);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // The base line takes the context's current pen: black, one pixel wide.
        DrawLine(dc, chart.Chart_Left(), chart.Line_Right(client.right), chart.Baseline());
        DrawLabelsAndBars(dc, chart, notes);
    }
    DrawGridLines(dc, client, chart);
}
