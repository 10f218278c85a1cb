// The hardware status report of a sampling cycle, against the simulator and its variants.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/monitor_state.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/resource_manager_support.h"
#include "tests/wine/wine_support.h"

namespace {

std::wstring Formatted(const HardwareReadings& readings) {
  wchar_t text[kReportBufferChars];
  FormatHardwareStatus(readings, text, kReportBufferChars);
  return text;
}

// A page that the sampler sees as active.
HWND ActivePage() {
  HWND page = CreatePerformancePage();
  g_state.performancePage.store(page);
  return page;
}

void RunOneCycle(SamplerContext* context) {
  StartSampling(context);
  Sleep(20);
  RunSamplingCycle(context);
}

TEST(StatusReport, FieldShowsTheLibrarysReadingsOfTheCycle) {
  BindStandIn(L"libnvrm.dll");
  HWND page = ActivePage();
  ASSERT_NE(nullptr, page);
  SamplerContext context = {};
  // The simulation moves on between reads now and then: retry until a cycle
  // falls between two identical readings.
  bool steady = false;
  for (int attempt = 0; attempt < 5 && !steady; ++attempt) {
    const HardwareReadings before = ReadAll();
    RunOneCycle(&context);
    const HardwareReadings after = ReadAll();
    if (!SameReadings(before, after)) continue;
    steady = true;
    EXPECT_EQ(Formatted(before), ControlText(page, IDC_STATUS_TEXT));
    const ClockUsage& cpu = before.usage[kDomainCpu - 1];
    EXPECT_EQ(static_cast<float>(cpu.currentKhz) / static_cast<float>(cpu.highCornerKhz),
              g_state.frequencyScale.load());
  }
  EXPECT_TRUE(steady);
  DestroyWindow(page);
}

// "TModule=41°C      Tcpu=44°C" of the status text, as the two numbers.
bool TemperaturesShown(const std::wstring& status, int* module, int* cpu) {
  const size_t at = status.find(L"TModule=");
  return at != std::wstring::npos &&
         swscanf(status.c_str() + at, L"TModule=%d\u00B0C      Tcpu=%d\u00B0C", module, cpu) == 2;
}

TEST(StatusReport, TemperatureEchoOnlyWithOptionS) {
  BindStandIn(L"libnvrm.dll");
  HWND page = ActivePage();
  ASSERT_NE(nullptr, page);
  SamplerContext context = {};
  {
    StdoutCapture debugOutput(2);
    RunOneCycle(&context);
    EXPECT_EQ("", debugOutput.Text());
  }
  g_state.serialTemperature = 1;
  StdoutCapture debugOutput(2);
  RunSamplingCycle(&context);
  const std::string echo = debugOutput.Text();
  int module = 0, cpu = 0;
  ASSERT_TRUE(TemperaturesShown(ControlText(page, IDC_STATUS_TEXT), &module, &cpu));
  // Standard error is a text stream: its "\n" reaches the file as "\r\n".
  char expected[64];
  snprintf(expected, sizeof expected, "Tmod=%d, Tcpu=%d\r\n\r", module, cpu);
  EXPECT_EQ(expected, echo);
  EXPECT_GE(module, 20);  // a plausible module, not an unwritten 0
  DestroyWindow(page);
}

// Bands of pixel rows in which some pixel differs from the field's top-left one.
int TextLines(HWND field) {
  RECT client;
  GetClientRect(field, &client);
  HDC dc = GetDC(field);
  const COLORREF background = GetPixel(dc, 0, 0);
  int lines = 0;
  bool inLine = false;
  for (int y = 0; y < client.bottom; ++y) {
    bool ink = false;
    for (int x = 0; x < client.right && !ink; ++x) ink = GetPixel(dc, x, y) != background;
    lines += ink && !inLine;
    inLine = ink;
  }
  ReleaseDC(field, dc);
  return lines;
}

// Each group of the block starts its own line, as on the device: seven lines.
TEST(StatusReport, FieldDrawsEachGroupOnItsOwnLine) {
  BindStandIn(L"libnvrm.dll");
  HWND page = ActivePage();
  ASSERT_NE(nullptr, page);
  ShowWindow(page, SW_SHOW);
  SamplerContext context = {};
  RunOneCycle(&context);
  HWND field = GetDlgItem(page, IDC_STATUS_TEXT);
  UpdateWindow(field);
  EXPECT_EQ(7, TextLines(field));
  // The text itself stays exactly as formatted.
  EXPECT_NE(std::wstring::npos, ControlText(page, IDC_STATUS_TEXT).find(L" \t\t\t\t\t\t\t   AHB["));
  DestroyWindow(page);
}

// The record's CPU clock is the status block's of the same cycle.
TEST(StatusReport, RecordLinesShowTheCyclesFigures) {
  BindStandIn(L"libnvrm.dll");
  HWND page = ActivePage();
  ASSERT_NE(nullptr, page);
  g_state.recordFigures = 1;
  SamplerContext context = {};
  std::string output;
  std::vector<std::wstring> statuses;
  {
    StdoutCapture capture;
    StartSampling(&context);
    for (int cycle = 0; cycle < 5; ++cycle) {
      Sleep(20);
      RunSamplingCycle(&context);
      statuses.push_back(ControlText(page, IDC_STATUS_TEXT));
    }
    output = capture.Text();
  }
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = output.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(output.substr(at, end - at));
  }
  ASSERT_EQ(1 + statuses.size(), lines.size()) << output;
  EXPECT_EQ(0u, lines[0].find("seconds,cpu1_load_pct,"));
  const size_t clockColumn = 1 + 2 * g_state.processorCount;  // after the seconds and each processor's pair
  for (size_t cycle = 0; cycle < statuses.size(); ++cycle) {
    unsigned shown = 0;
    ASSERT_EQ(1, swscanf(statuses[cycle].c_str(), L"CPU[%uMhz]", &shown)) << cycle;
    std::string field = lines[cycle + 1];
    for (size_t column = 0; column < clockColumn; ++column) field = field.substr(field.find(',') + 1);
    EXPECT_EQ(std::to_string(shown), field.substr(0, field.find(','))) << lines[cycle + 1];
  }
  DestroyWindow(page);
}

// The whole program with /d: scaling stops at start-up and the CPU runs at the
// page's default target from the first report on.
TEST(StatusReport, ProgramWithOptionDShowsTheTargetClock) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L"/d"));
  HWND page = reinterpret_cast<HWND>(SendMessageW(monitor.sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_TRUE(IsChecked(page, IDC_DISABLE_DFS));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_DOMAIN_LIST)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_TARGET_MHZ)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_SET_TARGET)));
  Sleep(1500);
  EXPECT_EQ(0u, ControlText(page, IDC_STATUS_TEXT).find(L"CPU[1000Mhz]\r\n"));
  EXPECT_EQ(1.0f, g_state.frequencyScale.load());
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

}  // namespace
