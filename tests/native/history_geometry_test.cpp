#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>

#include "ui/performance/history_geometry.h"

namespace {

TEST(HistoryAreas, NeverMoreThanFourSeries) {
  PixelRect four[kMaxProcessors], areas[kMaxProcessors + 1] = {};
  CpuHistoryAreas(273, 58, 4, four);
  ASSERT_EQ(4u, CpuHistoryAreas(273, 58, 9, areas));
  EXPECT_EQ(0, std::memcmp(four, areas, sizeof four));
  EXPECT_EQ(0, areas[4].left | areas[4].top | areas[4].right | areas[4].bottom);
}

TEST(HistoryLayout, RunningSumMatchesTheProduct) {
  // Also in controls too small for their margins, where the span is negative
  // and the unsigned arithmetic wraps.
  for (int32_t width = 0; width <= 400; ++width) {
    const PixelRect area = MemoryHistoryArea(width, 45);
    HistorySeries byProduct = {}, bySum = {};
    LayOutSeries(&byProduct, area);
    LayOutSeriesBySum(&bySum, area);
    for (int j = 0; j < kHistoryPoints; ++j) ASSERT_EQ(byProduct.points[j].x, bySum.points[j].x) << width;
  }
}

TEST(HistoryValue, TruncatedUnclampedAndDefinedForAnyFraction) {
  const PixelRect area = {2, 5, 66, 53};  // 48 pixels high
  EXPECT_EQ(53 - 49, HistoryValueToY(area, 1.03f));  // 49.44 pixels, into the margin above
  EXPECT_EQ(53 + 24, HistoryValueToY(area, -0.5f));
  // A wrapped busy time gives loads beyond any integer; UBSan watches the conversions.
  EXPECT_EQ(53 - 48 * 16, HistoryValueToY(area, FLT_MAX));
  EXPECT_EQ(53 - 48 * 16, HistoryValueToY(area, INFINITY));
  EXPECT_EQ(53, HistoryValueToY(area, NAN));
}

// Points taken while a processor was off lie on the bottom and split the line; they move out with the
// steps, and a fresh layout forgets them.
TEST(HistoryLine, OffPointsLeaveGapsThatScrollAway) {
  const PixelRect area = {0, 0, 60, 40};
  HistorySeries series = {};
  LayOutSeries(&series, area);
  for (int step = 0; step < kHistoryPoints; ++step) StepSeries(&series, area, 0.5f, step == 30 || step == 59);
  EXPECT_EQ(40, series.points[59].y);
  EXPECT_EQ(20, series.points[58].y);
  uint32_t first = 99;
  EXPECT_EQ(30u, NextLineRun(series, 0, &first));
  EXPECT_EQ(0u, first);
  EXPECT_EQ(28u, NextLineRun(series, 30, &first));
  EXPECT_EQ(31u, first);
  EXPECT_EQ(0u, NextLineRun(series, 59, &first));
  for (int step = 0; step < kHistoryPoints; ++step) StepSeries(&series, area, 0.5f, false);
  EXPECT_EQ(60u, NextLineRun(series, 0, &first));
  StepSeries(&series, area, 0.5f, true);
  LayOutSeries(&series, area);
  EXPECT_EQ(60u, NextLineRun(series, 0, &first));
}

}  // namespace
