// The whole program: the real exe with its options and the sheet as a user
// sees it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/support.h"

namespace {

std::wstring Monitor(const wchar_t* options) { return L"\"" + BinPath(L"selvane-monitor.exe") + L"\" " + options; }

// Starts `commandLine`, waits `ms` with its sheet up, closes it: its exit code and output.
struct Ran {
  DWORD exitCode = STILL_ACTIVE;
  std::string output;
  HWND sheet = nullptr;
};
template <typename WithSheet>
Ran RunFor(const std::wstring& commandLine, DWORD ms, bool errorToo, WithSheet withSheet) {
  Ran run;
  Child child;
  if (!child.Start(commandLine, errorToo)) return run;
  WaitUntil(
      [&] { return (run.sheet = FindWindowW(nullptr, SELVANE_CAPTION)) != nullptr && IsWindowVisible(run.sheet); },
      10000);
  Sleep(ms);
  withSheet(run.sheet);
  PostMessageW(run.sheet, WM_CLOSE, 0, 0);
  run.exitCode = child.Wait(10000);
  run.output = child.Output();
  return run;
}

const std::string kUsage =
    "Use the following params:\n\r/s: Enable output of temperature on serial output.\n\r"
    "/d: Disable DFS by default.\n\r/h: Show this text.\n\r";

// Each /h prints the usage text, byte for byte, and the sheet still opens.
TEST(Program, UsageTextOncePerRequest) {
#ifdef SELVANE_DEVICE
  GTEST_SKIP() << "standard output's line ends are the C run-time's: this build borrows the desktop's, which "
                  "translates them; the device's debug output carries the text byte for byte "
                  "(Program.WithoutStandardOutputEveryLineReachesTheDebugOutputWhole)";
#endif
  const Ran run = RunFor(Monitor(L"/h /H"), 0, false, [](HWND) {});
  ASSERT_NE(nullptr, run.sheet);
  EXPECT_EQ(kUsage + kUsage, run.output);
}

// Compact 2013 has no standard output: the usage text, the record's header
// and every record line reach the debug output whole, though one debug print
// takes fewer characters than a record line.
TEST(Program, WithoutStandardOutputEveryLineReachesTheDebugOutputWhole) {
#ifndef SELVANE_DEVICE
  GTEST_SKIP() << "the desktop has a console: its lines go to standard output only";
#endif
  SetStandinSettings("no-stdout");
  const Ran run = RunFor(Monitor(L"/h /l"), 2 * kSamplePeriodMs + 300, true, [](HWND) {});
  SetStandinSettings("");
  ASSERT_NE(nullptr, run.sheet);
  EXPECT_EQ(0u, run.exitCode);
  ASSERT_EQ(0u, run.output.find(kUsage)) << run.output;
  std::istringstream lines(run.output.substr(kUsage.size()));
  std::string header, line;
  ASSERT_TRUE(std::getline(lines, header));
  EXPECT_EQ(0u, header.find("seconds,cpu1_load_pct")) << header;
  int count = 0;
  for (; std::getline(lines, line); ++count) {
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), std::count(line.begin(), line.end(), ',')) << line;
    EXPECT_GT(line.size(), kDebugPieceChars) << "a line longer than one debug print";
    EXPECT_EQ('\r', line.back());
  }
  EXPECT_GE(count, 2);
}

// /s: each second "Tmod=N, Tcpu=N\n\r" on the debug output, which reaches
// standard error as 8-bit text.
TEST(Program, TemperatureEchoWithOptionS) {
  const Ran run = RunFor(Monitor(L"/s"), 2 * kSamplePeriodMs + 300, true, [](HWND) {});
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


// The record's lines keep the sampler's pace: a second apart (at most 1.5 on a busy machine).
void ExpectPace(const std::vector<std::string>& lines, size_t first) {
  for (size_t i = first + 1; i < lines.size(); ++i) {
    const double gap = std::stod(lines[i]) - std::stod(lines[i - 1]);
    EXPECT_TRUE(gap > 0.5 && gap < 1.5) << lines[i - 1] << "\n" << lines[i];
  }
}

// /lPATH: the record, a line of every figure each second, goes into the
// file, nothing to standard output. A
// store that refuses writes (Linux's full device) or a file that cannot be
// made (a missing folder) is one line, and the record goes on at its pace on
// standard output, the lines the store did not take included.
TEST(Program, RecordFileAndAStoreThatRefusesIt) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"selvane-record-" + std::to_wstring(GetCurrentProcessId()) + L".csv";
  Ran run = RunFor(Monitor((L"/l" + file + L" /s").c_str()), 4 * kSamplePeriodMs + 300, false, [](HWND) {});
  EXPECT_EQ("", run.output);
  const std::string written = FileText(file);
  DeleteFileW(file.c_str());
  std::vector<std::string> lines = Lines(written);
  ASSERT_GE(lines.size(), 4u) << written;
  EXPECT_EQ(0u, lines[0].find("seconds,cpu1_load_pct,"));
  EXPECT_EQ(static_cast<std::ptrdiff_t>(lines.size()), std::count(written.begin(), written.end(), '\r'));  // CR LF each
  for (const std::string& line : lines) {  // every field the header names, none empty with both stand-ins
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), std::count(line.begin(), line.end(), ',')) << line;
    EXPECT_EQ(std::string::npos, line.find(",,")) << line;
  }
  ExpectPace(lines, 1);

  const struct {
    const wchar_t* path;
    const char* said;
  } refusing[] = {{L"Z:\\dev\\full", "record: writing z:\\dev\\full failed (error 112); the record goes to standard output from here"},
                  {L"Z:\\selvane-no-such-folder\\run.csv", "record: cannot make z:\\selvane-no-such-folder\\run.csv (error 3)"}};
  for (const auto& store : refusing) {
    run = RunFor(Monitor((std::wstring(L"/l") + store.path).c_str()), 4 * kSamplePeriodMs + 300, false, [](HWND) {});
    lines = Lines(run.output);
    ASSERT_GE(lines.size(), 5u) << run.output;
    EXPECT_EQ(0u, lines[0].find(store.said)) << lines[0];
    EXPECT_EQ(0u, lines[1].find("seconds,cpu1_load_pct,"));
    ExpectPace(lines, 2);
  }
}

// The sheet as the program asks comctl32 for it: what decides its icon, its
// pages and its start page.
ImportPatch* g_sheetPatch;
PROPSHEETHEADERW g_header;
PROPSHEETPAGEW g_pages[2];
INT_PTR WINAPI RecordSheet(LPCPROPSHEETHEADERW header) {
  g_header = *header;
  for (UINT i = 0; i < header->nPages && i < 2; ++i) g_pages[i] = header->ppsp[i];
  return reinterpret_cast<decltype(&PropertySheetW)>(g_sheetPatch->Original())(header);
}

TEST(Program, PagesSteerTheSamplerAndTheIconsLiveWithTheSheet) {
  ImportPatch sheetPatch("PropertySheetW", reinterpret_cast<void*>(RecordSheet));
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
  for (const PROPSHEETPAGEW& page : g_pages)
    EXPECT_EQ(static_cast<DWORD>(PSP_DEFAULT), page.dwFlags);  // titles from the templates
  EXPECT_EQ(1u, g_state.serialTemperature);
  EXPECT_EQ(1u, g_state.dfsOffAtStart);
  HWND performance = monitor.Page();
  EXPECT_EQ(performance, LoadShared(g_state.performancePage));
  EXPECT_EQ(nullptr, LoadShared(g_state.processesPage));
  monitor.Select(0);
  EXPECT_EQ(monitor.Page(), LoadShared(g_state.processesPage));
  EXPECT_EQ(nullptr, LoadShared(g_state.performancePage));
  RECT page;  // both lists, scroll bars and all, inside the page the sheet sized
  GetClientRect(monitor.Page(), &page);
  for (int id : {IDC_PROCESS_LIST, IDC_THREAD_LIST}) {
    RECT list;
    GetWindowRect(GetDlgItem(monitor.Page(), id), &list);
    MapWindowPoints(nullptr, monitor.Page(), reinterpret_cast<POINT*>(&list), 2);
    EXPECT_TRUE(list.right <= page.right && list.bottom <= page.bottom) << id << ": " << list.right << " > " << page.right;
  }
  monitor.Select(1);
  EXPECT_EQ(performance, LoadShared(g_state.performancePage));
  EXPECT_EQ(nullptr, LoadShared(g_state.processesPage));
  for (HICON icon : g_state.icons) EXPECT_NE(nullptr, icon);  // icons 108 to 119
  EXPECT_EQ(0u, monitor.Close());
}

// Started without options, from a folder holding a library named like the
// resource manager: the topmost sheet on its Performance page, that library
// never run, nothing written and exit code 0 once closed.
TEST(Program, OpensTheTopmostSheetOnPerformanceAndNeverLoadsALibraryFromTheWorkingDirectory) {
  wchar_t temp[MAX_PATH], previous[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"selvane-planted-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring program = folder + L"\\program\\selvane-monitor.exe", work = folder + L"\\work";
  const std::wstring marker = work + L"\\planted-library-loaded.txt";
  for (const std::wstring& made : {folder, folder + L"\\program", work}) CreateDirectoryW(made.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(BinPath(L"selvane-monitor.exe").c_str(), program.c_str(), FALSE));
#ifdef SELVANE_DEVICE
  for (const wchar_t* system : {L"coredll.dll", L"toolhelp.dll"}) {  // the device's own, which it imports
    ASSERT_TRUE(CopyFileW(BinPath(system).c_str(), (folder + L"\\program\\" + system).c_str(), FALSE));
  }
#endif
#ifndef SELVANE_DEVICE  // the device has no working directory to search: nothing to plant there
  ASSERT_TRUE(CopyFileW(BinPath(L"..\\planted\\libnvrm.dll").c_str(), (work + L"\\libnvrm.dll").c_str(), FALSE));
#endif
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(work.c_str());                                            // the child's working directory
  const Ran run = RunFor(L"\"" + program + L"\"", 1500, false, [](HWND sheet) {  // past the first sample
    EXPECT_TRUE(GetWindowLongW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    EXPECT_EQ(2, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(1, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(L"Performance", WindowText(reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))));
  });
  SetCurrentDirectoryW(previous);
  ASSERT_NE(nullptr, run.sheet);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("", run.output);
#ifndef SELVANE_DEVICE  // the device's loader searches no working directory; the desktop's is restricted at start
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(marker.c_str())) << "the planted library ran";
#endif
  for (const std::wstring& file : {marker, work + L"\\libnvrm.dll", program, folder + L"\\program\\coredll.dll",
                                   folder + L"\\program\\toolhelp.dll"}) {
    DeleteFileW(file.c_str());
  }
  for (const std::wstring& made : {work, folder + L"\\program", folder}) RemoveDirectoryW(made.c_str());
}

}  // namespace
