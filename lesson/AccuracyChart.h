#pragma once

#include "lesson/ChartGeometry.h"
#include "lesson/NoteRecord.h"

#include <windows.h>

// Drawing of the accuracy chart of the details window, apart from the window so that it can
// be drawn into any device context.

// The largest width and height of the twelve labels in dc with font selected (null: the
// context's own font).
SIZE MeasureLargestLabel(HDC dc, const NoteRecord notes[kNoteCount], HFONT font);

// Draws the whole chart anew over client: a white background, the base line, each note's
// label and black bar, and the white lines that cut the bars into tenths.
void PaintAccuracyChart(HDC dc, const RECT& client, const ChartGeometry& chart,
                        const NoteRecord notes[kNoteCount], HFONT font);
