#include "ui/performance/history_graphs.h"

#include "app/monitor_state.h"
#include "platform/static_check.h"

// The history points are two signed 32-bit coordinates, as Polyline reads them.
SELVANE_STATIC_CHECK(sizeof(GraphPoint) == 8 && sizeof(GraphPoint) == sizeof(POINT), history_point_is_a_point);
SELVANE_STATIC_CHECK(sizeof(HistorySeries) == kHistoryPoints * sizeof(POINT), series_of_points);

void DrawHistoryLine(HDC dc, const HistorySeries* series) {
  // POINT is the platform's own record; copying keeps the series' type free of it.
  POINT points[kHistoryPoints];
  for (int j = 0; j < kHistoryPoints; ++j) {
    points[j].x = series->points[j].x;
    points[j].y = series->points[j].y;
  }
  HPEN pen = CreatePen(PS_SOLID, kHistoryPenWidth, kColourLevel);
  HGDIOBJ previous = SelectObject(dc, pen);
  Polyline(dc, points, kHistoryPoints);
  SelectObject(dc, previous);
  DeleteObject(pen);
}

void PaintHistory(HDC dc, const RECT& client, const HistorySeries* series, uint32_t count) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  for (uint32_t k = 0; k < count; ++k) DrawHistoryLine(dc, &series[k]);
}
