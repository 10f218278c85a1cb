// Where the load gauges draw, and their figure texts. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_GAUGE_GEOMETRY_H
#define SELVANE_UI_PERFORMANCE_GAUGE_GEOMETRY_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "ui/performance/pixel_math.h"

// The CPU gauge's bars and figure rectangles in a width x height client area:
// bars[k] and figures[k] belong to processor k + 1. Returns how many there
// are: 1, 2 or 4 for those processor counts, 0 for any other (the gauge is
// then plain black).
uint32_t CpuGaugeLayout(int32_t width, int32_t height, uint32_t processorCount, PixelRect bars[kMaxProcessors],
                        PixelRect figures[kMaxProcessors]);

// The memory gauge: the one-processor layout.
void MemoryGaugeLayout(int32_t width, int32_t height, PixelRect* bar, PixelRect* figure);

// Top of a bar's bright level at `fraction`. The level keeps the bar's left,
// right and bottom; above 1.0 it reaches over the bar's top; at 0 and below it
// is empty (its top is the bar's bottom).
int32_t GaugeLevelTop(const PixelRect& bar, float fraction);

// Figure texts into `out` (capacity in characters): "37.5%" for one
// processor and the memory gauge, truncated "37" for two and four.
void FormatPercentFigure(wchar_t* out, size_t capacity, float fraction);
void FormatWholeFigure(wchar_t* out, size_t capacity, float fraction);

// Everything a gauge's picture holds, worked out from its client size and
// its loads: the painter clears the client to black, fills each bar's trough
// and level, and writes each figure on its rectangle.
struct GaugePicture {
  uint32_t barCount;  // 0 for a layout the gauge does not have: plain black
  PixelRect bars[kMaxProcessors];
  float fractions[kMaxProcessors];
  PixelRect figureRects[kMaxProcessors];
  wchar_t figures[kMaxProcessors][kGaugeFigureChars];
};

// The CPU gauge: a bar per processor (1, 2 or 4) with its figure; a
// processor that is off (bit k of `off`) has an empty bar and reads "off".
void ComputeCpuGaugePicture(int32_t width, int32_t height, uint32_t processorCount, const float* cpuLoads,
                            uint32_t off, GaugePicture* picture);

// The memory gauge: one bar with a percent figure.
void ComputeMemoryGaugePicture(int32_t width, int32_t height, float memLoad, GaugePicture* picture);

// The two pictures paint the same pixels: the same bars, levels to the
// pixel, figure rectangles and texts (loads that differ within a pixel and a
// figure's rounding leave a gauge as it is).
bool SameGaugePixels(const GaugePicture& a, const GaugePicture& b);

#endif
