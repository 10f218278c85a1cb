// The CPU and memory load gauges, painted by the sampling thread straight into
// their static controls on the Performance page.
#ifndef SELVANE_UI_PERFORMANCE_LOAD_GAUGES_H
#define SELVANE_UI_PERFORMANCE_LOAD_GAUGES_H

#include "platform/win32.h"

// A trough over the whole bar, then the level from the bottom up to `fraction`.
void DrawGaugeBar(HDC dc, RECT bar, float fraction, HBRUSH levelBrush, HBRUSH troughBrush);

// One bar and figure per processor (1, 2 or 4; plain black otherwise) from
// the four loads. A page without the control (or null) draws nothing.
void DrawCpuGauge(HWND page, const float* cpuLoads);

// One bar and a percent figure for the memory load.
void DrawMemoryGauge(HWND page, float memLoad);

#endif
