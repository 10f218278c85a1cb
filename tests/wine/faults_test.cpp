// The monitor with one platform piece missing or misbehaving at a time: what
// binding and a cycle on each page print, the processor count, the loads, the
// status text and the record's clock against the library's own readings, the
// list against the table; then the process snapshot's faults, and a planted
// library.
#include <gtest/gtest.h>

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

#include <winternl.h>  // after windows.h

namespace {

constexpr uint32_t kMachine = 0;  // the machine's own processor count
constexpr float kUntouched = -1.0f, kScaleBefore = 0.75f;

struct FaultCase {
  FaultCase(const std::string& caseName = "") : name(caseName) {}
  std::string name;
  PlatformFaults faults;
  uint32_t processors = kMachine;
  std::string bindLines, cycleLines;
  uint32_t unread = 0;  // bit i: processor i's idle count cannot be read
  uint32_t silent = 0;  // kSilent* groups that read 0
  bool rmLoaded = true, dfsControls = true;
};
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

std::vector<FaultCase> Cases() {
  std::vector<FaultCase> cases = {FaultCase("WholePlatform")};
  FaultCase c = FaultCase("NoKernelExtensions");
  c.faults.coredll = L"no-such-library.dll";
  c.processors = 1;
  cases.push_back(c);
  for (uint32_t n = 1; n <= 9; ++n) {  // the set is all or nothing
    c = FaultCase("KernelEntryMissing" + std::to_string(n));
    c.faults.hiddenKernel = 1u << (n - 1);
    c.processors = 1;
    cases.push_back(c);
  }
  for (const char* settings : {"processors=1", "processors=2", "processors=3", "processors=4", "processors=8"}) {
    const uint32_t count = static_cast<uint32_t>(std::stoul(settings + std::strlen("processors=")));
    c = FaultCase("KernelReports" + std::to_string(count));
    c.faults.settings = settings;
    c.processors = std::min(count, kMaxProcessors);  // counts above 4 are held at 4
    cases.push_back(c);
  }
  c = FaultCase("IdleFailsForCpu2");
  c.faults.settings = "idle-fails=2";
  c.cycleLines = "failed to get idletime for cpu 2\r\n";
  c.unread = 0b10;
  cases.push_back(c);
  c = FaultCase("NoResourceManager");
  c.faults.libnvrm = L"no-such-library.dll";
  c.rmLoaded = c.dfsControls = false;
  cases.push_back(c);
  for (uint32_t n = 1; n <= 13; ++n) {
    c = FaultCase("RmEntryMissing" + std::to_string(n));
    c.faults.hiddenRm = 1u << (n - 1);
    c.bindLines = std::string(kRmEntryNames[n - 1]) + "\r\n";
    if (n == 1) {  // without the open there is no handle for the queries that take one
      c.bindLines += "g_rm\r\n";
      c.silent = kSilentClocks | kSilentTemperatures;
    }
    c.silent |= n == 3 ? kSilentPools : n == 4 ? kSilentClocks : n == 5 ? kSilentTemperatures : 0;
    c.dfsControls = n != 6 && n != 7 && n != 9;  // the state and target calls
    cases.push_back(c);
  }
  const struct {
    const char* name;
    const char* settings;
    const char* bindLines;
    uint32_t silent;
  } misbehaving[] = {{"RmOpenFails", "open-null", "g_rm\r\n", kSilentClocks | kSilentTemperatures},
                     {"RmQueriesWriteNothing", "silent", "", kSilentClocks | kSilentTemperatures | kSilentPools},
                     {"RmCpuClockAndHighCornerZero", "cpu-zero", "", 0}};  // the library's own readings say 0
  for (const auto& m : misbehaving) {
    c = FaultCase(m.name);
    c.faults.settings = m.settings;
    c.bindLines = m.bindLines;
    c.silent = m.silent;
    cases.push_back(c);
  }
  return cases;
}

// Field `index` of a record line.
std::string Field(const std::string& line, uint32_t index) {
  size_t at = 0;
  for (uint32_t i = 0; i < index; ++i) at = line.find(',', at) + 1;
  return line.substr(at, line.find_first_of(",\r", at) - at);
}

uint32_t MachineProcessors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return std::min<uint32_t>(info.dwNumberOfProcessors, kMaxProcessors);
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, RunsWithTheRightFiguresAndDiagnostics) {
  const FaultCase& c = GetParam();
  const uint32_t processors = c.processors == kMachine ? MachineProcessors() : c.processors;
  // The test runs on processor 2 only: its row reads affinity 2 exactly when affinity is read.
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 2));
  {
    StdoutCapture output;
    BindPlatform(c.faults);
    EXPECT_EQ(c.bindLines, output.Text());
  }
  EXPECT_EQ(processors, g_state.processorCount);
  // The binding stops at the first missing entry: those before it are bound, it and the rest not.
  void* entries[9];
  static_assert(sizeof entries == sizeof g_kernel, "nine entry points");
  std::memcpy(entries, &g_kernel, sizeof entries);
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
  SetStandinSettings((std::string(c.faults.settings) + " record").c_str());
  TakeCallLog();
  HWND performance = ShowPerformancePage();
  const std::string calls = TakeCallLog();
  EXPECT_EQ(c.dfsControls, calls.find("NvRmDfsSet") != std::string::npos) << calls;  // no state, no target
  EXPECT_EQ(c.dfsControls, IsWindowVisible(GetDlgItem(performance, IDC_DISABLE_DFS)) != FALSE);
  EXPECT_EQ(c.dfsControls ? 7 : 0, SendDlgItemMessageW(performance, IDC_DOMAIN_LIST, CB_GETCOUNT, 0, 0));
  for (uint32_t g = 0; g < kGraphCount; ++g) {
    EXPECT_EQ(g >= 2 ? 1 : 0, GetWindowLongPtrW(GetDlgItem(performance, kGraphIds[g]), GWLP_USERDATA)) << kGraphIds[g];
  }
  g_state.performancePage.store(performance);

  SamplerContext context = {};
  g_state.recordFigures = 1;
  bool steady = false;
  for (int attempt = 0; attempt < 5 && !steady; ++attempt) {  // the simulation moves on now and then
    for (auto& load : g_state.loadSample.cpuLoad) load.store(kUntouched);
    g_state.frequencyScale.store(kScaleBefore);
    const HardwareReadings before = ReadChip(c.silent);
    StdoutCapture output;
    StartSampling(&context);
    Sleep(20);
    RunSamplingCycle(&context);
    // The record's header, the cycle's diagnostics, then its record line.
    const std::string text = output.Text();
    const size_t header = text.find("\r\n") + 2, line = text.rfind("\r\n", text.size() - 3) + 2;
    EXPECT_EQ(c.cycleLines, text.substr(header, line - header));
    const HardwareReadings after = ReadChip(c.silent);
    if (std::memcmp(&before, &after, sizeof before) != 0) continue;
    steady = true;
    EXPECT_EQ(c.rmLoaded ? StatusBlock(before) : L"", ControlText(performance, IDC_STATUS_TEXT));
    // After the seconds and each processor's pair, the clock the status shows.
    EXPECT_EQ(c.rmLoaded ? std::to_string(before.usage[kDomainCpu - 1].currentKhz / 1000) : "",
              Field(text.substr(line), 1 + 2 * processors));
    const ClockUsage& cpu = before.usage[kDomainCpu - 1];
    const float scale = !c.rmLoaded || cpu.highCornerKhz == 0
                            ? kScaleBefore
                            : static_cast<float>(cpu.currentKhz) / static_cast<float>(cpu.highCornerKhz);
    EXPECT_EQ(scale, g_state.frequencyScale.load());
    for (uint32_t i = 0; i < kMaxProcessors; ++i) {
      const float load = g_state.loadSample.cpuLoad[i].load();
      if (i >= processors) {
        EXPECT_EQ(kUntouched, load) << i;
      } else if ((c.unread >> i) & 1u) {
        EXPECT_EQ(0.0f, load) << i;
      } else {
        EXPECT_TRUE(load >= 0.0f && load <= scale) << i << ": " << load;
      }
    }
  }
  EXPECT_TRUE(steady);
  g_state.recordFigures = 0;

  ProcessesPage processes;
  g_state.performancePage.store(nullptr);
  g_state.processesPage.store(processes.Page());
  {
    StdoutCapture output;
    RunSamplingCycle(&context);
    EXPECT_EQ(c.cycleLines, output.Text());
  }
  EXPECT_EQ("", ListDiffersFromTable(processes.List()));
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
NTSTATUS WINAPI Query(SYSTEM_INFORMATION_CLASS kind, void* buffer, ULONG bytes, ULONG* length) {
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

class SnapshotFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    BindPlatform();
    page_.reset(new ProcessesPage());
    g_queryPatch = &patch_;
    g_snapshot = kRealSnapshot;
  }
  HWND List() const { return page_->List(); }
  std::wstring Affinity(DWORD processId) {
    const int item = FindItem(List(), processId);
    return item < 0 ? L"absent" : ItemText(List(), item, kColumnAffinity);
  }
  ImportPatch patch_{"NtQuerySystemInformation", reinterpret_cast<void*>(Query)};
  std::unique_ptr<ProcessesPage> page_;
};

// A snapshot that cannot be taken, or lists nothing, says nothing of which
// processes exited: the table and list stay, no handle is left open, one
// line says it once; the next good pass goes on from there.
TEST_F(SnapshotFaults, NoSnapshotChangesNothingAndSaysSoOnce) {
  RunProcessPass();
  const std::unique_ptr<ProcessTable> before(new ProcessTable(g_state.processTable));
  Helper helper;  // started meanwhile: not listed until a good pass
  ASSERT_TRUE(helper.Start(L"threads 1"));
  for (auto fault : {kNoSnapshot, kEmptySnapshot}) {
    g_snapshot = fault;
    const ULONG handles = KernelHandleCount(GetCurrentProcessId());
    StdoutCapture output;
    for (int pass = 0; pass < 3; ++pass) RunProcessPass();
    EXPECT_EQ(fault == kNoSnapshot ? "failed to take a process snapshot\r\n" : "", output.Text());
    EXPECT_EQ(handles, KernelHandleCount(GetCurrentProcessId()));
    EXPECT_EQ(0, std::memcmp(before->rows, g_state.processTable.rows, sizeof before->rows));
    EXPECT_EQ("", ListDiffersFromTable(List()));
  }
  g_snapshot = kRealSnapshot;
  RunProcessPass();
  EXPECT_NE(L"absent", Affinity(helper.Id()));
}

// Records beyond the first buffer (a system of some 40,000 threads): it grows
// and the pass lists every process; beyond the bound, one line says so.
TEST_F(SnapshotFaults, RecordsBeyondTheBufferGrowItUpToItsBound) {
  Helper helper;
  ASSERT_TRUE(helper.Start(L"threads 1"));
  g_snapshot = kLargeSnapshot;
  g_recordsNeeded = 5u << 20;
  StdoutCapture output;
  RunProcessPass();
  EXPECT_NE(L"absent", Affinity(helper.Id()));
  g_recordsNeeded = 1u << 30;
  for (int pass = 0; pass < 3; ++pass) RunProcessPass();
  EXPECT_EQ("failed to take a process snapshot\r\n", output.Text());
  EXPECT_NE(L"absent", Affinity(helper.Id()));
}

// A library named like the resource manager in the working directory never
// runs inside the monitor.
TEST(DllSearch, LibraryPlantedInTheWorkingDirectoryIsNeverLoaded) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"selvane-planted-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring program = folder + L"\\program\\selvane-monitor.exe", work = folder + L"\\work";
  for (const std::wstring& made : {folder, folder + L"\\program", work}) CreateDirectoryW(made.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(BinPath(L"selvane-monitor.exe").c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(BinPath(L"..\\planted\\libnvrm.dll").c_str(), (work + L"\\libnvrm.dll").c_str(), FALSE));
  const std::wstring marker = work + L"\\planted-library-loaded.txt";
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(work.c_str());  // the child's working directory
  Child child;
  ASSERT_TRUE(child.Start(L"\"" + program + L"\""));
  SetCurrentDirectoryW(previous);
  HWND sheet = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (sheet = FindWindowW(nullptr, SELVANE_CAPTION)) != nullptr; }, 10000));
  Sleep(1500);  // past the first sample
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, child.Wait(10000));
  EXPECT_EQ("", child.Output());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(marker.c_str())) << "the planted library ran";
  for (const std::wstring& file : {marker, work + L"\\libnvrm.dll", program}) DeleteFileW(file.c_str());
  for (const std::wstring& made : {work, folder + L"\\program", folder}) RemoveDirectoryW(made.c_str());
}

}  // namespace
