// The Performance page: the gauges' and graphs' pixels, the pictures they
// keep, the totals and the frequency-scaling controls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/resource_manager.h"
#include "sampler/status_format.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/support.h"
#include "ui/performance/load_gauges.h"

namespace {

class Pixels : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    page_ = ShowPerformancePage();
    ASSERT_NE(nullptr, page_);
    SizeGraphs(page_);
  }
  void TearDown() override { DestroyWindow(page_); }
  HWND page_ = nullptr;
};

TEST_F(Pixels, GaugesByProcessorCountAndTheMemoryGauge) {
  HWND cpu = GetDlgItem(page_, IDC_CPU_GAUGE);
  const float loads[4] = {0.25f, 0.999f, 0.29f, 1.0f};
  DrawCpuGauge(page_, loads);
  ExpectGauge(cpu, {{{15, 5, 72, 33}, 26, {0, 38, 87, 58}, L"25.0%"}});

  g_state.processorCount = 4;
  DrawCpuGauge(page_, loads);
  ExpectGauge(cpu, {{{1, 4, 20, 43}, 34, {0, 43, 21, 58}, L"25"},
                    {{22, 4, 42, 43}, 5, {21, 43, 43, 58}, L"99"},
                    {{44, 4, 64, 43}, 32, {43, 43, 65, 58}, L"28"},
                    {{66, 4, 85, 43}, 4, {65, 43, 87, 58}, L"100"}});
  g_state.processorCount = 3;  // no layout: plain black
  DrawCpuGauge(page_, loads);
  ExpectGauge(cpu, {});

  // Not clamped: above 1.0 the level covers the margin up to the control's
  // edge and the figure passes 100; below 0 the level is empty.
  g_state.processorCount = 2;
  const float outside[4] = {1.2f, -0.5f};
  DrawCpuGauge(page_, outside);
  ExpectGauge(cpu, {{{4, 4, 42, 43}, 43 - 46, {0, 43, 43, 58}, L"120"}, {{44, 4, 83, 43}, 43, {43, 43, 87, 58}, L"-50"}});

  HWND memory = GetDlgItem(page_, IDC_MEM_GAUGE);
  DrawMemoryGauge(page_, 0.37f);
  ExpectGauge(memory, {{{15, 5, 38, 40}, 40 - 12, {0, 45, 53, 65}, L"37.0%"}});  // 35 x 0.37 = 12.95
}

TEST_F(Pixels, HistoriesByProcessorCountAndTheMemoryHistory) {
  HWND cpu = GetDlgItem(page_, IDC_CPU_HISTORY);
  g_state.processorCount = 4;
  const float loads[4] = {0.5f, 1.0f, 0.7f, 0.7f};
  DrawCpuHistory(page_, loads);
  // Areas (2, 5, 66, 53), (70, 5, 134, 53), (138, 5, 202, 53), (206, 5, 271, 53).
  ExpectLines(cpu, {{2, 63, 64, 53, 29}, {70, 131, 132, 53, 5}, {138, 199, 200, 53, 20}, {206, 268, 269, 53, 20}});

  // Only the processors' own series are laid out, stepped and drawn.
  for (uint32_t processors : {2u, 3u}) {
    ResetMonitorState();
    g_state.processorCount = processors;
    for (int step = 0; step < kHistoryPoints; ++step) DrawCpuHistory(page_, loads);
    const HistorySeries untouched = {};
    EXPECT_EQ(0, std::memcmp(&untouched, &g_state.cpuHistory[processors], sizeof untouched));
  }
  ExpectLines(cpu, {{2, 86, 87, 29, 29}, {93, 177, 178, 5, 5}, {184, 268, 269, 20, 20}});  // thirds

  HWND memory = GetDlgItem(page_, IDC_MEM_HISTORY);
  DrawMemoryHistory(page_, 0.5f);
  ExpectLines(memory, {{5, 92, 93, 40, 23}});  // flat on the bottom to x 92, rising to 23 (35 x 0.5 = 17.5)
  // The layout is kept: a resized control changes no x position.
  SetClientSize(memory, 200, 45);
  for (int step = 0; step < kHistoryPoints; ++step) DrawMemoryHistory(page_, 1.0f);
  ExpectLines(memory, {{5, 92, 93, 5, 5}});
}

// Before the first cycle every control is black; only the active page is
// painted; its first cycle lays the graphs out.
TEST_F(Pixels, TheCyclePaintsTheActivePage) {
  RedrawWindow(page_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  for (int id : kGraphIds) ExpectGauge(GetDlgItem(page_, id), {});  // no bar: all black
  SamplerContext context = {};
  StartSampling(&context);
  Sleep(50);
  RunSamplingCycle(&context);
  EXPECT_EQ(0u, g_state.pictures.drawn);
  StoreShared(&g_state.performancePage, page_);
  Sleep(50);
  RunSamplingCycle(&context);
  EXPECT_EQ((1u << kGraphCount) - 1, g_state.pictures.drawn);
  // Each graph starts flat along its area's bottom, 5 above the client's.
  for (int id : {IDC_CPU_HISTORY, IDC_MEM_HISTORY}) {
    const Picture graph = CaptureClient(GetDlgItem(page_, id));
    EXPECT_EQ(10, graph.Count({5, graph.height - 5, 15, graph.height - 4}, kPixelGreen)) << id;
  }
  const Picture gauge = CaptureClient(GetDlgItem(page_, IDC_MEM_GAUGE));
  EXPECT_GT(gauge.Count({0, 0, gauge.width, gauge.height}, kPixelTrough), 0);
}

// ---- The running monitor: pictures kept for repaints, totals ----

uint32_t Generation() { return PictureGeneration(&g_stateLock, &g_state.pictures); }

// The controls show what they showed before `disturb` once it has been
// handled, `tries` times; a try in which a cycle drew anew does not count.
// A loaded host may take its time to repaint: the pictures are looked at
// until they are back or the next cycle draws (then the try does not count),
// so a control left empty until the next drawing still fails.
template <typename Disturb>
void ExpectPicturesKept(InProcessMonitor* monitor, int tries, Disturb disturb) {
  int counted = 0;
  for (int attempt = 0; counted < tries && attempt < 3 * tries; ++attempt) {
    const uint32_t drawn = Generation();
    WaitUntil([&] { return Generation() != drawn; }, 3 * kSamplePeriodMs);
    Sleep(30);  // right after a drawing: the next is most of a period away
    const auto pictures = [&](uint32_t g) { return CaptureClient(GetDlgItem(monitor->Page(), kGraphIds[g])).pixels; };
    std::vector<uint32_t> before[kGraphCount], after[kGraphCount];
    for (uint32_t g = 0; g < kGraphCount; ++g) before[g] = pictures(g);
    const uint32_t generation = Generation();
    disturb();
    WaitUntil([&] {
      for (uint32_t g = 0; g < kGraphCount; ++g) after[g] = pictures(g);
      return Generation() != generation || std::equal(before, before + kGraphCount, after);
    }, 3 * kSamplePeriodMs);
    if (Generation() != generation) continue;  // a cycle drew anew meanwhile
    ++counted;
    for (uint32_t g = 0; g < kGraphCount; ++g) EXPECT_EQ(before[g], after[g]) << kGraphIds[g];
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_EQ(tries, counted);
}

std::pair<uint32_t, uint32_t> ToolhelpCounts() {
  uint32_t processes = 0, threads = 0;
#ifdef SELVANE_DEVICE  // the device's toolhelp: wide records by the plain names
  typedef PROCESSENTRY32 Entry;
  BOOL(WINAPI* const first)(HANDLE, Entry*) = Process32First;
  BOOL(WINAPI* const next)(HANDLE, Entry*) = Process32Next;
  BOOL(WINAPI* const close)(HANDLE) = CloseToolhelp32Snapshot;
#else
  typedef PROCESSENTRY32W Entry;
  BOOL(WINAPI* const first)(HANDLE, Entry*) = Process32FirstW;
  BOOL(WINAPI* const next)(HANDLE, Entry*) = Process32NextW;
  BOOL(WINAPI* const close)(HANDLE) = CloseHandle;
#endif
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  Entry entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry)) {
    ++processes;
    threads += entry.cntThreads;
  }
  close(snapshot);
  return {processes, threads};
}

std::pair<uint32_t, uint32_t> ShownCounts(HWND page) {
  return {static_cast<uint32_t>(std::stoul(ControlText(page, IDC_PROCESS_TOTAL))),
          static_cast<uint32_t>(std::stoul(ControlText(page, IDC_THREAD_TOTAL)))};
}

// From the start, without the Processes page ever opened, the totals are the
// running processes and threads within two cycles of any change (the byte
// counts: RealCycle). The graphic controls keep their
// pictures over page switches and uncovering. The Processes page then lists
// the live processes.
TEST(RunningMonitor, TotalsFromTheStartPicturesKeptThenTheLiveProcessList) {
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start(L""));
  HWND page = monitor.Page();
  const auto running = [&] { return WaitUntil([&] { return ShownCounts(page) == ToolhelpCounts(); }, 2500); };
  EXPECT_TRUE(running());
  const uint32_t before = ShownCounts(page).first;
  {
    Helper helper;
    ASSERT_TRUE(helper.Start(L"threads 3"));
    EXPECT_TRUE(running());
    EXPECT_EQ(before + 1, ShownCounts(page).first);
  }
  EXPECT_TRUE(running());
  EXPECT_EQ(before, ShownCounts(page).first);
  ExpectPicturesKept(&monitor, 10, [&] {
    monitor.Select(0);
    Sleep(100);
    monitor.Select(1);
  });
  RECT sheet;
  GetWindowRect(monitor.sheet, &sheet);
  ExpectPicturesKept(&monitor, 3, [&] {
    HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, sheet.left, sheet.top,
                                 sheet.right - sheet.left, sheet.bottom - sheet.top, nullptr, nullptr, nullptr, nullptr);
    UpdateWindow(cover);
    DestroyWindow(cover);
    // Wine keeps a covered window's pixels in a surface of its own; a
    // desktop repaints what was uncovered, which is asked for here.
    RedrawWindow(monitor.sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  });
  monitor.Select(0);
  HWND list = GetDlgItem(monitor.Page(), IDC_PROCESS_LIST);
  EXPECT_TRUE(WaitUntil([&] { return FindItem(list, GetCurrentProcessId()) >= 0; }, 3 * kSamplePeriodMs));
  EXPECT_EQ(L"wine_tests.exe", ItemText(list, FindItem(list, GetCurrentProcessId()), kColumnName));
  EXPECT_EQ(0u, monitor.Close());
}

// A real cycle's figures against the platform's own answers taken just
// before and just after it: the memory load (gauge and record) and the
// physical memory shown.
TEST(RealCycle, FiguresLieBetweenThePlatformsOwnAnswersAroundIt) {
  BindPlatform();
  HWND page = ShowPerformancePage();
  StoreShared(&g_state.performancePage, page);
  g_state.recordFigures = 1;
  SamplerContext context = {};
  StartSampling(&context);
  const auto memory = [] {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return status;
  };
  const auto between = [](auto value, auto a, auto b) { return std::min(a, b) <= value && value <= std::max(a, b); };
  const uint32_t field = 1 + 2 * g_state.processorCount + 2;  // after the seconds, the processors and the clocks
  for (int cycle = 0; cycle < 3; ++cycle) {
    Sleep(50);
    StdoutCapture record;
    const MEMORYSTATUSEX before = memory();
    RunSamplingCycle(&context);
    const MEMORYSTATUSEX after = memory();
    const std::string line = record.Text();
    size_t at = 0;
    for (uint32_t i = 0; i < field; ++i) at = line.find(',', at) + 1;
    EXPECT_TRUE(between(std::stoul(line.substr(at)), before.dwMemoryLoad, after.dwMemoryLoad)) << line;
    const float load = LoadShared(g_state.loadSample.memLoad);
    EXPECT_TRUE(between(load, before.dwMemoryLoad * 0.01f, after.dwMemoryLoad * 0.01f)) << load;
    EXPECT_EQ(std::to_wstring(before.ullTotalPhys), ControlText(page, IDC_PHYS_TOTAL));
    const unsigned long long available = std::stoull(ControlText(page, IDC_PHYS_AVAILABLE));
    EXPECT_TRUE(between(available, before.ullAvailPhys, after.ullAvailPhys)) << available;
  }
  g_state.recordFigures = 0;
  StoreShared(&g_state.performancePage, nullptr);
  DestroyWindow(page);
}

// ---- Frequency-scaling controls ----

const char kNone[] = " 4294967295";
std::string Targets(int position, const char* khz) {
  std::string line = "NvRmDfsSetTarget h 8";
  for (int i = 0; i < 8; ++i) line += i == position ? std::string(" ") + khz : kNone;
  return line + "\n";
}

bool Shown(HWND page, int id) { return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0; }
bool Checked(HWND page, int id) { return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void ExpectTargetControls(HWND page, bool shown) {
  for (int id : {IDC_DOMAIN_LIST, IDC_TARGET_MHZ, IDC_SET_TARGET}) EXPECT_EQ(shown, Shown(page, id)) << id;
}

// Made with scaling running or stopped, with /d or not, the page asks the
// state, sends what /d needs and shows it; then (made running, without /d)
// the box stops and restarts scaling and Set sends one domain's target.
TEST(DfsControls, CreationFollowsTheStateAndOptionDThenTheBoxAndSetSendExactlyThat) {
  HWND page = nullptr;
  for (uint32_t dfsOffAtStart : {1u, 0u}) {
    for (uint32_t state : {kDfsStateStopped, kDfsStateRunning}) {
      SCOPED_TRACE(std::to_string(dfsOffAtStart) + " " + std::to_string(state));
      if (page != nullptr) DestroyWindow(page);
      BindPlatform({L"coredll.dll", L"libnvrm.dll", "record"});
      g_state.dfsOffAtStart = dfsOffAtStart;
      g_resourceManager.NvRmDfsSetState(g_state.rmHandle, state);  // the chip outlives each page
      TakeCallLog();
      page = ShowPerformancePage();
      EXPECT_EQ("NvRmDfsGetState h\n" + (dfsOffAtStart ? "NvRmDfsSetState h 2\n" + Targets(1, "1000000") : ""),
                TakeCallLog());
      const bool checked = dfsOffAtStart || state == kDfsStateStopped;
      EXPECT_TRUE(Shown(page, IDC_DISABLE_DFS));
      EXPECT_EQ(checked, Checked(page, IDC_DISABLE_DFS));
      ExpectTargetControls(page, checked);
      EXPECT_EQ(7, SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_GETCOUNT, 0, 0));
      EXPECT_EQ(0, SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_GETCURSEL, 0, 0));
      EXPECT_EQ(L"1000", ControlText(page, IDC_TARGET_MHZ));
    }
  }
  const auto click = [&](int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); };
  click(IDC_DISABLE_DFS);
  EXPECT_EQ("NvRmDfsSetState h 2\n", TakeCallLog());
  ExpectTargetControls(page, true);
  const struct {
    int item;
    const wchar_t* mhz;
    std::string sent;
  } sets[] = {{6, L"400", Targets(7, "400000")},            // "EMC"
              {0, L"1000", Targets(1, "1000000")},          // "CPU"
              {0, L"", Targets(1, "0")},                    // an empty field sends 0
              {2, L"5000000", Targets(3, "4294967000")},    // held at the largest whole MHz that fits
              {-1, L"400", ""}};                            // no domain chosen: nothing is sent
  for (const auto& set : sets) {
    SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_SETCURSEL, set.item, 0);
    SetDlgItemTextW(page, IDC_TARGET_MHZ, set.mhz);
    click(IDC_SET_TARGET);
    EXPECT_EQ(set.sent, TakeCallLog());
  }
  click(IDC_DISABLE_DFS);
  EXPECT_EQ("NvRmDfsSetState h 3\n", TakeCallLog());
  EXPECT_FALSE(Checked(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, false);
  DestroyWindow(page);
}

// ---- Under real load, processor 2 kept busy from the Linux side ----

// Run through with_busy_cpu.sh. Each processor reads what the host's
// /proc/stat gave it over the same cycle, whatever else the host runs: the
// second, kept busy, reads busy; stopped at 500 MHz, half its high corner, it
// reads half of that.
TEST(BusyCpu2, ReadsBusyAndHalfLoadedAtHalfTheClock) {
  ASSERT_STREQ("2", std::getenv("SELVANE_BUSY_CPU"));
  BindPlatform();
  ASSERT_GE(g_state.processorCount, 2u);
  HWND page = ShowPerformancePage();
  StoreShared(&g_state.performancePage, page);
  SamplerContext context = {};
  StartSampling(&context);
  // Stopped, then the CPU's target set through the page's own controls; two
  // cycles, the host read right after each, so the last pair spans the last cycle.
  g_resourceManager.NvRmDfsSetState(g_state.rmHandle, kDfsStateStopped);
  HostCpuTimes before, after;
  const auto setCpu = [&](const wchar_t* mhz) {
    SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_SETCURSEL, 0, 0);  // "CPU"
    SetDlgItemTextW(page, IDC_TARGET_MHZ, mhz);
    SendDlgItemMessageW(page, IDC_SET_TARGET, BM_CLICK, 0, 0);
    for (int cycle = 0; cycle < 2; ++cycle) {
      Sleep(kSamplePeriodMs);
      before = after;
      RunSamplingCycle(&context);
      after = ReadHostCpuTimes();
    }
  };
  constexpr double kTolerance = 0.08;  // a few 10-ms ticks apart in time, and the host's tick
  setCpu(L"1000");
  const double busy1 = HostBusyFraction(before, after, 0), busy2 = HostBusyFraction(before, after, 1);
  ASSERT_GE(busy2, 0.9) << "the busy loop did not run";
  EXPECT_NEAR(busy1, LoadShared(g_state.loadSample.cpuLoad[0]), kTolerance);
  EXPECT_NEAR(busy2, LoadShared(g_state.loadSample.cpuLoad[1]), kTolerance);
  setCpu(L"500");
  EXPECT_EQ(0.5f, LoadShared(g_state.frequencyScale));
  EXPECT_NEAR(0.5 * HostBusyFraction(before, after, 1), LoadShared(g_state.loadSample.cpuLoad[1]), kTolerance / 2);
  EXPECT_LE(LoadShared(g_state.loadSample.cpuLoad[1]), 0.5f);
  EXPECT_EQ(0u, ControlText(page, IDC_STATUS_TEXT).find(L"CPU[500Mhz]\r\n"));
  DestroyWindow(page);
}

}  // namespace
