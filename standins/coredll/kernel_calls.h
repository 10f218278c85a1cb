// What the stand-in's kernel calls (kernel_calls.cpp) share with its
// multi-processor extension set (coredll_standin.cpp).
#ifndef SELVANE_STANDINS_COREDLL_KERNEL_CALLS_H
#define SELVANE_STANDINS_COREDLL_KERNEL_CALLS_H

#include <windows.h>

// With the `thread-rights` setting, false (and ERROR_ACCESS_DENIED) when
// `thread` came from this library's OpenThread without `right`. Other
// handles (the thread's own, CreateThread's) may do everything.
bool ThreadHandleAllows(HANDLE thread, DWORD right);

// The idle ms of the machine's first processor; false when unreadable.
bool FirstProcessorIdle(DWORD* idleMs);

#endif
