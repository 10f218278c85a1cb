// The sampling cycle paints the gauges and graphs of the active Performance page.
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/gauge_geometry.h"
#include "ui/performance/history_geometry.h"

namespace {

RECT ToRect(const PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// The gauge as the load it was given must show it; the layout and the figure
// text themselves are checked natively.
void ExpectGaugeOf(HWND control, float load) {
  RECT client;
  GetClientRect(control, &client);
  PixelRect bar;
  PixelRect figure;
  MemoryGaugeLayout(client.right, client.bottom, &bar, &figure);
  wchar_t text[32];
  FormatPercentFigure(text, 32, load);
  const GaugeBar expectedBar = {ToRect(bar), GaugeLevelTop(bar, load)};
  const GaugeFigure expectedFigure = {ToRect(figure), text};
  ExpectGauge(control, &expectedBar, &expectedFigure, 1);
}

TEST(SamplingDrawing, ActivePageGetsGaugesAndGraphs) {
  ResetMonitorState();  // one processor
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  ShowWindow(page, SW_SHOWNOACTIVATE);
  SamplerContext context = {};
  StartSampling(&context);
  Sleep(50);

  RunSamplingCycle(&context);  // no active page: nothing drawn, nothing laid out
  EXPECT_EQ(1u, g_state.cpuHistoryReset);
  EXPECT_EQ(1u, g_state.memHistoryReset);

  g_state.performancePage.store(page);
  Sleep(50);
  RunSamplingCycle(&context);
  const float cpuLoad = g_state.loadSample.cpuLoad[0].load();
  const float memLoad = g_state.loadSample.memLoad.load();
  ExpectGaugeOf(GetDlgItem(page, IDC_CPU_GAUGE), cpuLoad);
  ExpectGaugeOf(GetDlgItem(page, IDC_MEM_GAUGE), memLoad);

  // Each graph was laid out and stepped once, with its own load.
  EXPECT_EQ(0u, g_state.cpuHistoryReset);
  EXPECT_EQ(0u, g_state.memHistoryReset);
  RECT client;
  GetClientRect(GetDlgItem(page, IDC_CPU_HISTORY), &client);
  PixelRect areas[kMaxProcessors];
  CpuHistoryAreas(client.right, client.bottom, 1, areas);
  EXPECT_EQ(HistoryValueToY(areas[0], cpuLoad), g_state.cpuHistory[0].points[kHistoryPoints - 1].y);
  EXPECT_EQ(areas[0].bottom, g_state.cpuHistory[0].points[kHistoryPoints - 2].y);
  GetClientRect(GetDlgItem(page, IDC_MEM_HISTORY), &client);
  const PixelRect area = MemoryHistoryArea(client.right, client.bottom);
  EXPECT_EQ(HistoryValueToY(area, memLoad), g_state.memHistory.points[kHistoryPoints - 1].y);
  const Picture graph = CaptureClient(GetDlgItem(page, IDC_MEM_HISTORY));
  const RECT row = {area.left, area.bottom, area.left + 10, area.bottom + 1};
  EXPECT_EQ(10, CountColour(graph, row, kPixelGreen));  // the flat start of the line
  DestroyWindow(page);
}

}  // namespace
