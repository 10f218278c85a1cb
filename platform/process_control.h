// Process control: the access rights a process or thread handle asks for,
// and the "Set Priority" levels. On desktop a level is a priority class; the
// device has no classes, so there it is the level of every thread.
#ifndef SELVANE_PLATFORM_PROCESS_CONTROL_H
#define SELVANE_PLATFORM_PROCESS_CONTROL_H

#include <windows.h>

#include <cstdint>

// The device takes no access rights; the desktop grants only what is asked.
// A command's handle is also waited on (the thread list follows its process
// until it exits).
#ifdef _WIN32_WCE
constexpr DWORD kProcessQueryAccess = 0;
constexpr DWORD kProcessCommandAccess = 0;
constexpr DWORD kThreadQueryAccess = 0;
#else
constexpr DWORD kProcessQueryAccess = PROCESS_QUERY_INFORMATION;
constexpr DWORD kProcessCommandAccess =
    PROCESS_TERMINATE | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;
constexpr DWORD kThreadQueryAccess = THREAD_QUERY_INFORMATION;
#endif

// Sets level `level` (kPriorityHigh, kPriorityNormal, kPriorityLow) for the
// process `process` names; `processId` finds the device's threads. False
// when the platform refuses it.
BOOL SetProcessPriorityLevel(HANDLE process, uint32_t processId, uint32_t level);

// The level the process runs at, or kPriorityUnknown.
uint32_t ReadProcessPriorityLevel(HANDLE process, uint32_t processId);

#endif
