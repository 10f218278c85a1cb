// The sampling cycle paints the gauges and graphs of the active Performance page.
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/gauge_geometry.h"

namespace {

// The gauge shows `load`; layout and figure text are checked natively.
void ExpectGaugeOf(HWND control, float load) {
  RECT client;
  GetClientRect(control, &client);
  PixelRect bar, figure;
  MemoryGaugeLayout(client.right, client.bottom, &bar, &figure);
  wchar_t text[32];
  FormatPercentFigure(text, 32, load);
  const GaugeBar expectedBar = {{bar.left, bar.top, bar.right, bar.bottom}, GaugeLevelTop(bar, load)};
  const GaugeFigure expectedFigure = {{figure.left, figure.top, figure.right, figure.bottom}, text};
  ExpectGauge(control, &expectedBar, &expectedFigure, 1);
}

TEST(SamplingDrawing, OnlyTheActivePageIsPainted) {
  ResetMonitorState();  // one processor
  HWND page = ShowPerformancePage();
  ASSERT_NE(nullptr, page);
  SamplerContext context = {};
  StartSampling(&context);
  Sleep(50);
  RunSamplingCycle(&context);  // no active page: nothing drawn, nothing laid out
  EXPECT_EQ(2u, g_state.cpuHistoryReset + g_state.memHistoryReset);

  g_state.performancePage.store(page);
  Sleep(50);
  RunSamplingCycle(&context);
  ExpectGaugeOf(GetDlgItem(page, IDC_CPU_GAUGE), g_state.loadSample.cpuLoad[0].load());
  ExpectGaugeOf(GetDlgItem(page, IDC_MEM_GAUGE), g_state.loadSample.memLoad.load());
  EXPECT_EQ(0u, g_state.cpuHistoryReset + g_state.memHistoryReset);
  // Each graph starts flat along its area's bottom, 5 above the client's.
  for (int id : {IDC_CPU_HISTORY, IDC_MEM_HISTORY}) {
    const Picture graph = CaptureClient(GetDlgItem(page, id));
    EXPECT_EQ(10, CountColour(graph, {5, graph.height - 5, 15, graph.height - 4}, kPixelGreen)) << id;
  }
  DestroyWindow(page);
}

}  // namespace
