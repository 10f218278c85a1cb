#include "ui/performance/load_gauges.h"

#include "app/monitor_state.h"
#include "ui/performance/history_geometry.h"
#include "ui/performance/picture_controls.h"

// One line, centred, on the figure rectangle's bottom edge.
static const UINT kFigureFormat = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;

static RECT ToRect(const PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

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

// Works out graphic control `graph`'s picture for its client size, keeps it,
// and paints it.
template <typename Compute>
static void DrawGraph(HWND page, uint32_t graph, int controlId, Compute compute) {
  HWND control = GetDlgItem(page, controlId);
  if (control == nullptr) return;
  RECT client;
  GetClientRect(control, &client);
  WithStateLock(&g_stateLock, [&] {
    compute(client.right, client.bottom);
    MarkPictureDrawn(&g_state.pictures, graph);
  });
  PaintGraphControl(control, client, graph);
}

void DrawCpuGauge(HWND page, const float* cpuLoads) {
  DrawGraph(page, kGraphCpuGauge, IDC_CPU_GAUGE, [&](int32_t width, int32_t height) {
    ComputeCpuGaugePicture(width, height, g_state.processorCount, cpuLoads, &g_state.pictures.cpuGauge);
  });
}

void DrawMemoryGauge(HWND page, float memLoad) {
  DrawGraph(page, kGraphMemGauge, IDC_MEM_GAUGE, [&](int32_t width, int32_t height) {
    ComputeMemoryGaugePicture(width, height, memLoad, &g_state.pictures.memGauge);
  });
}

void DrawCpuHistory(HWND page, const float* cpuLoads) {
  DrawGraph(page, kGraphCpuHistory, IDC_CPU_HISTORY, [&](int32_t width, int32_t height) {
    g_state.pictures.cpuSeries = AdvanceCpuHistory(g_state.cpuHistory, &g_state.cpuHistoryReset, width, height,
                                                   g_state.processorCount, cpuLoads);
  });
}

void DrawMemoryHistory(HWND page, float memLoad) {
  DrawGraph(page, kGraphMemHistory, IDC_MEM_HISTORY, [&](int32_t width, int32_t height) {
    AdvanceMemoryHistory(&g_state.memHistory, &g_state.memHistoryReset, width, height, memLoad);
  });
}
