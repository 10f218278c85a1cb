// The Performance page: gauges, graphs, totals, status text and the DFS controls.
#ifndef SELVANE_UI_PERFORMANCE_PERFORMANCE_PAGE_H
#define SELVANE_UI_PERFORMANCE_PERFORMANCE_PAGE_H

#include "platform/win32.h"

INT_PTR CALLBACK PerformancePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
