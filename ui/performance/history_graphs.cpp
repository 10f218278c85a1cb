#include "ui/performance/history_graphs.h"

#include "app/monitor_state.h"
#include "ui/performance/history_geometry.h"

void DrawHistoryLine(HDC dc, const HistorySeries* series) {
  // POINT is the platform's own record; copying keeps the series' type free of it.
  POINT points[kHistoryPoints];
  for (int j = 0; j < kHistoryPoints; ++j) points[j] = {series->points[j].x, series->points[j].y};
  HPEN pen = CreatePen(PS_SOLID, kHistoryPenWidth, kColourLevel);
  HGDIOBJ previous = SelectObject(dc, pen);
  Polyline(dc, points, kHistoryPoints);
  SelectObject(dc, previous);
  DeleteObject(pen);
}

// A graph starts from black: no grid, no frame, no text.
static HDC BeginGraph(HWND control, RECT* client) {
  GetClientRect(control, client);
  HDC dc = GetDC(control);
  FillRect(dc, client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return dc;
}

void DrawCpuHistory(HWND page, const float* cpuLoads) {
  HWND control = GetDlgItem(page, IDC_CPU_HISTORY);
  if (control == nullptr) return;
  RECT client;
  HDC dc = BeginGraph(control, &client);

  PixelRect areas[kMaxProcessors];
  const uint32_t count = CpuHistoryAreas(client.right, client.bottom, g_state.processorCount, areas);
  // Laid out once, from the control's size at its first drawing.
  if (g_state.cpuHistoryReset) {
    for (uint32_t k = 0; k < count; ++k) LayOutSeries(&g_state.cpuHistory[k], areas[k]);
    g_state.cpuHistoryReset = 0;
  }
  for (uint32_t k = 0; k < count; ++k) StepSeries(&g_state.cpuHistory[k], areas[k], cpuLoads[k]);
  for (uint32_t k = 0; k < count; ++k) DrawHistoryLine(dc, &g_state.cpuHistory[k]);
  ReleaseDC(control, dc);
}

void DrawMemoryHistory(HWND page, float memLoad) {
  HWND control = GetDlgItem(page, IDC_MEM_HISTORY);
  if (control == nullptr) return;
  RECT client;
  HDC dc = BeginGraph(control, &client);

  const PixelRect area = MemoryHistoryArea(client.right, client.bottom);
  if (g_state.memHistoryReset) {
    LayOutSeriesBySum(&g_state.memHistory, area);
    g_state.memHistoryReset = 0;
  }
  StepSeries(&g_state.memHistory, area, memLoad);
  DrawHistoryLine(dc, &g_state.memHistory);
  ReleaseDC(control, dc);
}
