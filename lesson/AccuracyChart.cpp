#include "lesson/AccuracyChart.h"

#include "util/WinHelpers.h"

#include <algorithm>

namespace {

// A label's field may lack its terminator.
int Label_Length(const NoteRecord& note) {
    return static_cast<int>(BoundedLength(note.label, kLabelSize));
}

SIZE Measure_Label(HDC dc, const NoteRecord& note) {
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, note.label, Label_Length(note), &size);
    return size;
}

void Draw_Line(HDC dc, int left, int right, int y) {
    MoveToEx(dc, left, y, nullptr);
    LineTo(dc, right, y);
}

void Draw_LabelsAndBars(HDC dc, const ChartGeometry& chart, const NoteRecord notes[kNoteCount]) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int note = 0; note < kNoteCount; ++note) {
        const SIZE size = Measure_Label(dc, notes[note]);
        TextOutA(dc, chart.Label_Left(note, size.cx), chart.Label_Top(), notes[note].label,
                 Label_Length(notes[note]));
        ChartGeometry::Rect bar{};
        if (chart.Bar_Rect(note, notes[note].correct, notes[note].asked, &bar)) {
            const RECT area = {bar.left, bar.top, bar.right, bar.bottom};
            FillRect(dc, &area, black);
        }
    }
}

// White lines on the white background show only where they cross a bar.
void Draw_GridLines(HDC dc, const RECT& client, const ChartGeometry& chart) {
    const ObjectSelection pen(dc, GetStockObject(WHITE_PEN));
    for (int step = 1; step <= ChartGeometry::kGridLineCount; ++step) {
        Draw_Line(dc, chart.Chart_Left(), chart.Line_Right(client.right), chart.Grid_LineY(step));
    }
}

} // namespace

SIZE MeasureLargestLabel(HDC dc, const NoteRecord notes[kNoteCount], HFONT font) {
    const ObjectSelection selection(dc, font);
    SIZE largest = {0, 0};
    for (int note = 0; note < kNoteCount; ++note) {
        const SIZE size = Measure_Label(dc, notes[note]);
        largest.cx = std::max(largest.cx, size.cx);
        largest.cy = std::max(largest.cy, size.cy);
    }
    return largest;
}

void PaintAccuracyChart(HDC dc, const RECT& client, const ChartGeometry& chart,
                        const NoteRecord notes[kNoteCount], HFONT font) {
    {
        const ObjectSelection selection(dc, font);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // The base line takes the context's current pen: black, one pixel wide.
        Draw_Line(dc, chart.Chart_Left(), chart.Line_Right(client.right), chart.Baseline());
        Draw_LabelsAndBars(dc, chart, notes);
    }
    Draw_GridLines(dc, client, chart);
}
