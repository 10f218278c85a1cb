#include "ui/performance/load_gauges.h"

#include "app/monitor_state.h"
#include "ui/performance/history_geometry.h"
#include "ui/performance/picture_controls.h"

// One line, centred, on the figure rectangle's bottom edge.
static const UINT kFigureFormat = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;

static RECT ToRect(const PixelRect& rect) {
  const RECT result = {rect.left, rect.top, rect.right, rect.bottom};
  return result;
}

void DrawGaugeBar(HDC dc, RECT bar, float fraction, HBRUSH levelBrush, HBRUSH troughBrush) {
  FillRect(dc, &bar, troughBrush);
  RECT level = bar;
  const PixelRect pixels = {bar.left, bar.top, bar.right, bar.bottom};
  level.top = GaugeLevelTop(pixels, fraction);
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

// Works out graphic control `graph`'s picture from `cpuLoads` or `memLoad`
// for its client size, keeps it, and paints it.
static void DrawGraph(HWND page, uint32_t graph, int controlId, const float* cpuLoads, float memLoad) {
  HWND control = GetDlgItem(page, controlId);
  if (control == NULL) return;
  RECT client;
  GetClientRect(control, &client);
  const int32_t width = client.right;
  const int32_t height = client.bottom;
  PagePictures* pictures = &g_state.pictures;
  EnterStateLock(&g_stateLock);
  if (graph == kGraphCpuGauge) {
    ComputeCpuGaugePicture(width, height, g_state.processorCount, cpuLoads, LoadShared(g_state.loadSample.poweredOff),
                           &pictures->cpuGauge);
  } else if (graph == kGraphMemGauge) {
    ComputeMemoryGaugePicture(width, height, memLoad, &pictures->memGauge);
  } else if (graph == kGraphCpuHistory) {
    pictures->cpuSeries = AdvanceCpuHistory(g_state.cpuHistory, &g_state.cpuHistoryReset, width, height,
                                            g_state.processorCount, cpuLoads,
                                            LoadShared(g_state.loadSample.poweredOff));
  } else {
    AdvanceMemoryHistory(&g_state.memHistory, &g_state.memHistoryReset, width, height, memLoad);
  }
  MarkPictureDrawn(pictures, graph);
  LeaveStateLock(&g_stateLock);
  PaintGraphControl(control, client, graph);
}

void DrawCpuGauge(HWND page, const float* cpuLoads) { DrawGraph(page, kGraphCpuGauge, IDC_CPU_GAUGE, cpuLoads, 0.0f); }

void DrawMemoryGauge(HWND page, float memLoad) { DrawGraph(page, kGraphMemGauge, IDC_MEM_GAUGE, NULL, memLoad); }

void DrawCpuHistory(HWND page, const float* cpuLoads) {
  DrawGraph(page, kGraphCpuHistory, IDC_CPU_HISTORY, cpuLoads, 0.0f);
}

void DrawMemoryHistory(HWND page, float memLoad) { DrawGraph(page, kGraphMemHistory, IDC_MEM_HISTORY, NULL, memLoad); }
