#include "app/monitor_state.h"

#include <cstring>

MonitorState g_state;

static void EnterProcessLock(void* lock) { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
static void LeaveProcessLock(void* lock) { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
const StateLock g_stateLock = {&g_state.processLock, EnterProcessLock, LeaveProcessLock};

// Static initialisation: the defaults hold before WinMain runs. The lock
// lives for the process; resetting the state leaves it alone.
static const bool kStateInitialised = (InitializeCriticalSection(&g_state.processLock), ResetMonitorState(), true);

void ResetMonitorState() {
  g_state.instance = NULL;
  g_state.processorCount = 1;
  g_state.machineProcessors = 1;
  StoreShared(&g_state.frequencyScale, kFullClockScale);
  g_state.cpuHistoryReset = 1;
  g_state.memHistoryReset = 1;
  std::memset(g_state.cpuHistory, 0, sizeof g_state.cpuHistory);
  std::memset(&g_state.memHistory, 0, sizeof g_state.memHistory);
  std::memset(&g_state.pictures, 0, sizeof g_state.pictures);
  g_state.pictures.cpuHistory = g_state.cpuHistory;
  g_state.pictures.memHistory = &g_state.memHistory;
  std::memset(&g_state.cpuMarks, 0, sizeof g_state.cpuMarks);
  std::memset(&g_state.memMarks, 0, sizeof g_state.memMarks);
  g_state.pictures.cpuMarks = &g_state.cpuMarks;
  g_state.pictures.memMarks = &g_state.memMarks;
  std::memset(&g_state.events, 0, sizeof g_state.events);
  std::memset(g_state.recordPath, 0, sizeof g_state.recordPath);
  std::memset(g_state.ruleTexts, 0, sizeof g_state.ruleTexts);
  std::memset(g_state.ruleTextChars, 0, sizeof g_state.ruleTextChars);
  g_state.ruleTextCount = 0;
  g_state.rulesOver = 0;
  g_state.dfsOffAtStart = 0;
  g_state.serialTemperature = 0;
  g_state.recordFigures = 0;
  g_state.remotePort = 0;
  StoreShared(&g_state.processesPage, NULL);
  StoreShared(&g_state.performancePage, NULL);
  for (uint32_t i = 0; i < kMaxProcessors; ++i) StoreShared(&g_state.loadSample.cpuLoad[i], 0.0f);
  StoreShared(&g_state.loadSample.memLoad, 0.0f);
  g_state.rmHandle = NULL;
  g_state.rmAvailable = 0;
  std::memset(&g_state.processTable, 0, sizeof g_state.processTable);
  StoreShared(&g_state.processList, NULL);
  StoreShared(&g_state.threadList, NULL);
  StoreShared(&g_state.listsPage, NULL);
  std::memset(&g_state.processView, 0, sizeof g_state.processView);
  StoreShared(&g_state.listOrder, 0u);
  StoreShared(&g_state.listsPaused, 0u);
  StoreShared(&g_state.affinitySet, 0u);
  std::memset(&g_state.threadTable, 0, sizeof g_state.threadTable);
  g_state.threadOwner = NULL;
  g_state.threadRequest.process = NULL;
  g_state.threadRequest.processId = 0;
  std::memset(g_state.icons, 0, sizeof g_state.icons);
  std::memset(g_state.reportBuffer, 0, sizeof g_state.reportBuffer);
  g_state.contextMenu = NULL;
  g_state.affinityMenu = NULL;
  g_state.priorityMenu = NULL;
}
