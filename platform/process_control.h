// Process control: the access rights a process or thread handle asks for,
// and the "Set Priority" levels. On desktop a level is a priority class; the
// device has no classes, so there it is the level of every thread.
#ifndef SELVANE_PLATFORM_PROCESS_CONTROL_H
#define SELVANE_PLATFORM_PROCESS_CONTROL_H

#include <windows.h>

#include "platform/fixed_width.h"

// The device takes no access rights; the desktop grants only what is asked.
// A command's handle is also waited on (the thread list follows its process
// until it exits).
#ifdef _WIN32_WCE
const DWORD kProcessQueryAccess = 0;
const DWORD kProcessCommandAccess = 0;
const DWORD kThreadQueryAccess = 0;
#else
const DWORD kProcessQueryAccess = PROCESS_QUERY_INFORMATION;
const DWORD kProcessCommandAccess =
    PROCESS_TERMINATE | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;
const DWORD kThreadQueryAccess = THREAD_QUERY_INFORMATION;
#endif

// Sets level `level` (kPriorityHigh, kPriorityNormal, kPriorityLow) for the
// process `process` names; `processId` finds the device's threads. False
// when the platform refuses it.
BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level);

// The level the process runs at, or kPriorityUnknown.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId);

#endif
