#include "ui/performance/history_graphs.h"

#include "app/monitor_state.h"
#include "ui/performance/history_geometry.h"
#include "platform/static_check.h"

// The history points are two signed 32-bit coordinates, as Polyline reads them.
SELVANE_STATIC_CHECK(sizeof(GraphPoint) == 8 && sizeof(GraphPoint) == sizeof(POINT), history_point_is_a_point);
SELVANE_STATIC_CHECK(sizeof(HistorySeries().points) == kHistoryPoints * sizeof(POINT), series_of_points);
SELVANE_STATIC_CHECK(kHistoryPoints <= 64, one_off_bit_a_point);

void DrawHistoryLine(HDC dc, const HistorySeries* series) {
  // POINT is the platform's own record; copying keeps the series' type free of it.
  POINT points[kHistoryPoints];
  for (int j = 0; j < kHistoryPoints; ++j) {
    points[j].x = series->points[j].x;
    points[j].y = series->points[j].y;
  }
  HPEN pen = CreatePen(PS_SOLID, kHistoryPenWidth, kColourLevel);
  HGDIOBJ previous = SelectObject(dc, pen);
  // Each stretch apart: a processor that was off leaves a gap.
  uint32_t first = 0;
  for (uint32_t run = NextLineRun(*series, 0, &first); run > 0; run = NextLineRun(*series, first + run, &first)) {
    if (run > 1) Polyline(dc, points + first, static_cast<int>(run));
  }
  SelectObject(dc, previous);
  DeleteObject(pen);
}

// Each mark as a one-pixel column: a fill is exact where a line's ends are the pen's to choose.
static void DrawMarks(HDC dc, const RECT& client, const HistorySeries* series, uint32_t count,
                      const HistoryMarks& marks) {
  MarkLine lines[kMaxMarkLines];
  const uint32_t lineCount = HistoryMarkLines(series, count, marks, client.bottom, lines);
  if (lineCount == 0) return;
  HBRUSH brush = CreateSolidBrush(kColourMark);
  for (uint32_t i = 0; i < lineCount; ++i) {
    const RECT column = {lines[i].x, lines[i].top, lines[i].x + 1, lines[i].bottom + 1};
    FillRect(dc, &column, brush);
  }
  DeleteObject(brush);
}

void PaintHistory(HDC dc, const RECT& client, const HistorySeries* series, uint32_t count, const HistoryMarks& marks) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawMarks(dc, client, series, count, marks);
  for (uint32_t k = 0; k < count; ++k) DrawHistoryLine(dc, &series[k]);
}
