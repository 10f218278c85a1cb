#include "ui/performance/load_gauges.h"

#include "app/monitor_state.h"
#include "ui/performance/gauge_geometry.h"

// One line, centred, on the figure rectangle's bottom edge.
static const UINT kFigureFormat = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;

static RECT ToRect(const PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

void DrawGaugeBar(HDC dc, RECT bar, float fraction, HBRUSH levelBrush, HBRUSH troughBrush) {
  FillRect(dc, &bar, troughBrush);
  RECT level = bar;
  level.top = GaugeLevelTop({bar.left, bar.top, bar.right, bar.bottom}, fraction);
  FillRect(dc, &level, levelBrush);
}

// The start every gauge shares: green figures on black, the client cleared.
static HDC BeginGauge(HWND control, RECT* client) {
  GetClientRect(control, client);
  HDC dc = GetDC(control);
  SetTextColor(dc, kColourLevel);
  SetBkColor(dc, kColourBackground);
  FillRect(dc, client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return dc;
}

static void DrawFigure(HDC dc, const PixelRect& figure) {
  RECT rect = ToRect(figure);
  DrawTextW(dc, g_state.reportBuffer, -1, &rect, kFigureFormat);
}

void DrawCpuGauge(HWND page, const float* cpuLoads) {
  HWND control = GetDlgItem(page, IDC_CPU_GAUGE);
  if (control == nullptr) return;
  RECT client;
  HDC dc = BeginGauge(control, &client);

  PixelRect bars[kMaxProcessors];
  PixelRect figures[kMaxProcessors];
  const uint32_t count = CpuGaugeLayout(client.right, client.bottom, g_state.processorCount, bars, figures);
  HBRUSH levelBrush = CreateSolidBrush(kColourLevel);
  HBRUSH troughBrush = CreateSolidBrush(kColourTrough);
  for (uint32_t k = 0; k < count; ++k) DrawGaugeBar(dc, ToRect(bars[k]), cpuLoads[k], levelBrush, troughBrush);
  DeleteObject(levelBrush);
  DeleteObject(troughBrush);

  for (uint32_t k = 0; k < count; ++k) {
    if (count == 1) {
      FormatPercentFigure(g_state.reportBuffer, kReportBufferChars, cpuLoads[k]);
    } else {
      FormatWholeFigure(g_state.reportBuffer, kReportBufferChars, cpuLoads[k]);
    }
    DrawFigure(dc, figures[k]);
  }
  ReleaseDC(control, dc);
}

void DrawMemoryGauge(HWND page, float memLoad) {
  HWND control = GetDlgItem(page, IDC_MEM_GAUGE);
  if (control == nullptr) return;
  RECT client;
  HDC dc = BeginGauge(control, &client);

  PixelRect bar;
  PixelRect figure;
  MemoryGaugeLayout(client.right, client.bottom, &bar, &figure);
  HBRUSH levelBrush = CreateSolidBrush(kColourLevel);
  HBRUSH troughBrush = CreateSolidBrush(kColourTrough);
  DrawGaugeBar(dc, ToRect(bar), memLoad, levelBrush, troughBrush);
  DeleteObject(levelBrush);
  DeleteObject(troughBrush);

  FormatPercentFigure(g_state.reportBuffer, kReportBufferChars, memLoad);
  DrawFigure(dc, figure);
  ReleaseDC(control, dc);
}
