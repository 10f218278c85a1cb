// The real sheet for thousands of cycles, the pages switched, helpers coming
// and going: no allocation call from the monitor's modules while it runs
// steadily, and at the end exact pictures, a list in step, no kernel handle
// or private memory gained, GDI objects never leaked (the handle table is
// filled but for a quarter of the drawings' needs).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "app/monitor.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/support.h"
#include "ui/performance/load_gauges.h"

#include <psapi.h>  // after windows.h

namespace {

constexpr int kCyclesPerPage = 100;
constexpr int kCountedCycles = 2 * kCyclesPerPage;
constexpr SIZE_T kPrivateGrowthBound = 1 << 20;  // heaps settle in steps; a leak per cycle would pass it

// ---- Allocation calls, counted at the import tables of the monitor's
// modules (the program, here linked into the test, and the stand-ins): every
// allocation their code or their static run-time asks for passes one. ----

#ifdef SELVANE_DEVICE  // the device's toolhelp serves every snapshot there
constexpr int kModules = 4;
const wchar_t* const kModuleNames[kModules] = {nullptr, L"coredll.dll", L"libnvrm.dll", L"toolhelp.dll"};
#else
constexpr int kModules = 3;
const wchar_t* const kModuleNames[kModules] = {nullptr, L"coredll.dll", L"libnvrm.dll"};
#endif
struct Range {
  const BYTE* base;
  size_t size;
} g_ranges[kModules];
volatile LONG g_counting, g_calls[kModules];

void CountCall(const void* from) {
  if (!g_counting) return;
  for (int m = 0; m < kModules; ++m) {
    if (from >= g_ranges[m].base && from < g_ranges[m].base + g_ranges[m].size) InterlockedIncrement(&g_calls[m]);
  }
}

// A counting stand-in for one allocating entry, forwarding to what the table held.
#define COUNTING(name, convention, result, parameters, arguments) \
  result(convention* g_##name) parameters;                         \
  result convention Counting##name parameters {                    \
    CountCall(__builtin_return_address(0));                        \
    return g_##name arguments;                                     \
  }
COUNTING(malloc, __cdecl, void*, (size_t n), (n))
COUNTING(calloc, __cdecl, void*, (size_t c, size_t n), (c, n))
COUNTING(realloc, __cdecl, void*, (void* p, size_t n), (p, n))
COUNTING(HeapAlloc, WINAPI, LPVOID, (HANDLE h, DWORD f, SIZE_T n), (h, f, n))
COUNTING(HeapReAlloc, WINAPI, LPVOID, (HANDLE h, DWORD f, LPVOID p, SIZE_T n), (h, f, p, n))
COUNTING(LocalAlloc, WINAPI, HLOCAL, (UINT f, SIZE_T n), (f, n))
COUNTING(GlobalAlloc, WINAPI, HGLOBAL, (UINT f, SIZE_T n), (f, n))
#undef COUNTING

struct Hook {
  const char* name;
  void** original;
  void* counting;
};
#define HOOK(name) {#name, reinterpret_cast<void**>(&g_##name), reinterpret_cast<void*>(Counting##name)}
const Hook kHooks[] = {HOOK(malloc),      HOOK(calloc),     HOOK(realloc),    HOOK(HeapAlloc),
                       HOOK(HeapReAlloc), HOOK(LocalAlloc), HOOK(GlobalAlloc)};
#undef HOOK

// Points the hooked imports of every module at their counters until the
// patches are cleared.
std::vector<std::unique_ptr<ImportPatch>> g_patches;
void PatchModules() {
  for (int m = 0; m < kModules; ++m) {
    HMODULE module = GetModuleHandleW(kModuleNames[m]);
    MODULEINFO image = {};
    GetModuleInformation(GetCurrentProcess(), module, &image, sizeof image);
    g_ranges[m] = {static_cast<const BYTE*>(image.lpBaseOfDll), image.SizeOfImage};
    for (const Hook& hook : kHooks) {
      if (void** slot = ImportSlot(module, hook.name)) {
        *hook.original = *slot;
        g_patches.emplace_back(new ImportPatch(hook.name, hook.counting, module));
      }
    }
  }
}

// Helpers started and ended while the Processes page is shown, three alive
// at once, until `stop`.
void Churn(const std::atomic<bool>* stop, std::atomic<int>* started) {
  std::deque<std::unique_ptr<Helper>> alive;
  while (!stop->load()) {
    std::unique_ptr<Helper> helper(new Helper());
    if (LoadShared(g_state.processesPage) != nullptr && helper->Start(L"threads 1")) {
      alive.push_back(std::move(helper));
      started->fetch_add(1);
    }
    if (alive.size() > 3) alive.pop_front();
    Sleep(30);
  }
}

// The real sheet, both pages in turn, the record of /l on (standard output
// is captured, so figures go to standard error). After a warm-up,
// a stretch without churn in which the monitor's modules make no allocation
// call (each Performance cycle counts the totals, each Processes cycle makes
// a pass); then thousands of cycles with helpers coming and going.
TEST(LongRun, NoAllocationCallsThenCyclesEndWithExactPicturesAndNoGrowth) {
  const char* asked = std::getenv("SELVANE_LONG_RUN_CYCLES");
  const int cycles = asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : 20000;
  BindPlatform();
  ASSERT_EQ(2u, g_state.processorCount);
  g_state.recordFigures = 1;
  StdoutCapture record;
  std::thread ui([] { RunPropertySheet(GetModuleHandleW(nullptr)); });
  InProcessMonitor view;  // the sheet the thread runs, without its own sampler
  ASSERT_TRUE(WaitUntil([&] { return (view.sheet = FindWindowW(nullptr, SELVANE_CAPTION)) != nullptr; }));
  HWND performance = view.Page();
  SizeGraphs(performance);
  SamplerContext context = {};
  StartSampling(&context);
  const auto run = [&](int count) {
    for (int i = 0; i < count; ++i) {
      if (i % kCyclesPerPage == 0) view.Select((i / kCyclesPerPage) % 2 == 1 ? 0 : 1);
      RunSamplingCycle(&context);
    }
  };
  std::atomic<int> started{0};
  const auto runWithChurn = [&](int count) {
    std::atomic<bool> stop{false};
    std::thread churn(Churn, &stop, &started);
    run(count);
    stop.store(true);
    churn.join();
  };
  runWithChurn(4 * kCyclesPerPage);  // warm up: every code path once
  run(2 * kCyclesPerPage);  // the list loses the helpers

  PatchModules();
  g_counting = 1;
  void* volatile probe = malloc(16);  // the hooks see an allocation the program's module makes
  free(probe);
  EXPECT_EQ(1, g_calls[0]);
  g_calls[0] = 0;
  run(kCountedCycles);
  g_counting = 0;
  g_patches.clear();
  for (int m = 0; m < kModules; ++m) {
    fprintf(stderr, "allocation calls in %d cycles from %ls: %ld\n", kCountedCycles, m == 0 ? L"the program" : kModuleNames[m],
           g_calls[m]);
    EXPECT_EQ(0, g_calls[m]) << m;
  }

  const ULONG handlesBefore = KernelHandleCount(GetCurrentProcessId());
  std::vector<HBRUSH> ballast;
  for (HBRUSH brush; (brush = CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) ballast.push_back(brush);
  for (int i = 0; i < cycles / 4 && !ballast.empty(); ++i, ballast.pop_back()) DeleteObject(ballast.back());
  const SIZE_T privateBefore = PrivateBytes();  // with the ballast, as at the end
  const DWORD start = GetTickCount();
  runWithChurn(cycles);
  const DWORD elapsed = GetTickCount() - start;
  view.Select(0);
  RunSamplingCycle(&context);  // the last helpers are gone: one pass takes them off
  g_state.recordFigures = 0;
  const std::string listDifference = ListDiffersFromTable(GetDlgItem(view.Page(), IDC_PROCESS_LIST));
  view.Select(1);
  const float loads[kMaxProcessors] = {0.5f, 1.0f};
  for (int step = 0; step < kHistoryPoints; ++step) {
    DrawCpuHistory(performance, loads);
    DrawMemoryHistory(performance, 1.0f);
  }
  DrawCpuGauge(performance, loads);
  DrawMemoryGauge(performance, 0.37f);
  const ULONG handlesAfter = KernelHandleCount(GetCurrentProcessId());  // before any check opens its own
  const SIZE_T privateAfter = PrivateBytes();
  // Read only now: the record read into memory is the test's, some 150 bytes a
  // cycle, not the monitor's. Failures print to standard output from here on.
  const std::string lines = record.Text();
  for (HBRUSH brush : ballast) DeleteObject(brush);  // reading the pictures back takes GDI handles
  fprintf(stderr, "%d cycles in %lu ms; %d helpers; kernel handles %lu then %lu; private bytes %lu then %lu\n", cycles,
         static_cast<unsigned long>(elapsed), started.load(), static_cast<unsigned long>(handlesBefore),
         static_cast<unsigned long>(handlesAfter), static_cast<unsigned long>(privateBefore),
         static_cast<unsigned long>(privateAfter));
  EXPECT_EQ("", listDifference);
  EXPECT_GT(started.load(), 0);
  ExpectGauge(GetDlgItem(performance, IDC_CPU_GAUGE),
              {{{4, 4, 42, 43}, 24, {0, 43, 43, 58}, L"50"}, {{44, 4, 83, 43}, 4, {43, 43, 87, 58}, L"100"}});
  ExpectGauge(GetDlgItem(performance, IDC_MEM_GAUGE), {{{15, 5, 38, 40}, 28, {0, 45, 53, 65}, L"37.0%"}});
  ExpectLines(GetDlgItem(performance, IDC_CPU_HISTORY), {{5, 126, 128, 29, 29}, {141, 263, 265, 5, 5}});
  ExpectLines(GetDlgItem(performance, IDC_MEM_HISTORY), {{5, 92, 93, 5, 5}});
  EXPECT_LE(handlesAfter, handlesBefore);
  EXPECT_LE(privateAfter, privateBefore + kPrivateGrowthBound);
  PostMessageW(view.sheet, WM_CLOSE, 0, 0);
  ui.join();
  EXPECT_GE(std::count(lines.begin(), lines.end(), '\n'), cycles) << "the cycles were recorded";
}

}  // namespace
