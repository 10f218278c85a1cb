// The device's own API that the desktop's headers lack, as the platform
// documents it: what the program calls and nothing more. The device's SDK
// declares all of this itself; the device-check build compiles against these
// declarations instead, with the desktop's <windows.h> for the rest.
#ifndef SELVANE_PLATFORM_DEVICE_CE_API_H
#define SELVANE_PLATFORM_DEVICE_CE_API_H

#include <windows.h>

extern "C" {

// Milliseconds the processor has been idle since start.
DWORD WINAPI GetIdleTime(void);

// Writes to the debug serial port.
void NKDbgPrintfW(LPCWSTR format, ...);

// Entry-point lookup by wide name.
FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR name);

// Toolhelp: the device's records are wide and carry its own fields after the
// name, so PROCESSENTRY32 is 564 bytes there (the desktop's differs).
constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
constexpr DWORD TH32CS_SNAPTHREAD = 0x00000004;

typedef struct tagPROCESSENTRY32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  DWORD th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];
  DWORD th32MemoryBase;
  DWORD th32AccessKey;
} PROCESSENTRY32, *LPPROCESSENTRY32;

typedef struct tagTHREADENTRY32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ThreadID;
  DWORD th32OwnerProcessID;
  LONG tpBasePri;
  LONG tpDeltaPri;
  DWORD dwFlags;
  DWORD th32AccessKey;
  DWORD th32CurrentProcessID;
} THREADENTRY32, *LPTHREADENTRY32;

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL WINAPI CloseToolhelp32Snapshot(HANDLE snapshot);
BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL WINAPI Thread32First(HANDLE snapshot, LPTHREADENTRY32 entry);
BOOL WINAPI Thread32Next(HANDLE snapshot, LPTHREADENTRY32 entry);

}  // extern "C"

#endif
