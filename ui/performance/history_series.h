// One 60-point history polyline. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_HISTORY_SERIES_H
#define SELVANE_UI_PERFORMANCE_HISTORY_SERIES_H

#include "app/constants.h"
#include "platform/fixed_width.h"

struct GraphPoint {
  int32_t x;
  int32_t y;
};

// Point 0 is the oldest value, point kHistoryPoints - 1 the newest.
struct HistorySeries {
  GraphPoint points[kHistoryPoints];
  // Bit j: point j was taken while the processor was off; the line has a
  // gap there.
  uint64_t offPoints;
};

#endif
