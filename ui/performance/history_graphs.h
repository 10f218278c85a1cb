// The CPU and memory history graphs, painted by the sampling thread into
// their static controls on the Performance page. Each drawing advances its
// history by one step (the pure history geometry), then paints it.
#ifndef SELVANE_UI_PERFORMANCE_HISTORY_GRAPHS_H
#define SELVANE_UI_PERFORMANCE_HISTORY_GRAPHS_H

#include <cstdint>

#include "platform/win32.h"
#include "ui/performance/history_series.h"

// The series' 60 points as one green polyline, oldest first.
void DrawHistoryLine(HDC dc, const HistorySeries* series);

// Paints `count` series over the whole `client` of `dc`, from black: no grid,
// no frame, no text.
void PaintHistory(HDC dc, const RECT& client, const HistorySeries* series, uint32_t count);

// Steps one series per processor with its load and draws them side by side.
// A page without the control (or null) neither draws nor steps; the first
// drawing lays the series out.
void DrawCpuHistory(HWND page, const float* cpuLoads);

// Steps the memory series with `memLoad` and draws it.
void DrawMemoryHistory(HWND page, float memLoad);

#endif
