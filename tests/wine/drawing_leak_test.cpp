// No drawing call leaks a GDI object or a DC, shown by exhaustion.
//
// GetGuiResources is a stub in Wine, so the GDI handle table is filled with
// ballast until only kHeadroom entries are free. A call that leaked even one
// object would then empty the table within kHeadroom calls, long before
// kCalls; every later brush, pen or DC would fail, and the last picture, drawn
// from inputs unlike the earlier ones, would be wrong.
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

// Brushes that hold all but `headroom` entries of the GDI handle table.
class Ballast {
 public:
  explicit Ballast(int headroom) {
    for (HBRUSH brush; (brush = CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) held_.push_back(brush);
    capacity_ = static_cast<int>(held_.size());
    for (int i = 0; i < headroom && !held_.empty(); ++i) {
      DeleteObject(held_.back());
      held_.pop_back();
    }
  }
  ~Ballast() { Release(); }
  void Release() {
    for (HBRUSH brush : held_) DeleteObject(brush);
    held_.clear();
  }
  int capacity() const { return capacity_; }

 private:
  std::vector<HBRUSH> held_;
  int capacity_ = 0;
};

class DrawingLeak : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    page_ = CreatePerformancePage();
    ASSERT_NE(nullptr, page_);
    ShowWindow(page_, SW_SHOWNOACTIVATE);
  }
  void TearDown() override { DestroyWindow(page_); }

  // Runs `call(i)` kCalls times against the ballast and reports the time.
  template <typename Call>
  void Exhaust(const char* name, Call call) {
    Ballast ballast(kHeadroom);
    ASSERT_GT(ballast.capacity(), kHeadroom);  // the table really was filled
    const DWORD start = GetTickCount();
    for (int i = 0; i < kCalls; ++i) call(i);
    const DWORD elapsed = GetTickCount() - start;
    ballast.Release();
    printf("%s: %d calls in %lu ms with %d of %d GDI handles free\n", name, kCalls,
           static_cast<unsigned long>(elapsed), kHeadroom, ballast.capacity());
    RecordProperty("calls", kCalls);
    RecordProperty("milliseconds", static_cast<int>(elapsed));
  }

  HWND Control(int id, int width, int height) {
    HWND control = GetDlgItem(page_, id);
    SetClientSize(control, width, height);
    return control;
  }

  HWND page_ = nullptr;
};

bool Last(int i) { return i == kCalls - 1; }

// The functions that take a DC draw only their part: the test clears the rest.
void ClearToBlack(HWND control, HDC dc) {
  RECT client;
  GetClientRect(control, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

TEST_F(DrawingLeak, CpuGauge) {
  HWND control = Control(IDC_CPU_GAUGE, 87, 58);
  g_state.processorCount = 4;
  const float steady[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  const float last[4] = {0.25f, 0.999f, 0.29f, 1.0f};
  Exhaust("DrawCpuGauge", [&](int i) { DrawCpuGauge(page_, Last(i) ? last : steady); });
  const GaugeBar bars[] = {{{1, 4, 20, 43}, 34}, {{22, 4, 42, 43}, 5}, {{44, 4, 64, 43}, 32}, {{66, 4, 85, 43}, 4}};
  const GaugeFigure figures[] = {{{0, 43, 21, 58}, L"25"},
                                 {{21, 43, 43, 58}, L"99"},
                                 {{43, 43, 65, 58}, L"28"},
                                 {{65, 43, 87, 58}, L"100"}};
  ExpectGauge(control, bars, figures, 4);
}

TEST_F(DrawingLeak, MemoryGauge) {
  HWND control = Control(IDC_MEM_GAUGE, 87, 58);
  Exhaust("DrawMemoryGauge", [&](int i) { DrawMemoryGauge(page_, Last(i) ? 0.25f : 0.5f); });
  const GaugeBar bar = {{15, 5, 72, 33}, 26};
  const GaugeFigure figure = {{0, 38, 87, 58}, L"25.0%"};
  ExpectGauge(control, &bar, &figure, 1);
}

TEST_F(DrawingLeak, GaugeBar) {
  HWND control = Control(IDC_MEM_GAUGE, 87, 58);
  HDC dc = GetDC(control);
  ClearToBlack(control, dc);
  HBRUSH level = CreateSolidBrush(RGB(0, 255, 0));
  HBRUSH trough = CreateSolidBrush(RGB(0, 128, 0));
  const RECT bar = {15, 5, 72, 33};
  Exhaust("DrawGaugeBar", [&](int i) { DrawGaugeBar(dc, bar, Last(i) ? 0.25f : 0.5f, level, trough); });
  DeleteObject(level);
  DeleteObject(trough);
  ReleaseDC(control, dc);
  Picture expected = Plain(87, 58, kPixelBlack);
  expected.Fill(bar, kPixelTrough);
  expected.Fill({15, 26, 72, 33}, kPixelGreen);
  const Difference difference = Compare(expected, CaptureClient(control));
  EXPECT_EQ(0, difference.count) << difference.first;
}

TEST_F(DrawingLeak, CpuHistory) {
  HWND control = Control(IDC_CPU_HISTORY, 273, 58);
  g_state.processorCount = 4;
  const float steady[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  const float last[4] = {1.0f, 0.0f, 1.0f, 0.0f};
  Exhaust("DrawCpuHistory", [&](int i) { DrawCpuHistory(page_, Last(i) ? last : steady); });
  const GraphLine lines[] = {{2, 63, 64, 29, 5}, {70, 131, 132, 29, 53}, {138, 199, 200, 29, 5},
                             {206, 268, 269, 29, 53}};
  ExpectLines(CaptureClient(control), lines, 4);
}

TEST_F(DrawingLeak, MemoryHistory) {
  HWND control = Control(IDC_MEM_HISTORY, 100, 45);
  Exhaust("DrawMemoryHistory", [&](int i) { DrawMemoryHistory(page_, Last(i) ? 1.0f : 0.5f); });
  const GraphLine line = {5, 92, 93, 23, 5};
  ExpectLines(CaptureClient(control), &line, 1);
}

TEST_F(DrawingLeak, HistoryLine) {
  HWND control = Control(IDC_MEM_HISTORY, 100, 45);
  HistorySeries steady = {};
  for (int j = 0; j < kHistoryPoints; ++j) steady.points[j] = {5 + j, 30};
  HistorySeries last = steady;
  last.points[kHistoryPoints - 1].y = 10;
  HDC dc = GetDC(control);
  ClearToBlack(control, dc);
  Exhaust("DrawHistoryLine", [&](int i) { DrawHistoryLine(dc, Last(i) ? &last : &steady); });
  ReleaseDC(control, dc);
  // Both pictures overlap, so the last one shows as its rising end.
  const GraphLine line = {5, 63, 64, 30, 10};
  ExpectLines(CaptureClient(control), &line, 1);
}

}  // namespace
