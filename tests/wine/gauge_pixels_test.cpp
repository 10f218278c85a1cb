// The load gauges drawn into the real Performance dialog, read back whole.
#include <gtest/gtest.h>

#include <cwchar>

#include "app/monitor_state.h"
#include "tests/wine/pixel_support.h"
#include "ui/performance/load_gauges.h"

namespace {

const uint32_t kBlack = 0x000000;
const uint32_t kTrough = 0x008000;
const uint32_t kLevel = 0x00FF00;
const UINT kFigureFormat = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;

struct Bar {
  RECT rect;
  int levelTop;
};

struct Figure {
  RECT rect;
  const wchar_t* text;
};

// The picture a gauge must show: black, troughs, levels (clipped at the
// control's edge), and each figure as DrawTextW paints it in its rectangle.
Picture ExpectedGauge(int width, int height, const Bar* bars, const Figure* figures, int count) {
  Picture picture = Plain(width, height, kBlack);
  for (int k = 0; k < count; ++k) {
    picture.Fill(bars[k].rect, kTrough);
    RECT level = bars[k].rect;
    level.top = bars[k].levelTop;
    picture.Fill(level, kLevel);
  }
  for (int k = 0; k < count; ++k) {
    const Picture text = RenderText(width, height, figures[k].text, figures[k].rect, kFigureFormat);
    EXPECT_GT(CountColour(text, figures[k].rect, kLevel), 0) << "no figure rendered";
    for (int y = figures[k].rect.top; y < figures[k].rect.bottom; ++y) {
      for (int x = figures[k].rect.left; x < figures[k].rect.right; ++x) picture.Set(x, y, text.At(x, y));
    }
  }
  return picture;
}

class GaugePixels : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    page_ = CreatePerformancePage();
    ASSERT_NE(nullptr, page_);
    ShowWindow(page_, SW_SHOWNOACTIVATE);  // a hidden window keeps no pixels
    cpu_ = GetDlgItem(page_, IDC_CPU_GAUGE);
    memory_ = GetDlgItem(page_, IDC_MEM_GAUGE);
    SetClientSize(cpu_, 87, 58);
  }
  void TearDown() override { DestroyWindow(page_); }

  void ExpectPicture(HWND control, const Bar* bars, const Figure* figures, int count) {
    const Picture actual = CaptureClient(control);
    const Difference difference =
        Compare(ExpectedGauge(actual.width, actual.height, bars, figures, count), actual);
    EXPECT_EQ(0, difference.count) << difference.first;
  }

  HWND page_ = nullptr;
  HWND cpu_ = nullptr;
  HWND memory_ = nullptr;
};

TEST_F(GaugePixels, OneProcessorBarLevelAndPercentFigure) {
  g_state.processorCount = 1;
  const float loads[4] = {0.25f, 0.9f, 0.9f, 0.9f};  // only the first is read
  DrawCpuGauge(page_, loads);
  const Bar bar = {{15, 5, 72, 33}, 26};
  const Figure figure = {{0, 38, 87, 58}, L"25.0%"};
  ExpectPicture(cpu_, &bar, &figure, 1);

  const float full[4] = {1.0f};
  DrawCpuGauge(page_, full);
  const Bar fullBar = {{15, 5, 72, 33}, 5};
  const Figure fullFigure = {{0, 38, 87, 58}, L"100.0%"};
  ExpectPicture(cpu_, &fullBar, &fullFigure, 1);
}

TEST_F(GaugePixels, TwoAndFourProcessorsWithWholeFigures) {
  g_state.processorCount = 4;
  const float loads[4] = {0.25f, 0.999f, 0.29f, 1.0f};
  DrawCpuGauge(page_, loads);
  const Bar four[] = {{{1, 4, 20, 43}, 34}, {{22, 4, 42, 43}, 5}, {{44, 4, 64, 43}, 32}, {{66, 4, 85, 43}, 4}};
  const Figure fourFigures[] = {{{0, 43, 21, 58}, L"25"},
                                {{21, 43, 43, 58}, L"99"},
                                {{43, 43, 65, 58}, L"28"},
                                {{65, 43, 87, 58}, L"100"}};
  ExpectPicture(cpu_, four, fourFigures, 4);

  // Not clamped: above 1.0 the level covers the margin up to the control's
  // edge and the figure passes 100; below 0 the level is empty and nothing
  // spills under the bar.
  g_state.processorCount = 2;
  const float outside[4] = {1.2f, -0.5f, 0.5f, 0.5f};
  DrawCpuGauge(page_, outside);
  const Bar two[] = {{{4, 4, 42, 43}, 43 - 46}, {{44, 4, 83, 43}, 43}};
  const Figure twoFigures[] = {{{0, 43, 43, 58}, L"120"}, {{43, 43, 87, 58}, L"-50"}};
  ExpectPicture(cpu_, two, twoFigures, 2);
}

TEST_F(GaugePixels, ThreeProcessorsClearToPlainBlack) {
  g_state.processorCount = 4;
  const float loads[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  DrawCpuGauge(page_, loads);  // something to clear
  g_state.processorCount = 3;
  DrawCpuGauge(page_, loads);
  ExpectPicture(cpu_, nullptr, nullptr, 0);
}

TEST_F(GaugePixels, MemoryGauge) {
  SetClientSize(memory_, 53, 65);
  DrawMemoryGauge(page_, 0.37f);
  const Bar bar = {{15, 5, 38, 40}, 40 - 12};  // 35 x 0.37 = 12.95
  const Figure figure = {{0, 45, 53, 65}, L"37.0%"};
  ExpectPicture(memory_, &bar, &figure, 1);
}

TEST_F(GaugePixels, NoControlNoDrawing) {
  g_state.processorCount = 1;
  const float loads[4] = {0.5f};
  DrawCpuGauge(page_, loads);
  DrawMemoryGauge(page_, 0.5f);
  const Picture cpuBefore = CaptureClient(cpu_);
  const Picture memoryBefore = CaptureClient(memory_);
  wcscpy(g_state.reportBuffer, L"untouched");

  DrawCpuGauge(nullptr, loads);
  DrawMemoryGauge(nullptr, 0.25f);
  DrawCpuGauge(cpu_, loads);  // a window without the gauge control
  DrawMemoryGauge(cpu_, 0.25f);

  EXPECT_STREQ(L"untouched", g_state.reportBuffer);  // no figure was even formatted
  EXPECT_EQ(0, Compare(cpuBefore, CaptureClient(cpu_)).count);
  EXPECT_EQ(0, Compare(memoryBefore, CaptureClient(memory_)).count);
}

}  // namespace
