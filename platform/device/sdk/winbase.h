// Stand-in for the device SDK's winbase.h: the desktop's, then the device's
// own calls that it lacks.
#ifndef SELVANE_DEVICE_SDK_WINBASE_H
#define SELVANE_DEVICE_SDK_WINBASE_H

#include_next <winbase.h>

#ifdef __cplusplus
extern "C" {
#endif

// Milliseconds the system has been idle; MAXDWORD where the platform does not
// support it. learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488013(v=winembedded.60)
DWORD WINAPI GetIdleTime(void);

// An exported function by its Unicode name (GetProcAddress is this on the
// device). learn.microsoft.com/en-us/previous-versions/aa909168(v=msdn.10)
FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR procName);

// A thread's level, 0 (highest) to 255; the legacy Get/SetThreadPriority
// reach only 248-255 (bb202731, ms923856).
int WINAPI CeGetThreadPriority(HANDLE thread);
BOOL WINAPI CeSetThreadPriority(HANDLE thread, int priority);

#ifdef __cplusplus
}
#endif

#endif
