// The fault matrix: the monitor with one platform piece missing or misbehaving
// at a time. Each case binds a variant of one stand-in (the other stays whole),
// runs a sampling cycle on the Performance page and one on the Processes page,
// and checks what binding and each cycle print, the processor count and the
// bound entry points, the loads, the status text against the library's own
// readings, and the process list against the table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/fault_support.h"
#include "tests/wine/resource_manager_support.h"
#include "tests/wine/wine_support.h"
#include "ui/processes/process_pass.h"
#include "ui/processes/processes_page.h"

#include <winternl.h>  // after windows.h

namespace {

constexpr uint32_t kMachine = 0;  // the machine's own processor count
constexpr uint32_t kKernelEntries = 9;
constexpr uint32_t kRmEntries = 13;
constexpr uint32_t kAbsent = 0xFFFFFFFFu;  // every entry point unbound: no library
constexpr float kUntouched = -1.0f;
constexpr float kScaleBefore = 0.75f;
const wchar_t kNoLibrary[] = L"no-such-library.dll";

// Status groups that read 0 because their query is missing or refused.
enum : uint32_t { kClocks = 1, kTemperatures = 2, kPools = 4 };

const char* const kRmNames[kRmEntries] = {
    "NvRmOpen",           "NvRmClose",           "NvRmMemGetStat",         "NvRmDfsGetClockUtilization",
    "NvRmDiagGetTemperature", "NvRmDfsGetState", "NvRmDfsSetState",        "NvRmDfsSetLowCorner",
    "NvRmDfsSetTarget",   "NvRmDfsSetCpuEnvelope", "NvRmDfsSetEmcEnvelope", "NvRmDfsSetCpuEmcHighCorner",
    "NvRmDfsSetAvHighCorner"};

struct FaultCase {
  std::string name;
  std::wstring coredll = L"coredll.dll";
  std::wstring libnvrm = L"libnvrm.dll";
  uint32_t processors = kMachine;
  uint32_t kernelBound = kKernelEntries;  // leading entry points bound
  uint32_t rmUnbound = 0;                 // bit n - 1: entry point n stays null
  std::string bindLines;
  std::string cycleLines;
  uint32_t unread = 0;  // bit i: processor i's idle count cannot be read
  uint32_t silent = 0;  // status groups that read 0
  bool dfsControls = true;
};

std::vector<FaultCase> Cases() {
  std::vector<FaultCase> cases;
  FaultCase c;
  c.name = "WholePlatform";
  cases.push_back(c);

  c = FaultCase{};
  c.name = "NoKernelExtensions";
  c.coredll = kNoLibrary;
  c.processors = 1;
  c.kernelBound = 0;
  cases.push_back(c);
  for (uint32_t n = 1; n <= kKernelEntries; ++n) {
    c = FaultCase{};
    c.name = "KernelEntryMissing" + std::to_string(n);
    c.coredll = L"coredll_missing" + std::to_wstring(n) + L".dll";
    c.processors = 1;
    c.kernelBound = n - 1;
    cases.push_back(c);
  }
  for (uint32_t count : {1u, 2u, 3u, 4u, 8u}) {
    c = FaultCase{};
    c.name = "KernelReports" + std::to_string(count);
    c.coredll = L"coredll_count" + std::to_wstring(count) + L".dll";
    c.processors = count > kMaxProcessors ? kMaxProcessors : count;
    cases.push_back(c);
  }
  c = FaultCase{};
  c.name = "IdleFailsForCpu2";
  c.coredll = L"coredll_idle_fails_cpu2.dll";
  c.cycleLines = "failed to get idletime for cpu 2\r\n";
  c.unread = 0b10;
  cases.push_back(c);

  c = FaultCase{};
  c.name = "NoResourceManager";
  c.libnvrm = kNoLibrary;
  c.rmUnbound = kAbsent;
  c.dfsControls = false;
  cases.push_back(c);
  for (uint32_t n = 1; n <= kRmEntries; ++n) {
    c = FaultCase{};
    c.name = std::string("RmEntryMissing") + std::to_string(n);
    c.libnvrm = L"libnvrm_missing" + std::to_wstring(n) + L".dll";
    c.rmUnbound = 1u << (n - 1);
    c.bindLines = std::string(kRmNames[n - 1]) + "\r\n";
    if (n == 1) {  // without the open there is no handle for the queries that take one
      c.bindLines += "g_rm\r\n";
      c.silent = kClocks | kTemperatures;
    }
    if (n == 3) c.silent = kPools;
    if (n == 4) c.silent = kClocks;
    if (n == 5) c.silent = kTemperatures;
    c.dfsControls = n != 6 && n != 7 && n != 9;  // state and target calls
    cases.push_back(c);
  }
  c = FaultCase{};
  c.name = "RmOpenFails";
  c.libnvrm = L"libnvrm_null_open.dll";
  c.bindLines = "g_rm\r\n";
  c.silent = kClocks | kTemperatures;
  cases.push_back(c);
  c = FaultCase{};
  c.name = "RmQueriesWriteNothing";
  c.libnvrm = L"libnvrm_silent.dll";
  c.silent = kClocks | kTemperatures | kPools;
  cases.push_back(c);
  c = FaultCase{};
  c.name = "RmCpuClockAndHighCornerZero";  // the library's own readings say 0
  c.libnvrm = L"libnvrm_cpu_zero.dll";
  cases.push_back(c);
  return cases;
}

uint32_t MachineProcessors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > kMaxProcessors ? kMaxProcessors : info.dwNumberOfProcessors;
}

// Leading non-null entries of a table of `count` function pointers, and
// whether every later one is null.
uint32_t LeadingBound(const void* table, uint32_t count, bool* restNull) {
  std::vector<void*> entries(count);
  std::memcpy(entries.data(), table, count * sizeof(void*));
  uint32_t bound = 0;
  while (bound < count && entries[bound] != nullptr) ++bound;
  *restNull = true;
  for (uint32_t i = bound; i < count; ++i) *restNull = *restNull && entries[i] == nullptr;
  return bound;
}

uint32_t UnboundMask(const ResourceManager& rm) {
  void* entries[kRmEntries];
  static_assert(sizeof entries == sizeof rm, "thirteen entry points");
  std::memcpy(entries, &rm, sizeof entries);
  uint32_t mask = 0;
  for (uint32_t i = 0; i < kRmEntries; ++i) mask |= entries[i] == nullptr ? 1u << i : 0;
  return mask;
}

template <typename Function>
Function Export(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// What the library itself reads now, through its own exports and its own
// handle, with the silent groups left at 0: what the status text must show.
HardwareReadings LibraryReadings(const std::wstring& libraryName, uint32_t silent) {
  HardwareReadings r = {};
  HMODULE library = GetModuleHandleW(libraryName.c_str());
  void* handle = nullptr;
  if (auto open = Export<PFN_NvRmOpen>(library, "NvRmOpen")) open(&handle, 0);
  if (!(silent & kClocks)) {
    auto clock = Export<PFN_NvRmDfsGetClockUtilization>(library, "NvRmDfsGetClockUtilization");
    for (uint32_t d = 1; d <= kClockDomainCount; ++d) clock(handle, d, &r.usage[d - 1]);
  }
  if (!(silent & kTemperatures)) {
    auto temperature = Export<PFN_NvRmDiagGetTemperature>(library, "NvRmDiagGetTemperature");
    temperature(handle, kTemperatureModule, &r.tModule);
    temperature(handle, kTemperatureCpu, &r.tCpu);
  }
  if (!(silent & kPools)) {
    auto stat = Export<PFN_NvRmMemGetStat>(library, "NvRmMemGetStat");
    for (uint32_t s = 1; s <= kMemStatCount; ++s) stat(s, &r.stat[s - 1]);
  }
  return r;
}

std::wstring Formatted(const HardwareReadings& readings) {
  wchar_t text[kReportBufferChars];
  FormatHardwareStatus(readings, text, kReportBufferChars);
  return text;
}

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, RunsWithTheRightFiguresAndDiagnostics) {
  const FaultCase& c = GetParam();
  const uint32_t processors = c.processors == kMachine ? MachineProcessors() : c.processors;
  const bool rmLoaded = c.rmUnbound != kAbsent;
  // The test process runs on processor 2 only: its row must read affinity 2
  // exactly when the affinity is read at all.
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 2));

  ResetMonitorState();
  g_state.instance = GetModuleHandleW(nullptr);
  {
    StdoutCapture output;
    BindKernelExtensionsFrom(BinPath(c.coredll.c_str()).c_str());
    BindResourceManagerFrom(BinPath(c.libnvrm.c_str()).c_str());
    EXPECT_EQ(c.bindLines, output.Text());
  }
  EXPECT_EQ(processors, g_state.processorCount);
  bool restNull = false;
  EXPECT_EQ(c.kernelBound, LeadingBound(&g_kernel, kKernelEntries, &restNull));
  EXPECT_TRUE(restNull);
  EXPECT_EQ(c.rmUnbound == kAbsent ? (1u << kRmEntries) - 1 : c.rmUnbound, UnboundMask(g_resourceManager));
  EXPECT_EQ(rmLoaded ? 1u : 0u, g_state.rmAvailable);
  EXPECT_EQ(rmLoaded && c.bindLines.find("g_rm") == std::string::npos, g_state.rmHandle != nullptr);
  EXPECT_EQ(c.dfsControls, DfsControlsAvailable());

  HWND performance = CreatePerformancePage();
  HWND processes = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                      ProcessesPageProc, 0);
  ASSERT_TRUE(performance != nullptr && processes != nullptr);
  EXPECT_EQ(c.dfsControls, IsShown(performance, IDC_DISABLE_DFS));
  g_state.performancePage.store(performance);

  // The simulation moves on now and then: retry until a cycle falls between
  // two identical readings of the library.
  SamplerContext context = {};
  bool steady = false;
  for (int attempt = 0; attempt < 5 && !steady; ++attempt) {
    for (auto& load : g_state.loadSample.cpuLoad) load.store(kUntouched);
    g_state.frequencyScale.store(kScaleBefore);
    const HardwareReadings before = rmLoaded ? LibraryReadings(c.libnvrm, c.silent) : HardwareReadings{};
    StdoutCapture output;
    StartSampling(&context);
    Sleep(20);
    RunSamplingCycle(&context);
    EXPECT_EQ(c.cycleLines, output.Text());
    const HardwareReadings after = rmLoaded ? LibraryReadings(c.libnvrm, c.silent) : HardwareReadings{};
    if (std::memcmp(&before, &after, sizeof before) != 0) continue;
    steady = true;

    EXPECT_EQ(rmLoaded ? Formatted(before) : L"", ControlText(performance, IDC_STATUS_TEXT));
    const ClockUsage& cpu = before.usage[kDomainCpu - 1];
    const float scale = !rmLoaded || cpu.highCornerKhz == 0
                            ? kScaleBefore
                            : static_cast<float>(cpu.currentKhz) / static_cast<float>(cpu.highCornerKhz);
    EXPECT_EQ(scale, g_state.frequencyScale.load());
    for (uint32_t i = 0; i < kMaxProcessors; ++i) {
      const float load = g_state.loadSample.cpuLoad[i].load();
      if (i >= processors) {
        EXPECT_EQ(kUntouched, load) << "processor " << i + 1;
      } else if ((c.unread >> i) & 1u) {
        EXPECT_EQ(0.0f, load) << "processor " << i + 1;
      } else {
        EXPECT_TRUE(load >= 0.0f && load <= scale) << "processor " << i + 1 << ": " << load;
      }
    }
  }
  EXPECT_TRUE(steady);

  g_state.performancePage.store(nullptr);
  g_state.processesPage.store(processes);
  {
    StdoutCapture output;
    RunSamplingCycle(&context);
    EXPECT_EQ(c.cycleLines, output.Text());
  }
  HWND list = GetDlgItem(processes, IDC_PROCESS_LIST);
  EXPECT_EQ(L"", ListDiffersFromTable(list));
  const uint32_t self = FindProcessRow(&g_state.processTable, GetCurrentProcessId());
  ASSERT_NE(kNoProcessRow, self);
  EXPECT_EQ(processors >= 2 ? 2u : 0u, g_state.processTable.rows[self].affinity);
  DestroyWindow(processes);
  DestroyWindow(performance);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultMatrix, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// ---- Process faults: the snapshot and the processes it lists ----

class ProcessFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMonitorState();
    g_state.instance = GetModuleHandleW(nullptr);
    BindKernelExtensionsFrom(BinPath(L"coredll_count2.dll").c_str());
    page_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                               ProcessesPageProc, 0);
    ASSERT_NE(nullptr, page_);
    list_ = GetDlgItem(page_, IDC_PROCESS_LIST);
  }
  void TearDown() override { DestroyWindow(page_); }
  // The affinity the list shows for `processId`, or "absent".
  std::wstring ShownAffinity(DWORD processId) {
    const uint32_t row = FindProcessRow(&g_state.processTable, processId);
    if (row == kNoProcessRow) return L"absent";
    wchar_t text[16] = {};
    LVITEMW record = {};
    record.iSubItem = kColumnAffinity;
    record.pszText = text;
    record.cchTextMax = 16;
    SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&record));
    return text;
  }
  HWND page_ = nullptr;
  HWND list_ = nullptr;
};

typedef NTSTATUS(WINAPI* QuerySystem)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
ImportPatch* g_snapshotPatch = nullptr;

NTSTATUS RealQuery(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  return reinterpret_cast<QuerySystem>(g_snapshotPatch->Original())(kind, buffer, bytes, length);
}

// The process snapshot fails; other queries (the handle count) go through.
NTSTATUS WINAPI NoSnapshot(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  if (kind == SystemProcessInformation) return static_cast<NTSTATUS>(0xC0000017);  // no memory
  return RealQuery(kind, buffer, bytes, length);
}

// The process snapshot is taken and lists nothing.
NTSTATUS WINAPI EmptySnapshot(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  if (kind != SystemProcessInformation) return RealQuery(kind, buffer, bytes, length);
  if (length != nullptr) *length = 0;
  return 0;
}

// A snapshot that cannot be taken, or one that lists nothing, says nothing of
// which processes exited: table and list stay, no handle is left open, and
// the next good pass goes on from there.
TEST_F(ProcessFaults, SnapshotThatCannotBeTakenOrWalkedChangesNothing) {
  RunProcessPass();
  ASSERT_GT(g_state.processTable.processCount, 0u);
  const std::unique_ptr<ProcessTable> before(new ProcessTable(g_state.processTable));
  IdleHelper helper;  // started meanwhile: not listed until a good pass
  ASSERT_TRUE(helper.Start(BinPath(L"sleeper.exe")));
  for (const char* fault : {"no snapshot", "empty walk"}) {
    const bool noSnapshot = fault[0] == 'n';
    ImportPatch patch(&g_importNtQuerySystemInformation,
                      noSnapshot ? reinterpret_cast<void*>(NoSnapshot) : reinterpret_cast<void*>(EmptySnapshot));
    g_snapshotPatch = &patch;
    // Counted right around the pass: the test framework opens handles of its own.
    const ULONG handles = KernelHandleCount(GetCurrentProcessId());
    RunProcessPass();
    EXPECT_EQ(handles, KernelHandleCount(GetCurrentProcessId())) << fault;
    EXPECT_EQ(before->processCount, g_state.processTable.processCount) << fault;
    EXPECT_EQ(before->threadTotal, g_state.processTable.threadTotal) << fault;
    EXPECT_EQ(0, std::memcmp(before->rows, g_state.processTable.rows, sizeof before->rows)) << fault;
    EXPECT_EQ(L"", ListDiffersFromTable(list_)) << fault;
  }
  RunProcessPass();
  EXPECT_NE(kNoProcessRow, FindProcessRow(&g_state.processTable, helper.Id()));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));
}

// Records more than the first buffer holds (as a system of some 40,000
// threads has): the buffer grows and the pass lists every process.
ULONG g_recordsNeeded = 0;
NTSTATUS WINAPI LargeSnapshot(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  if (kind == SystemProcessInformation && bytes < g_recordsNeeded) {
    if (length != nullptr) *length = g_recordsNeeded;
    return static_cast<NTSTATUS>(0xC0000004);  // the buffer is too small
  }
  return RealQuery(kind, buffer, bytes, length);
}

TEST_F(ProcessFaults, RecordsBeyondTheBufferGrowItUpToItsBoundAndFailingSaysSoOnce) {
  IdleHelper helper;
  ASSERT_TRUE(helper.Start(BinPath(L"sleeper.exe")));
  ImportPatch patch(&g_importNtQuerySystemInformation, reinterpret_cast<void*>(LargeSnapshot));
  g_snapshotPatch = &patch;
  g_recordsNeeded = 5u << 20;
  {
    StdoutCapture output;
    RunProcessPass();
    EXPECT_EQ("", output.Text());
  }
  EXPECT_NE(kNoProcessRow, FindProcessRow(&g_state.processTable, helper.Id()));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));

  // Beyond the bound: the list stays as it was, and one line says why.
  g_recordsNeeded = 1u << 30;
  {
    StdoutCapture output;
    for (int pass = 0; pass < 3; ++pass) RunProcessPass();
    EXPECT_EQ("failed to take a process snapshot\r\n", output.Text());
  }
  EXPECT_NE(kNoProcessRow, FindProcessRow(&g_state.processTable, helper.Id()));
  g_recordsNeeded = 0;
  helper.End(0);
  RunProcessPass();
  EXPECT_EQ(kNoProcessRow, FindProcessRow(&g_state.processTable, helper.Id()));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));
}

// A process others may not open is listed with affinity 0 whatever its binding.
TEST_F(ProcessFaults, ProcessThatCannotBeOpenedShowsAffinityZero) {
  IdleHelper guarded;
  ASSERT_TRUE(guarded.Start(BinPath(L"sleeper.exe"), true));
  ASSERT_EQ(nullptr, OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, guarded.Id()));
  ASSERT_TRUE(SetProcessAffinityMask(guarded.Process(), 2));  // through its creator's handle
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 2));
  RunProcessPass();
  EXPECT_EQ(L"0", ShownAffinity(guarded.Id()));
  EXPECT_EQ(L"2", ShownAffinity(GetCurrentProcessId()));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));
  EXPECT_TRUE(guarded.Running());
}

IdleHelper* g_exiting = nullptr;

// The real snapshot, after which the helper exits and is gone before the
// pass reads its affinity.
NTSTATUS WINAPI SnapshotThenExit(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  const NTSTATUS status = RealQuery(kind, buffer, bytes, length);
  if (kind != SystemProcessInformation) return status;
  const DWORD id = g_exiting->Id();
  g_exiting->End(3);
  PollUntil(
      [id] {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
        if (process != nullptr) CloseHandle(process);
        return process == nullptr;
      },
      5000);
  return status;
}

// Listed from the snapshot with affinity 0 (it could not be read), and
// removed by the next pass.
TEST_F(ProcessFaults, ProcessExitingBetweenSnapshotAndAffinityReadComesAndGoes) {
  IdleHelper helper;
  ASSERT_TRUE(helper.Start(BinPath(L"sleeper.exe")));
  ASSERT_TRUE(SetProcessAffinityMask(helper.Process(), 2));
  const DWORD id = helper.Id();
  {
    g_exiting = &helper;
    ImportPatch patch(&g_importNtQuerySystemInformation, reinterpret_cast<void*>(SnapshotThenExit));
    g_snapshotPatch = &patch;
    RunProcessPass();
  }
  ASSERT_FALSE(helper.Running());
  EXPECT_EQ(nullptr, OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  EXPECT_EQ(L"0", ShownAffinity(id));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));
  RunProcessPass();
  EXPECT_EQ(L"absent", ShownAffinity(id));
  EXPECT_EQ(L"", ListDiffersFromTable(list_));
}

}  // namespace
