#include "app/monitor.h"

#include <cstdio>

#include "app/monitor_state.h"
#include "app/options.h"
#include "platform/kernel_extensions.h"
#include "platform/resource_manager.h"
#include "remote/http_server.h"
#include "sampler/record_output.h"
#include "sampler/sampling_loop.h"
#include "ui/performance/performance_page.h"
#include "ui/processes/processes_page.h"

int ParseOptions(wchar_t* commandLine) {
  const OptionScan scan = ScanOptions(commandLine);
  if (scan.serialTemperature) g_state.serialTemperature = 1;
  if (scan.dfsOffAtStart) g_state.dfsOffAtStart = 1;
  if (scan.recordFigures) g_state.recordFigures = 1;
  if (scan.remoteEndpoint && scan.remotePort == 0) {
    WriteDiagnostic("remote: /r takes a port from 1 to 65535 right after the letter, as /r9231; the endpoint is off\r\n");
  }
  if (scan.remoteEndpoint) g_state.remotePort = scan.remotePort;
  if (scan.recordPath != NULL && scan.recordPathChars >= kPathChars) {
    WriteDiagnostic("record: the path after /l is longer than %lu characters; the record goes to standard output\r\n",
                    static_cast<unsigned long>(kPathChars - 1));
  } else if (scan.recordPath != NULL) {
    for (uint32_t i = 0; i < scan.recordPathChars; ++i) g_state.recordPath[i] = scan.recordPath[i];
    g_state.recordPath[scan.recordPathChars] = L'\0';
  }
  // The rules are read against the record's header once the processor count is known.
  for (uint32_t r = 0; r < scan.ruleCount; ++r) {
    const uint32_t chars = scan.ruleChars[r] < kRuleTextChars ? scan.ruleChars[r] : kRuleTextChars - 1;
    for (uint32_t i = 0; i < chars; ++i) g_state.ruleTexts[r][i] = scan.rules[r][i];
    g_state.ruleTexts[r][chars] = L'\0';
    g_state.ruleTextChars[r] = scan.ruleChars[r];
  }
  g_state.ruleTextCount = scan.ruleCount;
  g_state.rulesOver = scan.rulesOver;
  for (uint32_t i = 0; i < scan.usageRequests; ++i) WriteDiagnostic("%s", kUsageText);
  return 1;
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) {
    SetWindowPos(sheet, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  }
  return 0;
}

static void FillPage(PROPSHEETPAGEW* page, HINSTANCE instance, int templateId, DLGPROC procedure) {
  *page = PROPSHEETPAGEW();
  page->dwSize = sizeof *page;
  page->dwFlags = PSP_DEFAULT;
  page->hInstance = instance;
  page->pszTemplate = MAKEINTRESOURCEW(templateId);
  page->pfnDlgProc = procedure;
}

int RunPropertySheet(HINSTANCE instance) {
  PROPSHEETPAGEW pages[2];
  FillPage(&pages[0], instance, IDD_PROCESSES, ProcessesPageProc);
  FillPage(&pages[1], instance, IDD_PERFORMANCE, PerformancePageProc);

  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_USECALLBACK | PSH_PROPSHEETPAGE | PSH_USEICONID;
  header.hwndParent = NULL;
  header.hInstance = instance;
  header.pszIcon = MAKEINTRESOURCEW(IDI_MONITOR);
  header.pszCaption = SELVANE_CAPTION;
  header.nPages = 2;
  header.nStartPage = 1;  // Performance
  header.ppsp = pages;
  header.pfnCallback = SheetCallback;
  InitCommonControls();
  return static_cast<int>(PropertySheetW(&header));
}

int RunMonitor(HINSTANCE instance, wchar_t* commandLine) {
  InitPlatform();
  g_state.instance = instance;
  ParseOptions(commandLine);
  BindKernelExtensions();
  BindResourceManager();
  StartRecordOutputs();
  if (g_state.remotePort != 0) StartRemoteEndpoint(g_state.remotePort);

  for (uint32_t i = 0; i < kGaugeIconCount; ++i) {
    g_state.icons[i] = LoadIconW(instance, MAKEINTRESOURCEW(IDI_GAUGE_FIRST + i));
  }

  // The thread is never stopped or waited for: it ends with the process.
  HANDLE sampler = CreateThread(NULL, 0, SamplingThreadProc, NULL, 0, NULL);
  if (sampler != NULL) CloseHandle(sampler);

  RunPropertySheet(instance);

  for (uint32_t i = 0; i < kGaugeIconCount; ++i) {
    if (g_state.icons[i] != NULL) DestroyIcon(g_state.icons[i]);
  }
  return 0;
}
