#include "app/monitor_state.h"

#include <cstring>

MonitorState g_state;

static void EnterProcessLock(void* lock) { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
static void LeaveProcessLock(void* lock) { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
const StateLock g_stateLock = {&g_state.processLock, EnterProcessLock, LeaveProcessLock};

// Static initialisation: the defaults hold before WinMain runs. The lock
// lives for the process; resetting the state leaves it alone.
static const bool kStateInitialised =
    (InitializeCriticalSection(&g_state.processLock), ResetMonitorState(), true);

void ResetMonitorState() {
  g_state.instance = nullptr;
  g_state.processorCount = 1;
  g_state.frequencyScale.store(kFullClockScale, std::memory_order_relaxed);
  g_state.cpuHistoryReset = 1;
  g_state.memHistoryReset = 1;
  std::memset(g_state.cpuHistory, 0, sizeof g_state.cpuHistory);
  std::memset(&g_state.memHistory, 0, sizeof g_state.memHistory);
  std::memset(&g_state.pictures, 0, sizeof g_state.pictures);
  g_state.pictures.cpuHistory = g_state.cpuHistory;
  g_state.pictures.memHistory = &g_state.memHistory;
  g_state.dfsOffAtStart = 0;
  g_state.serialTemperature = 0;
  g_state.recordFigures = 0;
  g_state.processesPage.store(nullptr, std::memory_order_relaxed);
  g_state.performancePage.store(nullptr, std::memory_order_relaxed);
  for (auto& load : g_state.loadSample.cpuLoad) load.store(0.0f, std::memory_order_relaxed);
  g_state.loadSample.memLoad.store(0.0f, std::memory_order_relaxed);
  g_state.rmHandle = nullptr;
  g_state.rmAvailable = 0;
  std::memset(&g_state.processTable, 0, sizeof g_state.processTable);
  g_state.processList.store(nullptr, std::memory_order_relaxed);
  g_state.threadList.store(nullptr, std::memory_order_relaxed);
  std::memset(&g_state.threadTable, 0, sizeof g_state.threadTable);
  g_state.threadOwner = nullptr;
  g_state.threadRequest = ThreadRequest{nullptr, 0};
  std::memset(g_state.icons, 0, sizeof g_state.icons);
  std::memset(g_state.reportBuffer, 0, sizeof g_state.reportBuffer);
  g_state.contextMenu = nullptr;
  g_state.affinityMenu = nullptr;
  g_state.priorityMenu = nullptr;
}
