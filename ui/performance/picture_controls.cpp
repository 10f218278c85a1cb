#include "ui/performance/picture_controls.h"

#include "app/monitor_state.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"

static const int kGraphControls[kGraphCount] = {IDC_CPU_GAUGE, IDC_CPU_HISTORY, IDC_MEM_GAUGE, IDC_MEM_HISTORY};

// The static controls' own window procedure, which the kept pictures wrap.
static WNDPROC g_staticProc;

static uint32_t GraphOf(HWND control) {
  const int id = GetDlgCtrlID(control);
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    if (kGraphControls[g] == id) return g;
  }
  return kGraphCount;
}

static void PaintKept(HDC dc, const RECT& client, uint32_t graph, const KeptPicture& kept) {
  if (!kept.drawn) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  } else if (graph == kGraphCpuGauge || graph == kGraphMemGauge) {
    PaintGauge(dc, client, kept.gauge);
  } else {
    PaintHistory(dc, client, kept.series, kept.seriesCount, kept.marks);
  }
}

namespace {

// A gauge's control and the picture last painted whole into it.
struct PaintedGauge {
  HWND control;
  RECT client;
  GaugePicture picture;
};

}  // namespace

// On the page's thread: what each gauge shows, so that a drawing of the same
// pixels (an idle module's gauges mostly stand still) is left out.
static PaintedGauge g_paintedGauges[kGraphCount];

static bool IsGauge(uint32_t graph) { return graph == kGraphCpuGauge || graph == kGraphMemGauge; }

// Notes what a whole paint of `kept` left in `control`; true when that is
// what it showed already.
static bool NotePainted(HWND control, const RECT& client, uint32_t graph, const KeptPicture& kept) {
  if (!IsGauge(graph)) return false;
  PaintedGauge* painted = &g_paintedGauges[graph];
  const bool same = kept.drawn && painted->control == control && EqualRect(&painted->client, &client) &&
                    SameGaugePixels(painted->picture, kept.gauge);
  painted->control = kept.drawn ? control : NULL;
  painted->client = client;
  painted->picture = kept.gauge;
  return same;
}

static void RepaintKept(HWND control, uint32_t graph) {
  KeptPicture kept;
  CopyKeptPicture(&g_stateLock, &g_state.pictures, graph, &kept);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  if (dc != NULL) {
    RECT client;
    GetClientRect(control, &client);
    PaintKept(dc, client, graph, kept);
    // A part painted anew leaves the rest as it was: the next drawing paints all.
    if (EqualRect(&paint.rcPaint, &client)) {
      NotePainted(control, client, graph, kept);
    } else if (IsGauge(graph)) {
      g_paintedGauges[graph].control = NULL;
    }
  }
  EndPaint(control, &paint);
  // A drawing that came while this one was painted may lie under it now.
  if (PictureGeneration(&g_stateLock, &g_state.pictures) != kept.generation) InvalidateRect(control, NULL, FALSE);
}

static LRESULT CALLBACK GraphControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const uint32_t graph = GraphOf(control);
  if (graph < kGraphCount) {
    switch (message) {
      case WM_ERASEBKGND: return TRUE;  // the picture covers the whole client area
      case WM_PAINT: RepaintKept(control, graph); return 0;
      default: break;
    }
  }
  return CallWindowProcW(g_staticProc, control, message, wParam, lParam);
}

void KeepGraphPictures(HWND page) {
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    HWND control = GetDlgItem(page, kGraphControls[g]);
    if (control == NULL) continue;
    const WNDPROC previous = SetWindowProcedure(control, GraphControlProc);
    if (previous != GraphControlProc) g_staticProc = previous;
  }
}

void PaintGraphControl(HWND control, const RECT& client, uint32_t graph) {
  KeptPicture kept;
  CopyKeptPicture(&g_stateLock, &g_state.pictures, graph, &kept);
  if (NotePainted(control, client, graph, kept)) return;
  HDC dc = GetDC(control);
  PaintKept(dc, client, graph, kept);
  ReleaseDC(control, dc);
}
