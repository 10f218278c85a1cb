// The CPU and memory history graphs' painting; their drawing (a step, then
// the painting) is with the gauges' in load_gauges.h.
#ifndef SELVANE_UI_PERFORMANCE_HISTORY_GRAPHS_H
#define SELVANE_UI_PERFORMANCE_HISTORY_GRAPHS_H

#include "platform/fixed_width.h"
#include "platform/win32.h"
#include "ui/performance/history_marks.h"
#include "ui/performance/history_series.h"

// The series' 60 points as one green polyline, oldest first.
void DrawHistoryLine(HDC dc, const HistorySeries* series);

// Paints `count` series over the whole `client` of `dc`, from black: no grid,
// no frame, no text; the event marks first, in their own colour, so that the
// traces stay whole over them.
void PaintHistory(HDC dc, const RECT& client, const HistorySeries* series, uint32_t count, const HistoryMarks& marks);

#endif
