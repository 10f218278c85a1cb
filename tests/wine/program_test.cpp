// The whole program: the real exe with its options, the sheet as a user sees
// it, and its pages as their templates make them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/support.h"

namespace {

std::wstring Monitor(const wchar_t* options) { return L"\"" + BinPath(L"selvane-monitor.exe") + L"\" " + options; }

// Starts the exe, waits `ms` with its sheet up, closes it: its exit code and output.
struct Ran {
  DWORD exitCode = STILL_ACTIVE;
  std::string output;
  HWND sheet = nullptr;
};
template <typename WithSheet>
Ran RunFor(const wchar_t* options, DWORD ms, bool errorToo, WithSheet withSheet) {
  Ran run;
  Child child;
  if (!child.Start(Monitor(options), errorToo)) return run;
  WaitUntil([&] { return (run.sheet = FindWindowW(nullptr, SELVANE_CAPTION)) != nullptr && IsWindowVisible(run.sheet); },
            10000);
  Sleep(ms);
  withSheet(run.sheet);
  PostMessageW(run.sheet, WM_CLOSE, 0, 0);
  run.exitCode = child.Wait(10000);
  run.output = child.Output();
  return run;
}

std::vector<std::string> Lines(const std::string& text, const char* end) {
  std::vector<std::string> lines;
  for (size_t at = 0, found; (found = text.find(end, at)) != std::string::npos; at = found + 2) {
    lines.push_back(text.substr(at, found - at));
  }
  return lines;
}

TEST(Program, OpensTheTopmostSheetOnPerformanceAndExitsWithZero) {
  const Ran run = RunFor(L"", 300, false, [](HWND sheet) {
    EXPECT_TRUE(GetWindowLongW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(nullptr, GetParent(sheet));
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    EXPECT_EQ(2, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(1, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(L"Performance", WindowText(reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))));
  });
  ASSERT_NE(nullptr, run.sheet);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("", run.output);
}

// Each /h prints the usage text, byte for byte, and the sheet still opens.
TEST(Program, UsageTextOncePerRequest) {
  const std::string usage =
      "Use the following params:\n\r/s: Enable output of temperature on serial output.\n\r"
      "/d: Disable DFS by default.\n\r/h: Show this text.\n\r";
  const Ran run = RunFor(L"/h /H", 0, false, [](HWND) {});
  ASSERT_NE(nullptr, run.sheet);
  EXPECT_EQ(usage + usage, run.output);
}

// /s: each second "Tmod=N, Tcpu=N\n\r" on the debug output, which reaches
// standard error as 8-bit text.
TEST(Program, TemperatureEchoWithOptionS) {
  const Ran run = RunFor(L"/s", 2 * kSamplePeriodMs + 300, true, [](HWND) {});
  size_t echoes = 0;
  for (size_t at = 0; at < run.output.size(); ++echoes) {
    int module = 0, cpu = 0, used = 0;
    ASSERT_EQ(2, sscanf(run.output.c_str() + at, "Tmod=%d, Tcpu=%d%n", &module, &cpu, &used)) << run.output;
    at += static_cast<size_t>(used);
    ASSERT_EQ("\n\r", run.output.substr(at, 2));
    at += 2;
    EXPECT_GE(module, 20);
  }
  EXPECT_GE(echoes, 2u);
}

// /l: a header, then a line of every figure each second, as many fields as
// the header names, none empty with both stand-ins.
TEST(Program, RecordModeWritesALineEachSecond) {
  const Ran run = RunFor(L"/l", 10 * kSamplePeriodMs + 300, false, [](HWND) {});
  const std::vector<std::string> lines = Lines(run.output, "\r\n");
  ASSERT_GE(lines.size(), 10u) << run.output;
  EXPECT_LE(lines.size(), 12u);
  EXPECT_EQ(0u, lines[0].find("seconds,cpu1_load_pct,"));
  for (const std::string& line : lines) {
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), std::count(line.begin(), line.end(), ',')) << line;
    EXPECT_EQ(std::string::npos, line.find(",,")) << line;
  }
}

// The sheet as the program asks comctl32 for it: what decides its icon, its
// pages and its start page.
extern "C" void* g_importPropertySheetW __asm__(IMPORT_SLOT(PropertySheetW, 4));
ImportPatch* g_sheetPatch;
PROPSHEETHEADERW g_header;
PROPSHEETPAGEW g_pages[2];
INT_PTR WINAPI RecordSheet(LPCPROPSHEETHEADERW header) {
  g_header = *header;
  for (UINT i = 0; i < header->nPages && i < 2; ++i) g_pages[i] = header->ppsp[i];
  return reinterpret_cast<decltype(&PropertySheetW)>(g_sheetPatch->Original())(header);
}

TEST(Program, PagesSteerTheSamplerAndTheIconsLiveWithTheSheet) {
  ImportPatch sheetPatch(&g_importPropertySheetW, reinterpret_cast<void*>(RecordSheet));
  g_sheetPatch = &sheetPatch;
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start(L"/s/d"));
  EXPECT_EQ(static_cast<DWORD>(PSH_USECALLBACK | PSH_PROPSHEETPAGE | PSH_USEICONID), g_header.dwFlags);
  EXPECT_EQ(nullptr, g_header.hwndParent);
  EXPECT_EQ(MAKEINTRESOURCEW(IDI_MONITOR), g_header.pszIcon);
  EXPECT_NE(nullptr, LoadIconW(g_header.hInstance, g_header.pszIcon));
  EXPECT_EQ(std::wstring(SELVANE_CAPTION), g_header.pszCaption);
  ASSERT_EQ(2u, g_header.nPages);
  EXPECT_EQ(1u, g_header.nStartPage);
  EXPECT_EQ(MAKEINTRESOURCEW(IDD_PROCESSES), g_pages[0].pszTemplate);
  EXPECT_EQ(MAKEINTRESOURCEW(IDD_PERFORMANCE), g_pages[1].pszTemplate);
  for (const PROPSHEETPAGEW& page : g_pages) EXPECT_EQ(static_cast<DWORD>(PSP_DEFAULT), page.dwFlags);  // titles from the templates
  EXPECT_EQ(1u, g_state.serialTemperature);
  EXPECT_EQ(1u, g_state.dfsOffAtStart);
  HWND performance = monitor.Page();
  EXPECT_EQ(performance, g_state.performancePage.load());
  EXPECT_EQ(nullptr, g_state.processesPage.load());
  monitor.Select(0);
  EXPECT_EQ(monitor.Page(), g_state.processesPage.load());
  EXPECT_EQ(nullptr, g_state.performancePage.load());
  monitor.Select(1);
  EXPECT_EQ(performance, g_state.performancePage.load());
  EXPECT_EQ(nullptr, g_state.processesPage.load());
  for (HICON icon : g_state.icons) EXPECT_NE(nullptr, icon);  // icons 108 to 119
  EXPECT_EQ(0u, monitor.Close());
}

// ---- The pages as their templates make them: each control's id, class,
// text, place (dialog units) and the styles that make its look ----

struct Control {
  int id;
  const wchar_t* className;
  const wchar_t* text;
  RECT place;  // x, y, cx, cy
  DWORD style, exStyle;
};

void ExpectControls(HWND page, const std::vector<Control>& expected) {
  size_t i = 0;
  for (HWND child = GetWindow(page, GW_CHILD); child != nullptr && i < expected.size();
       child = GetWindow(child, GW_HWNDNEXT), ++i) {
    const Control& e = expected[i];
    SCOPED_TRACE(i + 1);
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    EXPECT_EQ(e.id, GetDlgCtrlID(child));
    EXPECT_EQ(0, _wcsicmp(e.className, className)) << className;
    if (e.id != IDC_STATUS_TEXT) {
      EXPECT_EQ(e.text, WindowText(child));
    }
    RECT origin = {e.place.left, e.place.top, e.place.right, e.place.bottom}, actual;  // a place and a size,
    MapDialogRect(page, &origin);                                                      // each mapped on its own
    const RECT place = {origin.left, origin.top, origin.left + origin.right, origin.top + origin.bottom};
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&actual), 2);
    const bool widened = e.id == IDC_PHYS_TOTAL || e.id == IDC_PHYS_AVAILABLE;  // the desktop's byte counts
    EXPECT_EQ(place.right, actual.right);
    EXPECT_EQ(place.top, actual.top);
    if (!widened) {
      EXPECT_EQ(place.left, actual.left);
    }
    if (e.id != IDC_DOMAIN_LIST) {  // a combo box's height takes its list
      EXPECT_EQ(place.bottom, actual.bottom);
    }
    // Controls turn WS_BORDER into a client edge; a combo box hands WS_VSCROLL to its list.
    const DWORD kept = e.style & ~(WS_VISIBLE | WS_BORDER | WS_VSCROLL);
    EXPECT_EQ(kept, GetWindowLongW(child, GWL_STYLE) & kept);
    EXPECT_EQ(e.exStyle, GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  }
  EXPECT_EQ(expected.size(), i);
}

TEST(Pages, PerformanceAsDesigned) {
  BindPlatform();
  HWND page = ShowPerformancePage();
  EXPECT_EQ(L"Performance", WindowText(page));
  const int none = 0xFFFF;
  ExpectControls(page, {{1024, L"Static", L"", {13, 18, 56, 36}, 0x50000000, 0x200},
                        {1022, L"Static", L"", {88, 19, 182, 36}, 0x50000000, 0x200},
                        {1025, L"Static", L"", {13, 72, 32, 40}, 0x50000000, 0x200},
                        {1023, L"Static", L"", {60, 72, 210, 40}, 0x50000000, 0x200},
                        {none, L"Static", L"Processes", {13, 136, 42, 10}, 0x50020000, 0},
                        {1043, L"Static", L"0", {86, 136, 42, 10}, 0x50020002, 0},
                        {none, L"Static", L"Threads", {13, 149, 42, 10}, 0x50020000, 0},
                        {1044, L"Static", L"0", {86, 148, 42, 10}, 0x50020002, 0},
                        {none, L"Static", L"Total", {147, 137, 42, 10}, 0x50020000, 0},
                        {1045, L"Static", L"0", {220, 137, 42, 10}, 0x50020002, 0},
                        {none, L"Static", L"Available", {147, 150, 42, 10}, 0x50020000, 0},
                        {1046, L"Static", L"0", {220, 150, 42, 10}, 0x50020002, 0},
                        {none, L"Button", L"MEM Usage History", {55, 60, 222, 58}, 0x50000007, 0},
                        {none, L"Button", L"CPU Usage", {5, 8, 70, 51}, 0x50000007, 0},
                        {none, L"Button", L"CPU Usage History", {81, 8, 195, 51}, 0x50000007, 0},
                        {none, L"Button", L"MEM Usage", {7, 60, 43, 58}, 0x50000007, 0},
                        {1036, L"Button", L"Totals", {7, 126, 128, 38}, 0x50000007, 0},
                        {1037, L"Button", L"Physical Memory", {139, 126, 138, 38}, 0x50000007, 0},
                        {4001, L"Static", L"", {8, 180, 180, 60}, 0x50020000, 0},
                        {4002, L"Button", L"Disable DFS", {192, 168, 64, 10}, 0x50010003, 0},
                        {4003, L"Button", L"Set", {240, 204, 34, 14}, 0x50010000, 0},
                        {4004, L"ComboBox", L"CPU", {192, 184, 48, 40}, 0x50A10003, 0},
                        {4005, L"Edit", L"1000", {192, 204, 40, 12}, 0x50810080, 0x200}});
  DestroyWindow(page);
}

TEST(Pages, ProcessesAsDesigned) {
  BindPlatform();
  ProcessesPage page;
  EXPECT_EQ(L"Processes", WindowText(page.Page()));
  ExpectControls(page.Page(), {{1023, L"SysListView32", L"List1", {7, 17, 319, 140}, 0x50810001, 0x200},
                               {1024, L"SysListView32", L"List1", {7, 173, 319, 61}, 0x50810001, 0x200},
                               {0xFFFF, L"Static", L"Processes:", {7, 7, 92, 11}, 0x50020000, 0},
                               {0xFFFF, L"Static", L"Threads", {7, 162, 92, 11}, 0x50020000, 0}});
}

}  // namespace
