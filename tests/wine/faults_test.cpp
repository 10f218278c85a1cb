// The monitor with one platform piece missing or misbehaving at a time: what
// binding and a cycle on each page print, the processor count, the loads, the
// status text and the record's clock against the library's own readings, the
// list against the table, the columns and menu the count gives; then the
// process snapshot's faults.
#include <gtest/gtest.h>
#include <winternl.h>  // after windows.h

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/support.h"
#include "ui/processes/process_pass.h"

namespace {

constexpr uint32_t kMachine = 0;  // the machine's own processor count
constexpr float kUntouched = -1.0f, kScaleBefore = 0.75f;

struct FaultCase {
  FaultCase(std::string n, std::string s = "", uint32_t p = kMachine, std::string b = "", std::string c = "",
            uint32_t silentGroups = 0, uint32_t unreadIdle = 0)
      : name(n), settings(s), processors(p), bindLines(b), cycleLines(c), silent(silentGroups), unread(unreadIdle) {}
  std::string name, settings;
  uint32_t processors;
  std::string bindLines, cycleLines;
  uint32_t silent;  // kSilent* groups that read 0
  uint32_t unread;  // bit i: processor i's idle count cannot be read
  PlatformFaults faults;
  uint32_t idleFails = 0;  // bit i: the idle query fails for processor i + 1, though the kernel never does
  uint32_t off = 0;        // bit i: processor i reads "off" on its gauge
  bool rmLoaded = true, dfsControls = true;
  bool once = false;  // the cycle's lines are said once, not every cycle
};
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

std::vector<FaultCase> Cases() {
  std::vector<FaultCase> cases = {{"WholePlatform"}, {"NoKernelExtensions", "", 1}};
  cases.back().faults.coredll = L"no-such-library.dll";
  for (uint32_t n = 1; n <= 9; ++n) {  // the set is all or nothing
    cases.push_back({"KernelEntryMissing" + std::to_string(n), "", 1});
    cases.back().faults.hiddenKernel = 1u << (n - 1);
  }
  for (uint32_t count : {1u, 2u, 3u, 4u, 8u}) {  // counts above 4 are held at 4
    cases.push_back({"KernelReports" + std::to_string(count), "processors=" + std::to_string(count),
                     std::min(count, kMaxProcessors)});
  }
  cases.push_back({"IdleFailsForCpu2", "processors=2", 2, "", "failed to get idletime for cpu 2\r\n", 0, 0b10});
  cases.back().idleFails = 0b10;
  // Counts that stay 0 on every processor: the platform keeps none, as an unsupported GetIdleTime says.
  cases.push_back({"NoIdleTime", "processors=2 no-idle-time", 2, "",
                   "the platform keeps no idle time: no processor load\r\n", 0, 0b11});
  cases.back().once = true;
  cases.push_back({"Cpu2SwitchedOff", "processors=2 processor-off=2", 2, "", "", 0, 0b10});
  cases.back().off = 0b10;
#ifdef SELVANE_DEVICE  // the desktop sums its own idle time
  cases.push_back({"IdleUnsupported", "processors=1 no-idle-time", 1, "",
                   "the platform keeps no idle time: no processor load\r\n", 0, 0b1});
  cases.back().once = true;
#endif
  cases.push_back({"NoResourceManager"});
  cases.back().faults.libnvrm = L"no-such-library.dll";
  cases.back().rmLoaded = cases.back().dfsControls = false;
  for (uint32_t n = 1; n <= 13; ++n) {
    // Without the open there is no handle for the queries that take one.
    FaultCase c = {"RmEntryMissing" + std::to_string(n), "", kMachine,
                   std::string(kRmEntryNames[n - 1]) + "\r\n" + (n == 1 ? "g_rm\r\n" : "")};
    c.faults.hiddenRm = 1u << (n - 1);
    c.silent = n == 1   ? kSilentClocks | kSilentTemperatures
               : n == 3 ? kSilentPools
               : n == 4 ? kSilentClocks
               : n == 5 ? kSilentTemperatures
                        : 0;
    c.dfsControls = n != 6 && n != 7 && n != 9;  // the state and target calls
    cases.push_back(c);
  }
  cases.push_back({"RmOpenFails", "open-null", kMachine, "g_rm\r\n", "", kSilentClocks | kSilentTemperatures});
  cases.push_back(
      {"RmQueriesWriteNothing", "silent", kMachine, "", "", kSilentClocks | kSilentTemperatures | kSilentPools});
  cases.push_back({"RmCpuClockAndHighCornerZero", "cpu-zero"});  // the library's own readings say 0
  return cases;
}

// The stand-in's idle query, failing for the processors of g_idleFails.
PFN_CeGetIdleTimeEx g_realIdle;
uint32_t g_idleFails;
BOOL WINAPI FailingIdle(DWORD processor, DWORD* idleMs) {
  return (g_idleFails >> (processor - 1) & 1u) ? FALSE : g_realIdle(processor, idleMs);
}

// Field `index` of a record line.
std::string Field(const std::string& line, uint32_t index) {
  size_t at = 0;
  for (uint32_t i = 0; i < index; ++i) at = line.find(',', at) + 1;
  return line.substr(at, line.find_first_of(",\r", at) - at);
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, RunsWithTheRightFiguresAndDiagnostics) {
  const FaultCase& c = GetParam();
  const uint32_t machine = std::min<uint32_t>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), kMaxProcessors);
  const uint32_t processors = c.processors == kMachine ? machine : c.processors;
  // The test runs on processor 2 only: its row reads affinity 2 exactly when affinity is read.
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 2));
  {
    StdoutCapture output;
    PlatformFaults faults = c.faults;
    faults.settings = c.settings.c_str();
    BindPlatform(faults);
    EXPECT_EQ(c.bindLines, output.Text());
  }
  EXPECT_EQ(processors, g_state.processorCount);
  g_realIdle = g_kernel.CeGetIdleTimeEx;
  g_idleFails = c.idleFails;
  if (c.idleFails != 0) g_kernel.CeGetIdleTimeEx = FailingIdle;
  // The binding stops at the first missing entry: those before it are bound, it and the rest not.
  static_assert(sizeof g_kernel == 9 * sizeof(void*), "nine entry points");
  void* const* entries = reinterpret_cast<void* const*>(&g_kernel);
  const bool library = std::wstring(c.faults.coredll) == L"coredll.dll";
  for (uint32_t n = 0; n < 9; ++n) {
    const bool before = library && (c.faults.hiddenKernel & ((2u << n) - 1)) == 0;
    EXPECT_EQ(before, entries[n] != nullptr) << "kernel entry " << n + 1;
  }
  EXPECT_EQ(c.rmLoaded ? 1u : 0u, g_state.rmAvailable);
  EXPECT_EQ(c.rmLoaded && c.bindLines.find("g_rm") == std::string::npos, g_state.rmHandle != nullptr);
  EXPECT_EQ(c.dfsControls, DfsControlsAvailable());
  // /d sends a state and a target only where the controls are shown; the graphs are tagged on every path.
  g_state.dfsOffAtStart = 1;
  SetStandinSettings((c.settings + " record frozen").c_str());  // the chip stays as ReadChip finds it
  TakeCallLog();
  HWND performance = ShowPerformancePage();
  const std::string calls = TakeCallLog();
  EXPECT_EQ(c.dfsControls, calls.find("NvRmDfsSet") != std::string::npos) << calls;  // no state, no target
  EXPECT_EQ(c.dfsControls, IsWindowVisible(GetDlgItem(performance, IDC_DISABLE_DFS)) != FALSE);
  EXPECT_EQ(c.dfsControls ? 7 : 0, SendDlgItemMessageW(performance, IDC_DOMAIN_LIST, CB_GETCOUNT, 0, 0));
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    EXPECT_EQ(g >= 2 ? 1 : 0, GetWindowLongPtrW(GetDlgItem(performance, kGraphIds[g]), GWLP_USERDATA)) << kGraphIds[g];
  }
  StoreShared(&g_state.performancePage, performance);

  SamplerContext context = {};
  g_state.recordFigures = 1;
  for (auto& load : g_state.loadSample.cpuLoad) StoreShared(&load, kUntouched);
  StoreShared(&g_state.frequencyScale, kScaleBefore);
  const HardwareReadings chip = ReadChip(c.silent);
  StdoutCapture record;
  StartSampling(&context);
  Sleep(20);
  RunSamplingCycle(&context);
  const std::string text = record.Text();
  // The record's header, the cycle's diagnostics, then its record line.
  const size_t header = text.find("\r\n") + 2, line = text.rfind("\r\n", text.size() - 3) + 2;
  EXPECT_EQ(c.cycleLines, text.substr(header, line - header));
  EXPECT_EQ(c.rmLoaded ? StatusBlock(chip) : L"", ControlText(performance, IDC_STATUS_TEXT));
  // After the seconds and each processor's pair, the clock the status shows.
  const ClockUsage& cpu = chip.usage[kDomainCpu - 1];
  EXPECT_EQ(c.rmLoaded ? std::to_string(cpu.currentKhz / 1000) : "", Field(text.substr(line), 1 + 2 * processors));
  const float scale =
      !c.rmLoaded || cpu.highCornerKhz == 0 ? kScaleBefore : static_cast<float>(cpu.currentKhz) / cpu.highCornerKhz;
  EXPECT_EQ(scale, LoadShared(g_state.frequencyScale));
  for (uint32_t i = 0; i < kMaxProcessors; ++i) {
    const float load = LoadShared(g_state.loadSample.cpuLoad[i]);
    EXPECT_TRUE(i >= processors      ? load == kUntouched
                : c.unread >> i & 1u ? load == 0.0f
                                     : load >= 0.0f && load <= scale)
        << i << ": " << load;
    // A processor with no load has empty fields in the record, never 0.0; one that is off reads "off".
    const std::string fields = Field(text.substr(line), 1 + 2 * i) + "," + Field(text.substr(line), 2 + 2 * i);
    if (i < processors) {
      EXPECT_EQ(c.unread >> i & 1u, fields == ",") << i << ": " << fields;
    }
    if (i < processors && processors != 3) {
      EXPECT_EQ(c.off >> i & 1u, std::wstring(g_state.pictures.cpuGauge.figures[i]) == L"off") << i;
    }
  }
  EXPECT_EQ(c.off, LoadShared(g_state.loadSample.poweredOff));
  g_state.recordFigures = 0;

  ProcessesPage processes;
  StoreShared(&g_state.performancePage, nullptr);
  StoreShared(&g_state.processesPage, processes.Page());
  StdoutCapture output;
  RunSamplingCycle(&context);
  EXPECT_EQ(c.once ? "" : c.cycleLines, output.Text());
  EXPECT_EQ("", ListDiffersFromTable(processes.List()));
  // An Affinity column and the affinity commands only where there is a choice; CPU3 and CPU4 only with four.
  EXPECT_EQ(processors > 1 ? 8 : 7, Header_GetItemCount(ListView_GetHeader(processes.List())));
  EXPECT_EQ(processors > 1 ? 4 : 3, Header_GetItemCount(ListView_GetHeader(processes.ThreadList())));
  EXPECT_EQ(processors == 1, Greyed(g_state.contextMenu, kMenuPositionAffinity));
  for (UINT at = 0; at <= kMaxProcessors; ++at)
    EXPECT_EQ(at > 2 && processors < 4, Greyed(g_state.affinityMenu, at)) << at;
  const uint32_t self = FindProcessRow(&g_state.processTable, GetCurrentProcessId());
  ASSERT_NE(kNoProcessRow, self);
  EXPECT_EQ(processors >= 2 ? 2u : 0u, g_state.processTable.rows[self].affinity);
  DestroyWindow(performance);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultMatrix, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// ---- The process snapshot ----

typedef NTSTATUS(WINAPI* QuerySystem)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
ImportPatch* g_queryPatch = nullptr;
ULONG g_recordsNeeded = 0;
enum { kRealSnapshot, kNoSnapshot, kEmptySnapshot, kLargeSnapshot } g_snapshot = kRealSnapshot;

// The process records as a fault asks; other queries (the handle count) go through.
[[maybe_unused]] NTSTATUS WINAPI Query(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
  const QuerySystem real = reinterpret_cast<QuerySystem>(g_queryPatch->Original());
  if (kind != SystemProcessInformation) return real(kind, buffer, bytes, length);
  if (g_snapshot == kNoSnapshot) return static_cast<NTSTATUS>(0xC0000017);  // no memory
  if (g_snapshot == kEmptySnapshot) {
    *length = 0;
    return 0;
  }
  if (g_snapshot == kLargeSnapshot && bytes < g_recordsNeeded) {
    *length = g_recordsNeeded;
    return static_cast<NTSTATUS>(0xC0000004);  // the buffer is too small
  }
  return real(kind, buffer, bytes, length);
}

// A snapshot that cannot be taken, or lists nothing, says nothing of which
// processes exited: the table and list stay, no handle is left open, one
// line says it once; the next good pass goes on from there. Records beyond
// the first buffer (a system of some 40,000 threads) grow it and the pass
// lists every process; beyond the bound, one line says so.
#ifdef SELVANE_DEVICE
// The device's toolhelp refuses a snapshot, or walks no process.
HANDLE WINAPI RefuseSnapshot(DWORD, DWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return INVALID_HANDLE_VALUE;
}
BOOL WINAPI WalkNone(HANDLE, PROCESSENTRY32*) {
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}
#endif

TEST(SnapshotFaults, FailedPassesChangeNothingAndSaySoOnceAndTheBufferGrowsToItsBound) {
  ProcessesPage page("");
#ifndef SELVANE_DEVICE  // the desktop's snapshot is the system's process records
  ImportPatch patch("NtQuerySystemInformation", reinterpret_cast<void*>(Query));
  g_queryPatch = &patch;
#endif
  RunProcessPass();
  const std::unique_ptr<ProcessTable> before(new ProcessTable(g_state.processTable));
  Helper helper;  // started meanwhile: not listed until a good pass
  ASSERT_TRUE(helper.Start(L"threads 1"));
  for (auto fault : {kNoSnapshot, kEmptySnapshot}) {
    g_snapshot = fault;
#ifdef SELVANE_DEVICE
    ImportPatch toolhelp(
        fault == kNoSnapshot ? "CreateToolhelp32Snapshot" : "Process32First",
        fault == kNoSnapshot ? reinterpret_cast<void*>(RefuseSnapshot) : reinterpret_cast<void*>(WalkNone));
#endif
    StdoutCapture output;
    ULONG handles = 0;
    for (int pass = 0; pass < 3; ++pass) {
      RunProcessPass();
      // Counted after the first: its one diagnostic line may open the debug output's own handles once.
      if (pass == 0) handles = KernelHandleCount(GetCurrentProcessId());
    }
    EXPECT_EQ(handles, KernelHandleCount(GetCurrentProcessId()));
    EXPECT_EQ(fault == kNoSnapshot ? "failed to take a process snapshot\r\n" : "", output.Text());
    EXPECT_EQ(0, std::memcmp(before->rows, g_state.processTable.rows, sizeof before->rows));
    EXPECT_EQ("", ListDiffersFromTable(page.List()));
  }
#ifdef SELVANE_DEVICE
  g_snapshot = kRealSnapshot;  // the device has no record buffer to grow
  RunProcessPass();
  EXPECT_LE(0, FindItem(page.List(), helper.Id()));
  return;
#endif
  g_snapshot = kLargeSnapshot;
  g_recordsNeeded = 5u << 20;
  StdoutCapture output;
  RunProcessPass();
  EXPECT_LE(0, FindItem(page.List(), helper.Id()));
  EXPECT_EQ("", ListDiffersFromTable(page.List()));
  g_recordsNeeded = 1u << 30;
  for (int pass = 0; pass < 3; ++pass) RunProcessPass();
  EXPECT_EQ("failed to take a process snapshot\r\n", output.Text());
  EXPECT_LE(0, FindItem(page.List(), helper.Id()));
}

}  // namespace
