// The Processes page: the live process list, the thread list and the context menu.
#ifndef SELVANE_UI_PROCESSES_PROCESSES_PAGE_H
#define SELVANE_UI_PROCESSES_PROCESSES_PAGE_H

#include "platform/win32.h"

INT_PTR CALLBACK ProcessesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
