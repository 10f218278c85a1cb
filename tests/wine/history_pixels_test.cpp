// The history graphs drawn into the real Performance dialog, read back whole.
#include <gtest/gtest.h>

#include <cstring>

#include "app/monitor_state.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/load_gauges.h"

namespace {

bool AllZero(const HistorySeries& series) {
  const HistorySeries zero = {};
  return std::memcmp(&zero, &series, sizeof zero) == 0;
}

class HistoryPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    page_ = ShowPerformancePage();
    ASSERT_NE(nullptr, page_);
    cpu_ = GetDlgItem(page_, IDC_CPU_HISTORY);
    memory_ = GetDlgItem(page_, IDC_MEM_HISTORY);
    SetClientSize(cpu_, 273, 58);
    SetClientSize(memory_, 100, 45);
  }
  void TearDown() override { DestroyWindow(page_); }
  HWND page_ = nullptr;
  HWND cpu_ = nullptr;
  HWND memory_ = nullptr;
};

TEST_F(HistoryPixels, MemoryFirstDrawingThenSteady) {
  DrawMemoryHistory(page_, 0.5f);
  // Flat along the bottom (y 40) from x 5 to point 58 at x 92, rising to 23 at x 93.
  const GraphLine first = {5, 92, 93, 40, 23};
  ExpectLines(memory_, &first, 1);

  // The layout is kept: a resized control changes no x position.
  SetClientSize(memory_, 200, 45);
  for (int step = 0; step < kHistoryPoints; ++step) DrawMemoryHistory(page_, 1.0f);
  const GraphLine steady = {5, 92, 93, 5, 5};
  ExpectLines(memory_, &steady, 1);
}

TEST_F(HistoryPixels, TwoThreeAndFourProcessors) {
  g_state.processorCount = 4;
  const float loads[4] = {0.5f, 1.0f, 0.7f, 0.7f};
  DrawCpuHistory(page_, loads);
  // Areas (2, 5, 66, 53), (70, 5, 134, 53), (138, 5, 202, 53), (206, 5, 271, 53).
  const GraphLine four[] = {{2, 63, 64, 53, 29}, {70, 131, 132, 53, 5}, {138, 199, 200, 53, 20},
                            {206, 268, 269, 53, 20}};
  ExpectLines(cpu_, four, 4);

  // Only the processors' own series are laid out, stepped and drawn.
  ResetMonitorState();
  g_state.processorCount = 2;
  for (int step = 0; step < kHistoryPoints; ++step) DrawCpuHistory(page_, loads);
  const GraphLine two[] = {{5, 126, 128, 29, 29}, {141, 263, 265, 5, 5}};  // halves
  ExpectLines(cpu_, two, 2);
  EXPECT_TRUE(AllZero(g_state.cpuHistory[2]));

  ResetMonitorState();
  g_state.processorCount = 3;
  for (int step = 0; step < kHistoryPoints; ++step) DrawCpuHistory(page_, loads);
  const GraphLine three[] = {{2, 86, 87, 29, 29}, {93, 177, 178, 5, 5}, {184, 268, 269, 20, 20}};  // thirds
  ExpectLines(cpu_, three, 3);
  EXPECT_TRUE(AllZero(g_state.cpuHistory[3]));
}

TEST_F(HistoryPixels, NoControlNeitherDrawsNorAdvances) {
  const float loads[4] = {0.5f};
  DrawCpuHistory(nullptr, loads);
  DrawMemoryHistory(nullptr, 0.5f);
  DrawCpuHistory(cpu_, loads);  // a window without the graph control
  DrawMemoryHistory(cpu_, 0.5f);
  EXPECT_EQ(1u, g_state.cpuHistoryReset);
  EXPECT_EQ(1u, g_state.memHistoryReset);
  EXPECT_TRUE(AllZero(g_state.cpuHistory[0]));
  EXPECT_TRUE(AllZero(g_state.memHistory));
}

}  // namespace
