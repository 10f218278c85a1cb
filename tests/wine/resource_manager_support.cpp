#include "tests/wine/resource_manager_support.h"

#include <cstring>

#include "app/monitor_state.h"
#include "tests/wine/wine_support.h"
#include "ui/performance/performance_page.h"

void BindStandIn(const wchar_t* library) {
  ResetMonitorState();
  BindResourceManagerFrom(BinPath(library).c_str());
}

std::string TakeCallLog(const wchar_t* library) {
  typedef uint32_t (*TakeLog)(char* buffer, uint32_t capacity);
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr) return "(not loaded)";
  TakeLog take = reinterpret_cast<TakeLog>(reinterpret_cast<void*>(GetProcAddress(module, "StandinTakeCallLog")));
  if (take == nullptr) return "(no log)";
  static char text[32768];
  take(text, sizeof text);
  return text;
}

HWND CreatePerformancePage() {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                            PerformancePageProc, 0);
}

bool IsShown(HWND page, int id) { return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0; }

bool IsChecked(HWND page, int id) { return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::wstring ControlText(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }

ClockUsage ReadClock(uint32_t domain) {
  ClockUsage usage = {};
  g_resourceManager.NvRmDfsGetClockUtilization(g_state.rmHandle, domain, &usage);
  return usage;
}

HardwareReadings ReadAll() {
  HardwareReadings r = {};
  for (uint32_t d = 1; d <= kClockDomainCount; ++d) r.usage[d - 1] = ReadClock(d);
  g_resourceManager.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureModule, &r.tModule);
  g_resourceManager.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureCpu, &r.tCpu);
  for (uint32_t s = 1; s <= kMemStatCount; ++s) g_resourceManager.NvRmMemGetStat(s, &r.stat[s - 1]);
  return r;
}

bool SameReadings(const HardwareReadings& a, const HardwareReadings& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
