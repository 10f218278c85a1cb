#include "ui/performance/history_geometry.h"

uint32_t CpuHistoryAreas(int32_t width, int32_t height, uint32_t processorCount, PixelRect areas[kMaxProcessors]) {
  const uint32_t count = processorCount > kMaxProcessors ? kMaxProcessors : processorCount;
  // cppcheck-suppress knownConditionTrueFalse ; cppcheck 2.10 misreads the const bound above
  const int32_t side = count <= 2 ? kHistorySideWide : kHistorySideNarrow;
  const int32_t n = static_cast<int32_t>(count);
  // Column k spans k*W/n to (k+1)*W/n, multiplied before dividing.
  for (int32_t k = 0; k < n; ++k) {
    areas[k] = MakePixelRect(ColumnEdge(k, width, n) + side, kHistoryMarginY, ColumnEdge(k + 1, width, n) - side,
                             height - kHistoryMarginY);
  }
  return count;
}

PixelRect MemoryHistoryArea(int32_t width, int32_t height) {
  return MakePixelRect(kHistorySideWide, kHistoryMarginY, width - kHistorySideWide, height - kHistoryMarginY);
}

void LayOutSeries(HistorySeries* series, const PixelRect& area) {
  const uint32_t span = static_cast<uint32_t>(area.right) - static_cast<uint32_t>(area.left);
  for (uint32_t j = 0; j < static_cast<uint32_t>(kHistoryPoints); ++j) {
    const uint32_t offset = (span * j) / static_cast<uint32_t>(kHistoryPoints);
    series->points[j].x = static_cast<int32_t>(static_cast<uint32_t>(area.left) + offset);
    series->points[j].y = area.bottom;
  }
  series->offPoints = 0;
}

void LayOutSeriesBySum(HistorySeries* series, const PixelRect& area) {
  const uint32_t span = static_cast<uint32_t>(area.right) - static_cast<uint32_t>(area.left);
  uint32_t sum = 0;
  for (int j = 0; j < kHistoryPoints; ++j) {
    series->points[j].x =
        static_cast<int32_t>(static_cast<uint32_t>(area.left) + sum / static_cast<uint32_t>(kHistoryPoints));
    series->points[j].y = area.bottom;
    sum += span;
  }
  series->offPoints = 0;
}

int32_t HistoryValueToY(const PixelRect& area, float fraction) {
  return area.bottom - ScaledExtent(area.bottom - area.top, fraction);
}

void StepSeries(HistorySeries* series, const PixelRect& area, float fraction, bool off) {
  for (int k = 0; k < kHistoryPoints - 1; ++k) series->points[k].y = series->points[k + 1].y;
  series->points[kHistoryPoints - 1].y = off ? area.bottom : HistoryValueToY(area, fraction);
  const uint64_t newest = static_cast<uint64_t>(1) << (kHistoryPoints - 1);
  series->offPoints = (series->offPoints >> 1) | (off ? newest : 0);
}

uint32_t NextLineRun(const HistorySeries& series, uint32_t from, uint32_t* first) {
  const uint32_t points = static_cast<uint32_t>(kHistoryPoints);
  uint32_t start = from;
  while (start < points && ((series.offPoints >> start) & 1u)) ++start;
  uint32_t end = start;
  while (end < points && !((series.offPoints >> end) & 1u)) ++end;
  *first = start;
  return end - start;
}

uint32_t AdvanceCpuHistory(HistorySeries series[kMaxProcessors], uint32_t* reset, int32_t width, int32_t height,
                           uint32_t processorCount, const float* cpuLoads, uint32_t off) {
  PixelRect areas[kMaxProcessors];
  const uint32_t count = CpuHistoryAreas(width, height, processorCount, areas);
  // Laid out once, from the control's size at its first drawing.
  if (*reset) {
    for (uint32_t k = 0; k < count; ++k) LayOutSeries(&series[k], areas[k]);
    *reset = 0;
  }
  for (uint32_t k = 0; k < count; ++k) StepSeries(&series[k], areas[k], cpuLoads[k], ((off >> k) & 1u) != 0);
  return count;
}

void AdvanceMemoryHistory(HistorySeries* series, uint32_t* reset, int32_t width, int32_t height, float memLoad) {
  const PixelRect area = MemoryHistoryArea(width, height);
  if (*reset) {
    LayOutSeriesBySum(series, area);
    *reset = 0;
  }
  StepSeries(series, area, memLoad, false);
}
