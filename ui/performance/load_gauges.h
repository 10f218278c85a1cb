// The Performance page's drawing calls: the CPU and memory load gauges and
// history graphs, each worked out (the pure geometry), kept for repaints and
// painted into its static control. The sampling cycle works the pictures out
// in AdvanceCycle and paints them the same way.
#ifndef SELVANE_UI_PERFORMANCE_LOAD_GAUGES_H
#define SELVANE_UI_PERFORMANCE_LOAD_GAUGES_H

#include "platform/win32.h"
#include "ui/performance/gauge_geometry.h"

// A trough over the whole bar, then the level from the bottom up to `fraction`.
void DrawGaugeBar(HDC dc, RECT bar, float fraction, HBRUSH levelBrush, HBRUSH troughBrush);

// Paints `picture` over the whole `client` of `dc`: black, the bars, then the
// figures, green on black in the DC's default font.
void PaintGauge(HDC dc, const RECT& client, const GaugePicture& picture);

// One bar and figure per processor (1, 2 or 4; plain black otherwise) from
// the four loads. A page without the control (or null) draws nothing.
void DrawCpuGauge(HWND page, const float* cpuLoads);

// One bar and a percent figure for the memory load.
void DrawMemoryGauge(HWND page, float memLoad);

// Steps one series per processor with its load and draws them side by side.
// A page without the control (or null) neither draws nor steps; the first
// drawing lays the series out.
void DrawCpuHistory(HWND page, const float* cpuLoads);

// Steps the memory series with `memLoad` and draws it.
void DrawMemoryHistory(HWND page, float memLoad);

#endif
