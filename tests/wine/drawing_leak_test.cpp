// No drawing call leaks a GDI object or a DC, shown by exhaustion.
//
// GetGuiResources is a stub in Wine. Instead the GDI handle table is filled
// with ballast until only kHeadroom entries are free: a drawing call that
// leaked even one object (a DC takes three) would empty it within kHeadroom
// calls, every later brush, pen or DC would fail, and the last pictures,
// drawn from loads unlike the earlier ones, would be wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "app/monitor_state.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/history_graphs.h"
#include "ui/performance/load_gauges.h"

namespace {

const int kCalls = 40000;
const int kHeadroom = kCalls / 2;

TEST(DrawingLeak, FortyThousandCyclesEndExact) {
  ResetMonitorState();
  g_state.processorCount = 4;
  HWND page = ShowPerformancePage();
  ASSERT_NE(nullptr, page);
  SetClientSize(GetDlgItem(page, IDC_CPU_GAUGE), 87, 58);
  SetClientSize(GetDlgItem(page, IDC_MEM_GAUGE), 53, 65);
  SetClientSize(GetDlgItem(page, IDC_CPU_HISTORY), 273, 58);
  SetClientSize(GetDlgItem(page, IDC_MEM_HISTORY), 100, 45);

  std::vector<HBRUSH> ballast;
  for (HBRUSH brush; (brush = CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) ballast.push_back(brush);
  const int capacity = static_cast<int>(ballast.size());
  ASSERT_GT(capacity, kHeadroom);
  for (int i = 0; i < kHeadroom; ++i, ballast.pop_back()) DeleteObject(ballast.back());

  const float steady[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  const float last[4] = {0.25f, 0.999f, 0.29f, 1.0f};
  const DWORD start = GetTickCount();
  for (int i = 0; i < kCalls; ++i) {
    const float* loads = i == kCalls - 1 ? last : steady;
    DrawCpuGauge(page, loads);
    DrawCpuHistory(page, loads);
    DrawMemoryGauge(page, loads[0]);
    DrawMemoryHistory(page, loads[3]);
  }
  const DWORD elapsed = GetTickCount() - start;
  for (HBRUSH brush : ballast) DeleteObject(brush);
  printf("%d calls of each drawing function in %lu ms, %d of %d GDI handles free\n", kCalls,
         static_cast<unsigned long>(elapsed), kHeadroom, capacity);

  const GaugeBar bars[] = {{{1, 4, 20, 43}, 34}, {{22, 4, 42, 43}, 5}, {{44, 4, 64, 43}, 32}, {{66, 4, 85, 43}, 4}};
  const GaugeFigure figures[] = {
      {{0, 43, 21, 58}, L"25"}, {{21, 43, 43, 58}, L"99"}, {{43, 43, 65, 58}, L"28"}, {{65, 43, 87, 58}, L"100"}};
  ExpectGauge(GetDlgItem(page, IDC_CPU_GAUGE), bars, figures, 4);
  const GaugeBar memoryBar = {{15, 5, 38, 40}, 32};
  const GaugeFigure memoryFigure = {{0, 45, 53, 65}, L"25.0%"};
  ExpectGauge(GetDlgItem(page, IDC_MEM_GAUGE), &memoryBar, &memoryFigure, 1);
  // Flat at 0.5 (y 29), then each newest point at its own load.
  const GraphLine lines[] = {{2, 63, 64, 29, 41}, {70, 131, 132, 29, 6}, {138, 199, 200, 29, 40},
                             {206, 268, 269, 29, 5}};
  ExpectLines(GetDlgItem(page, IDC_CPU_HISTORY), lines, 4);
  const GraphLine memoryLine = {5, 92, 93, 23, 5};
  ExpectLines(GetDlgItem(page, IDC_MEM_HISTORY), &memoryLine, 1);
  DestroyWindow(page);
}

}  // namespace
