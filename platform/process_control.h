// Process control: the access rights a process or thread handle asks for,
// and the "Set Priority" levels. On desktop a level is a priority class; the
// device has no classes, so there it is the level of every thread.
#ifndef SELVANE_PLATFORM_PROCESS_CONTROL_H
#define SELVANE_PLATFORM_PROCESS_CONTROL_H

#include <windows.h>

#include "platform/fixed_width.h"

// The device takes no access rights for a process ("not supported; set to
// zero", ee488418) but grants a thread's only as far as they are asked
// (ee488755); the desktop grants only what is asked. A command's handle is
// also waited on (the thread list follows its process until it exits).
#ifdef SELVANE_DEVICE
const DWORD kProcessQueryAccess = 0;
const DWORD kProcessCommandAccess = 0;
const DWORD kThreadQueryAccess = THREAD_QUERY_INFORMATION;
const DWORD kThreadSetAccess = THREAD_QUERY_INFORMATION | THREAD_SET_INFORMATION;
#else
const DWORD kProcessQueryAccess = PROCESS_QUERY_INFORMATION;
const DWORD kProcessCommandAccess =
    PROCESS_TERMINATE | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;
const DWORD kThreadQueryAccess = THREAD_QUERY_INFORMATION;
#endif

// Sets level `level` (kPriorityHigh, kPriorityNormal, kPriorityLow) for the
// process `process` names; `processId` finds the device's threads, of which
// those at a real-time or driver level are left where they are, and counted
// in `*kept`. False (`*kept` untouched) when the platform refuses it.
BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level, uint32_t* kept);

// A thread's priority as the platform numbers it: -15..15 on the desktop,
// the level 0..255 on the device. False when it cannot be read.
bool ReadThreadPriority(HANDLE thread, int32_t* priority);

// The level the process runs at, or kPriorityUnknown.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId);

#endif
