#include "ui/performance/load_gauges.h"

#include "app/monitor_state.h"

// One line, centred, on the figure rectangle's bottom edge.
static const UINT kFigureFormat = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;

static RECT ToRect(const PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// Works out the picture for `control`'s client size and paints it through
// the control's own DC.
template <typename Compute>
static void DrawGauge(HWND control, Compute compute) {
  RECT client;
  GetClientRect(control, &client);
  GaugePicture picture;
  compute(client.right, client.bottom, &picture);
  HDC dc = GetDC(control);
  PaintGauge(dc, client, picture);
  ReleaseDC(control, dc);
}

void DrawGaugeBar(HDC dc, RECT bar, float fraction, HBRUSH levelBrush, HBRUSH troughBrush) {
  FillRect(dc, &bar, troughBrush);
  RECT level = bar;
  level.top = GaugeLevelTop({bar.left, bar.top, bar.right, bar.bottom}, fraction);
  FillRect(dc, &level, levelBrush);
}

void PaintGauge(HDC dc, const RECT& client, const GaugePicture& picture) {
  SetTextColor(dc, kColourLevel);
  SetBkColor(dc, kColourBackground);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HBRUSH levelBrush = CreateSolidBrush(kColourLevel);
  HBRUSH troughBrush = CreateSolidBrush(kColourTrough);
  for (uint32_t k = 0; k < picture.barCount; ++k) {
    DrawGaugeBar(dc, ToRect(picture.bars[k]), picture.fractions[k], levelBrush, troughBrush);
  }
  DeleteObject(levelBrush);
  DeleteObject(troughBrush);
  for (uint32_t k = 0; k < picture.barCount; ++k) {
    RECT rect = ToRect(picture.figureRects[k]);
    DrawTextW(dc, picture.figures[k], -1, &rect, kFigureFormat);
  }
}

void DrawCpuGauge(HWND page, const float* cpuLoads) {
  HWND control = GetDlgItem(page, IDC_CPU_GAUGE);
  if (control == nullptr) return;
  DrawGauge(control, [&](int32_t width, int32_t height, GaugePicture* picture) {
    ComputeCpuGaugePicture(width, height, g_state.processorCount, cpuLoads, picture);
  });
}

void DrawMemoryGauge(HWND page, float memLoad) {
  HWND control = GetDlgItem(page, IDC_MEM_GAUGE);
  if (control == nullptr) return;
  DrawGauge(control, [&](int32_t width, int32_t height, GaugePicture* picture) {
    ComputeMemoryGaugePicture(width, height, memLoad, picture);
  });
}
