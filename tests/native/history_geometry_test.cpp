#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ui/performance/history_geometry.h"

namespace {

std::string Text(const PixelRect* areas, uint32_t count) {
  std::string text;
  for (uint32_t k = 0; k < count; ++k) {
    text += (k ? " " : "") + std::to_string(areas[k].left) + "," + std::to_string(areas[k].top) + "," +
            std::to_string(areas[k].right) + "," + std::to_string(areas[k].bottom);
  }
  return text;
}

TEST(HistoryAreas, ByProcessorCount) {
  PixelRect areas[kMaxProcessors + 1] = {};
  EXPECT_EQ("5,5,268,53", Text(areas, CpuHistoryAreas(273, 58, 1, areas)));
  EXPECT_EQ("5,5,131,53 141,5,268,53", Text(areas, CpuHistoryAreas(273, 58, 2, areas)));
  EXPECT_EQ("2,5,89,53 93,5,180,53 184,5,271,53", Text(areas, CpuHistoryAreas(273, 58, 3, areas)));
  EXPECT_EQ("2,5,66,53 70,5,134,53 138,5,202,53 206,5,271,53", Text(areas, CpuHistoryAreas(273, 58, 4, areas)));
  const PixelRect memory = MemoryHistoryArea(100, 45);
  EXPECT_EQ("5,5,95,40", Text(&memory, 1));
  // More than the data model holds: four series, never a fifth.
  EXPECT_EQ(4u, CpuHistoryAreas(273, 58, 9, areas));
  EXPECT_EQ("0,0,0,0", Text(&areas[4], 1));
}

TEST(HistoryLayout, XPositionsOnTheBottom) {
  HistorySeries series = {};
  LayOutSeriesBySum(&series, MemoryHistoryArea(100, 45));
  const int32_t xs[] = {5, 6, 8, 9, 11, 12};
  for (int j = 0; j < 6; ++j) EXPECT_EQ(xs[j], series.points[j].x) << j;
  EXPECT_EQ(90, series.points[57].x);
  EXPECT_EQ(92, series.points[58].x);
  EXPECT_EQ(93, series.points[59].x);  // a step short of the right edge, 95
  for (const GraphPoint& point : series.points) EXPECT_EQ(40, point.y);

  PixelRect areas[kMaxProcessors];
  CpuHistoryAreas(273, 58, 4, areas);
  const int32_t first[] = {2, 70, 138, 206};
  const int32_t last[] = {64, 132, 200, 269};
  for (int k = 0; k < 4; ++k) {
    LayOutSeries(&series, areas[k]);
    EXPECT_EQ(first[k], series.points[0].x);
    EXPECT_EQ(last[k], series.points[kHistoryPoints - 1].x);
  }
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

TEST(HistoryStep, ShiftsAndAddsTheNewest) {
  const PixelRect area = MemoryHistoryArea(100, 45);
  HistorySeries series = {};
  LayOutSeriesBySum(&series, area);
  StepSeries(&series, area, 0.5f);
  for (int j = 0; j < kHistoryPoints - 1; ++j) EXPECT_EQ(40, series.points[j].y) << j;
  EXPECT_EQ(23, series.points[59].y);  // 35 x 0.5 = 17.5, truncated
  StepSeries(&series, area, 1.0f);
  EXPECT_EQ(40, series.points[57].y);
  EXPECT_EQ(23, series.points[58].y);
  EXPECT_EQ(5, series.points[59].y);
  EXPECT_EQ(93, series.points[59].x);  // x never moves
  for (int step = 0; step < kHistoryPoints; ++step) StepSeries(&series, area, 0.25f);
  for (const GraphPoint& point : series.points) EXPECT_EQ(32, point.y);
}

TEST(HistoryValue, EdgesAndOutOfRange) {
  const PixelRect area = {2, 5, 66, 53};
  EXPECT_EQ(29, HistoryValueToY(area, 0.5f));
  EXPECT_EQ(53, HistoryValueToY(area, 0.0f));
  EXPECT_EQ(5, HistoryValueToY(area, 1.0f));
  EXPECT_EQ(53 - 49, HistoryValueToY(area, 1.03f));  // into the margin above
  EXPECT_EQ(53 + 24, HistoryValueToY(area, -0.5f));
  EXPECT_EQ(53 - 48 * 16, HistoryValueToY(area, FLT_MAX));
  EXPECT_EQ(53, HistoryValueToY(area, NAN));
}

}  // namespace
