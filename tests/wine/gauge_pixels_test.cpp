// The load gauges drawn into the real Performance dialog, read back whole.
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/load_gauges.h"

namespace {

class GaugePixels : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    page_ = ShowPerformancePage();
    ASSERT_NE(nullptr, page_);
    cpu_ = GetDlgItem(page_, IDC_CPU_GAUGE);
    SetClientSize(cpu_, 87, 58);
  }
  void TearDown() override { DestroyWindow(page_); }
  HWND page_ = nullptr;
  HWND cpu_ = nullptr;
};

TEST_F(GaugePixels, OneProcessorAndMemory) {
  const float loads[4] = {0.25f, 0.9f, 0.9f, 0.9f};  // only the first is read
  DrawCpuGauge(page_, loads);
  const GaugeBar bar = {{15, 5, 72, 33}, 26};
  const GaugeFigure figure = {{0, 38, 87, 58}, L"25.0%"};
  ExpectGauge(cpu_, &bar, &figure, 1);

  HWND memory = GetDlgItem(page_, IDC_MEM_GAUGE);
  SetClientSize(memory, 53, 65);
  DrawMemoryGauge(page_, 0.37f);
  const GaugeBar memoryBar = {{15, 5, 38, 40}, 40 - 12};  // 35 x 0.37 = 12.95
  const GaugeFigure memoryFigure = {{0, 45, 53, 65}, L"37.0%"};
  ExpectGauge(memory, &memoryBar, &memoryFigure, 1);
}

TEST_F(GaugePixels, TwoThreeAndFourProcessors) {
  g_state.processorCount = 4;
  const float loads[4] = {0.25f, 0.999f, 0.29f, 1.0f};
  DrawCpuGauge(page_, loads);
  const GaugeBar four[] = {{{1, 4, 20, 43}, 34}, {{22, 4, 42, 43}, 5}, {{44, 4, 64, 43}, 32}, {{66, 4, 85, 43}, 4}};
  const GaugeFigure fourFigures[] = {
      {{0, 43, 21, 58}, L"25"}, {{21, 43, 43, 58}, L"99"}, {{43, 43, 65, 58}, L"28"}, {{65, 43, 87, 58}, L"100"}};
  ExpectGauge(cpu_, four, fourFigures, 4);

  // Three: cleared to plain black.
  g_state.processorCount = 3;
  DrawCpuGauge(page_, loads);
  ExpectGauge(cpu_, nullptr, nullptr, 0);

  // Not clamped: above 1.0 the level covers the margin up to the control's
  // edge and the figure passes 100; below 0 the level is empty and nothing
  // spills under the bar.
  g_state.processorCount = 2;
  const float outside[4] = {1.2f, -0.5f, 0.5f, 0.5f};
  DrawCpuGauge(page_, outside);
  const GaugeBar two[] = {{{4, 4, 42, 43}, 43 - 46}, {{44, 4, 83, 43}, 43}};
  const GaugeFigure twoFigures[] = {{{0, 43, 43, 58}, L"120"}, {{43, 43, 87, 58}, L"-50"}};
  ExpectGauge(cpu_, two, twoFigures, 2);
}

TEST_F(GaugePixels, NoControlNoDrawing) {
  const float loads[4] = {0.5f};
  DrawCpuGauge(page_, loads);
  const Picture before = CaptureClient(cpu_);
  wcscpy(g_state.reportBuffer, L"untouched");
  DrawCpuGauge(nullptr, loads);
  DrawMemoryGauge(nullptr, 0.25f);
  DrawCpuGauge(cpu_, loads);  // a window without the gauge control
  DrawMemoryGauge(cpu_, 0.25f);
  EXPECT_STREQ(L"untouched", g_state.reportBuffer);  // no figure was even formatted
  EXPECT_TRUE(before.pixels == CaptureClient(cpu_).pixels);
}

}  // namespace
