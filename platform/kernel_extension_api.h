// Call shapes of the kernel extension set, shared by the program and the
// desktop stand-in that exports it.
#ifndef SELVANE_PLATFORM_KERNEL_EXTENSION_API_H
#define SELVANE_PLATFORM_KERNEL_EXTENSION_API_H

#include <windows.h>

// Affinity values: 0 = any processor, n = processor n only (1..4).
typedef BOOL(WINAPI* PFN_CeGetThreadAffinity)(HANDLE thread, DWORD* affinity);
typedef BOOL(WINAPI* PFN_CeSetThreadAffinity)(HANDLE thread, DWORD affinity);
typedef BOOL(WINAPI* PFN_CeGetProcessAffinity)(HANDLE process, DWORD* affinity);
typedef BOOL(WINAPI* PFN_CeSetProcessAffinity)(HANDLE process, DWORD affinity);
typedef DWORD(WINAPI* PFN_CeGetProcessorState)(DWORD processor);
typedef BOOL(WINAPI* PFN_CePowerOffProcessor)(DWORD processor, DWORD flags);
typedef BOOL(WINAPI* PFN_CePowerOnProcessor)(DWORD processor);
// Processors count from 1. Non-zero on success.
typedef BOOL(WINAPI* PFN_CeGetIdleTimeEx)(DWORD processor, DWORD* idleMs);
typedef DWORD(WINAPI* PFN_GetUserKData)(DWORD offset);

#endif
