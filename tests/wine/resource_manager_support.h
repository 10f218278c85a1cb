// Helpers of the tests that drive the simulated resource manager.
#ifndef SELVANE_TESTS_WINE_RESOURCE_MANAGER_SUPPORT_H
#define SELVANE_TESTS_WINE_RESOURCE_MANAGER_SUPPORT_H

#include <string>

#include "platform/resource_manager.h"
#include "platform/win32.h"
#include "sampler/status_format.h"

// Fresh state, then the named stand-in bound from the program's folder.
void BindStandIn(const wchar_t* library);

// The recording variant's log since the last take, one line per call.
std::string TakeCallLog(const wchar_t* library);

// The Performance page from its real template, not yet shown.
HWND CreatePerformancePage();

bool IsShown(HWND page, int id);  // the control's own WS_VISIBLE
bool IsChecked(HWND page, int id);
std::wstring ControlText(HWND page, int id);

// One clock domain's record as the library gives it now.
ClockUsage ReadClock(uint32_t domain);

// Everything the status report reads, straight from the library.
HardwareReadings ReadAll();
bool SameReadings(const HardwareReadings& a, const HardwareReadings& b);

#endif
