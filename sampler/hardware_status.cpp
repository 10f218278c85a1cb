#include "sampler/hardware_status.h"

#include <cstring>
#include <cwchar>

#include "app/monitor_state.h"
#include "platform/resource_manager.h"
#include "platform/static_check.h"
#include "platform/win32.h"

SELVANE_STATIC_CHECK(sizeof(ShownStatus().text) == sizeof g_state.reportBuffer, status_copy_fits);

// A missing query is skipped: its figure keeps what it held (0 for the
// temperatures and pools, cleared below; the last reading for a clock).
void ReadHardware(HardwareReadings* r) {
  const ResourceManager& rm = g_resourceManager;
  r->tModule = 0;
  r->tCpu = 0;
  for (uint32_t s = 0; s < kMemStatCount; ++s) r->stat[s] = 0;

  if (rm.NvRmDfsGetClockUtilization != NULL) {
    for (uint32_t d = 1; d <= kClockDomainCount; ++d) {
      rm.NvRmDfsGetClockUtilization(g_state.rmHandle, d, &r->usage[d - 1]);
    }
  }
  if (rm.NvRmDiagGetTemperature != NULL) {
    rm.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureModule, &r->tModule);
    rm.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureCpu, &r->tCpu);
  }
  if (g_state.serialTemperature) {
    NKDbgPrintfW(L"Tmod=%d, Tcpu=%d\n\r", static_cast<int>(r->tModule), static_cast<int>(r->tCpu));
  }
  if (rm.NvRmMemGetStat != NULL) {
    for (uint32_t s = 1; s <= kMemStatCount; ++s) rm.NvRmMemGetStat(s, &r->stat[s - 1]);
  }
}

void ReportHardwareStatus(ShownStatus* shown, const wchar_t* text) {
  HWND page = LoadShared(g_state.performancePage);
  if (page == NULL || (page == shown->page && wcscmp(shown->text, text) == 0)) return;
  if (page != shown->page) shown->field = GetDlgItem(page, IDC_STATUS_TEXT);
  SetWindowTextW(shown->field, text);
  shown->page = page;
  memcpy(shown->text, text, sizeof shown->text);
}
