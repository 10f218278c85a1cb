// Areas, layout and stepping of the history graphs. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_HISTORY_GEOMETRY_H
#define SELVANE_UI_PERFORMANCE_HISTORY_GEOMETRY_H

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "ui/performance/history_series.h"
#include "ui/performance/pixel_math.h"

// The CPU history's areas in a width x height client area, one per series,
// side by side: areas[k] belongs to processor k + 1. Returns the number of
// series, the processor count limited to kMaxProcessors. Three processors get
// thirds, spaced like the quarters of four.
uint32_t CpuHistoryAreas(int32_t width, int32_t height, uint32_t processorCount, PixelRect areas[kMaxProcessors]);

// The memory history's one area, the same as one processor's.
PixelRect MemoryHistoryArea(int32_t width, int32_t height);

// Lays a series out over `area`: point j at x = l + ((r - l) * j) / 60 in
// unsigned arithmetic, every y on the area's bottom. The divisor is the point
// count, so the newest point stands about one step short of the right edge.
void LayOutSeries(HistorySeries* series, const PixelRect& area);

// The same x positions reached by a running sum of (r - l), as the memory
// history does it.
void LayOutSeriesBySum(HistorySeries* series, const PixelRect& area);

// The y of `fraction` in `area`: 0 on the bottom, 1.0 on the top.
int32_t HistoryValueToY(const PixelRect& area, float fraction);

// One step: every y moves one point toward the oldest (x stays), and the
// newest point takes the y of `fraction`, or the bottom and a gap when
// `off`.
void StepSeries(HistorySeries* series, const PixelRect& area, float fraction, bool off);

// The next stretch of the line to draw: from point `*first` (at or after
// `from`) the number of points in a row not taken while off; 0 when none is
// left. A stretch of one point is drawn as nothing.
uint32_t NextLineRun(const HistorySeries& series, uint32_t from, uint32_t* first);

// One drawing's advance of the CPU history in a width x height client: while
// `*reset` is set the series are laid out over their areas first (and the
// flag cleared), then each steps with its processor's load (a gap for one
// that is off, bit k of `off`). Returns the number of series to draw.
uint32_t AdvanceCpuHistory(HistorySeries series[kMaxProcessors], uint32_t* reset, int32_t width, int32_t height,
                           uint32_t processorCount, const float* cpuLoads, uint32_t off);

// The same for the memory history's one series.
void AdvanceMemoryHistory(HistorySeries* series, uint32_t* reset, int32_t width, int32_t height, float memLoad);

#endif
