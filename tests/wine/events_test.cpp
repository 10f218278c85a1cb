// Events where people look: marks on the Performance page's histories and the
// record's events field; triggers and their captures with the simulated chip.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/resource_manager.h"
#include "tests/wine/support.h"
#include "ui/performance/history_geometry.h"

namespace {

uint32_t Generation() { return PictureGeneration(&g_stateLock, &g_state.pictures); }

// The x of history point `point` in `area`, as the graphs lay their points out.
int32_t PointX(const PixelRect& area, int point) { return area.left + (area.right - area.left) * point / kHistoryPoints; }

// The columns of `control` that hold a mark's colour over most of the area's height.
std::set<int> MarkColumns(HWND control) {
  const Picture picture = CaptureClient(control);
  std::set<int> columns;
  for (int x = 0; x < picture.width; ++x) {
    const int marked = picture.Count({x, 0, x + 1, picture.height}, kColourMark);
    if (marked > (picture.height - 2 * kHistoryMarginY) / 2) columns.insert(x);
  }
  return columns;
}

// DFS stopped and a target set from the page: each is a mark on both
// histories at its cycle's point, scrolling with them, with a record (/l) or
// without one, and in the record's events field.
class EventMarks : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(EventMarks, DfsStoppedAndRetargetedFromThePage) {
  StdoutCapture capture;
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start(GetParam()));
  ASSERT_TRUE(DfsControlsAvailable());
  uint32_t drawn = Generation();
  ASSERT_TRUE(WaitUntil([&] { return Generation() != drawn; }, 3 * kSamplePeriodMs));
  HWND page = monitor.Page();
  SendMessageW(GetDlgItem(page, IDC_DISABLE_DFS), BM_CLICK, 0, 0);
  SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_SETCURSEL, 0, 0);
  SetDlgItemTextW(page, IDC_TARGET_MHZ, L"500");
  SendMessageW(GetDlgItem(page, IDC_SET_TARGET), BM_CLICK, 0, 0);

  // A few cycles on, right after a drawing: the marks stand where the cycles' points are.
  int checked = 0;
  for (int attempt = 0; attempt < 10 && checked < 3; ++attempt) {
    drawn = Generation();
    ASSERT_TRUE(WaitUntil([&] { return Generation() != drawn; }, 3 * kSamplePeriodMs));
    Sleep(150);  // the painting follows the drawing's work
    const uint32_t generation = Generation();
    std::set<uint32_t> eventCycles;
    EnterStateLock(&g_stateLock);
    const EventState& events = g_state.events;
    const uint32_t cycle = events.cycle;
    for (uint32_t i = 0; i < events.log.added && i < kEventLogCapacity; ++i) {
      const CycleEvent& event = events.log.events[i];
      if (cycle - event.cycle < static_cast<uint32_t>(kHistoryPoints)) eventCycles.insert(event.cycle);
    }
    LeaveStateLock(&g_stateLock);
    HWND cpu = GetDlgItem(page, IDC_CPU_HISTORY), memory = GetDlgItem(page, IDC_MEM_HISTORY);
    const std::set<int> cpuColumns = MarkColumns(cpu), memoryColumns = MarkColumns(memory);
    if (Generation() != generation) continue;  // a cycle drew anew meanwhile
    ++checked;
    RECT client;
    GetClientRect(cpu, &client);
    PixelRect areas[kMaxProcessors];
    const uint32_t count = CpuHistoryAreas(client.right, client.bottom, g_state.processorCount, areas);
    GetClientRect(memory, &client);
    const PixelRect memoryArea = MemoryHistoryArea(client.right, client.bottom);
    std::set<int> cpuExpected, memoryExpected;
    for (uint32_t eventCycle : eventCycles) {
      const int point = kHistoryPoints - 1 - static_cast<int>(cycle - eventCycle);
      for (uint32_t k = 0; k < count; ++k) cpuExpected.insert(PointX(areas[k], point));
      memoryExpected.insert(PointX(memoryArea, point));
    }
    EXPECT_GE(eventCycles.size(), 1u);
    EXPECT_EQ(cpuExpected, cpuColumns) << "cycle " << cycle;
    EXPECT_EQ(memoryExpected, memoryColumns) << "cycle " << cycle;
  }
  EXPECT_EQ(3, checked);
  EXPECT_EQ(0u, monitor.Close());
  const std::string output = capture.Text();
  if (std::wstring(GetParam()).empty()) return;
  // The record's last field holds both (the only field with text in it).
  const std::string cycles = output.substr(output.find('\n') + 1);
  for (const char* event : {"DFS stopped", "CPU target 500 MHz"}) {
    EXPECT_NE(std::string::npos, cycles.find(event)) << event << "\n" << output;
  }
}

INSTANTIATE_TEST_SUITE_P(RecordOrNot, EventMarks, ::testing::Values(L"/l", L""));

std::vector<std::wstring> Captures(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"cap-*.csv").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The simulated chip held cold (scaling stopped from outside the monitor, the
// CPU at its lowest clock) for over a minute, then heated by a load step at
// the full clock: the trigger on its temperature fires once, and its capture
// holds the header and the 60 cycles before the crossing, the crossing and
// the 60 after, the record's own lines.
TEST(LongCapture, AHeatedChipWritesTheMinuteBeforeTheCrossing) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"selvane-capture-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring record = folder + L"run.csv";
  StdoutCapture capture;
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start((L"/l" + record + L"/ttcpu_c>45/tgart_lfb_kb<1").c_str()));
  const auto recorded = [&] { return Lines(FileText(record)).size(); };
  ASSERT_TRUE(WaitUntil([&] { return recorded() >= 2; }, 5 * kSamplePeriodMs));
  // 216 MHz: at most 30 + 45 x 0.216 = 39.7 degrees, whatever the host's load.
  uint32_t targets[kTargetListCount] = {kTargetUnchanged, 216000, kTargetUnchanged, kTargetUnchanged,
                                        kTargetUnchanged, kTargetUnchanged, kTargetUnchanged, kTargetUnchanged};
  g_resourceManager.NvRmDfsSetState(g_state.rmHandle, kDfsStateStopped);
  ASSERT_EQ(0u, g_resourceManager.NvRmDfsSetTarget(g_state.rmHandle, kTargetListCount, targets));
  ASSERT_TRUE(WaitUntil([&] { return recorded() > kCaptureCyclesBefore + 3; }, 90 * kSamplePeriodMs));

  // The load step: the full clock and every host processor busy.
  targets[kDomainCpu] = 1000000;
  g_resourceManager.NvRmDfsSetTarget(g_state.rmHandle, kTargetListCount, targets);
  std::atomic<bool> busy{true};
  std::vector<std::thread> burners;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
    burners.emplace_back([&] {
      while (busy) {
      }
    });
  }
  const bool written = WaitUntil([&] { return !Captures(folder).empty(); }, (kCaptureCyclesAfter + 40) * kSamplePeriodMs);
  busy = false;
  for (std::thread& burner : burners) burner.join();
  EXPECT_EQ(0u, monitor.Close());
  const std::string output = capture.Text();
  ASSERT_TRUE(written) << output;

  const std::vector<std::wstring> captures = Captures(folder);
  ASSERT_EQ(1u, captures.size());
  EXPECT_EQ(0u, captures[0].find(L"cap-")) << "named by the time, then the rule";
  EXPECT_NE(std::wstring::npos, captures[0].find(L"-tcpu_c-gt-45.csv"));
  const std::vector<std::string> lines = Lines(FileText(folder + captures[0]));
  const std::vector<std::string> all = Lines(FileText(record));
  ASSERT_EQ(1 + kCaptureLines, lines.size());
  EXPECT_EQ(all[0], lines[0]);  // the record's header
  const std::string crossing = lines[1 + kCaptureCyclesBefore];
  EXPECT_EQ(crossing.size() - 12, crossing.rfind(",tcpu_c > 45")) << crossing;  // the last field
  for (size_t i = 1; i < lines.size(); ++i) {
    if (i == 1 + kCaptureCyclesBefore) continue;
    EXPECT_EQ(std::string::npos, lines[i].find("tcpu_c > 45")) << lines[i];
  }
  // The capture's lines are the record's, from the 60th cycle before the crossing on.
  const auto at = std::find(all.begin(), all.end(), lines[1]);
  ASSERT_NE(all.end(), at);
  EXPECT_TRUE(std::equal(lines.begin() + 1, lines.end(), at));
  // The cold and the step: seen as targets in the DFS state, set outside the monitor.
  for (const char* event : {"DFS stopped", "CPU target 216 MHz", "CPU target 1000 MHz"}) {
    EXPECT_NE(std::string::npos, FileText(record).find(event)) << event;
  }
  std::string said(folder.begin(), folder.end());  // as the command line gave it: lower-cased
  std::transform(said.begin(), said.end(), said.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  EXPECT_NE(std::string::npos, output.find("capture: " + said + "cap-")) << output;
  for (const std::wstring& name : captures) DeleteFileW((folder + name).c_str());
  DeleteFileW(record.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
