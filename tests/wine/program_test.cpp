// The whole program: the real exe, and the same code run inside the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/monitor_state.h"
#include "app/options.h"
#include "tests/wine/wine_support.h"

namespace {

std::wstring MonitorCommand(const wchar_t* options) {
  return L"\"" + BinPath(L"selvane-monitor.exe") + L"\" " + options;
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

TEST(Program, OpensTopmostSheetOnPerformanceAndExitsWithZero) {
  ChildProcess child;
  ASSERT_TRUE(StartChild(MonitorCommand(L""), nullptr, &child));
  HWND sheet = WaitForWindow(child.processId, SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  EXPECT_EQ(nullptr, GetParent(sheet));
  EXPECT_TRUE(GetWindowLongW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST);

  HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
  ASSERT_NE(nullptr, tabs);
  EXPECT_EQ(2, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  EXPECT_EQ(1, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
  EXPECT_EQ(L"Performance", WindowText(CurrentPage(sheet)));

  // After the first samples the physical-memory totals are live.
  Sleep(2200);
  HWND performance = CurrentPage(sheet);
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  EXPECT_EQ(std::to_wstring(status.dwTotalPhys), WindowText(GetDlgItem(performance, IDC_PHYS_TOTAL)));
  EXPECT_NE(L"0", WindowText(GetDlgItem(performance, IDC_PHYS_AVAILABLE)));

  SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
  EXPECT_EQ(L"Processes", WindowText(CurrentPage(sheet)));

  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, WaitChild(&child, 10000));
  EXPECT_EQ("", ReadChildOutput(&child));
  EndChild(&child);
}

TEST(Program, UsagePrintedExactlyPerRequestAndTheSheetStillOpens) {
  ChildProcess child;
  ASSERT_TRUE(StartChild(MonitorCommand(L"/h /H"), nullptr, &child));
  HWND sheet = WaitForWindow(child.processId, SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, WaitChild(&child, 10000));
  EXPECT_EQ(std::string(kUsageText) + kUsageText, ReadChildOutput(&child));
  EndChild(&child);
}

// The device's debug print reaches standard error as bytes: each echo is
// "Tmod=N, Tcpu=N\n\r" exactly, in 8-bit text.
TEST(Program, TemperatureEchoReachesStandardErrorAsBytes) {
  ChildProcess child;
  ASSERT_TRUE(StartChild(MonitorCommand(L"/s"), nullptr, &child, true));
  HWND sheet = WaitForWindow(child.processId, SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  Sleep(2 * kSamplePeriodMs + 300);
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, WaitChild(&child, 10000));
  const std::string output = ReadChildOutput(&child);
  EndChild(&child);
  size_t echoes = 0;
  for (size_t at = 0; at < output.size(); ++echoes) {
    int module = 0, cpu = 0, used = 0;
    ASSERT_EQ(2, sscanf(output.c_str() + at, "Tmod=%d, Tcpu=%d%n", &module, &cpu, &used)) << output.substr(at);
    at += static_cast<size_t>(used);
    ASSERT_EQ("\n\r", output.substr(at, 2));
    at += 2;
    EXPECT_GE(module, 20);
  }
  EXPECT_GE(echoes, 2u);
}

// /l: a header and a line of figures each cycle on standard output, each
// line whole and with as many fields as the header names.
TEST(Program, RecordModeWritesALineEachSecond) {
  ChildProcess child;
  ASSERT_TRUE(StartChild(MonitorCommand(L"/l"), nullptr, &child));
  HWND sheet = WaitForWindow(child.processId, SELVANE_CAPTION, 10000);
  ASSERT_NE(nullptr, sheet);
  Sleep(10 * kSamplePeriodMs + 300);
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, WaitChild(&child, 10000));
  const std::string output = ReadChildOutput(&child);
  EndChild(&child);
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = output.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(output.substr(at, end - at));
  }
  ASSERT_GE(lines.size(), 10u) << output;  // the header and about ten cycles
  EXPECT_LE(lines.size(), 12u) << output;
  EXPECT_EQ(0u, lines[0].find("seconds,"));
  const auto fields = [](const std::string& line) { return std::count(line.begin(), line.end(), ','); };
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(fields(lines[0]), fields(lines[i])) << lines[i];
    EXPECT_EQ(std::string::npos, lines[i].find(",,")) << "with both stand-ins every figure is known: " << lines[i];
  }
}

TEST(Program, PageActivationSteersTheSampler) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L"/s/d"));
  EXPECT_EQ(1u, g_state.serialTemperature);
  EXPECT_EQ(1u, g_state.dfsOffAtStart);

  HWND performance = CurrentPage(monitor.sheet);
  EXPECT_EQ(performance, g_state.performancePage.load());
  EXPECT_EQ(nullptr, g_state.processesPage.load());

  SendMessageW(monitor.sheet, PSM_SETCURSEL, 0, 0);
  HWND processes = CurrentPage(monitor.sheet);
  EXPECT_NE(performance, processes);
  EXPECT_EQ(processes, g_state.processesPage.load());
  EXPECT_EQ(nullptr, g_state.performancePage.load());

  SendMessageW(monitor.sheet, PSM_SETCURSEL, 1, 0);
  EXPECT_EQ(performance, g_state.performancePage.load());
  EXPECT_EQ(nullptr, g_state.processesPage.load());

  // Icons 108..119 are loaded for the life of the sheet.
  for (HICON icon : g_state.icons) EXPECT_NE(nullptr, icon);
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

}  // namespace
