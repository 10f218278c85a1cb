// Stand-in for the device SDK's tlhelp32.h (toolhelp.dll): its records are
// wide and carry the device's own fields after the name, so PROCESSENTRY32 is
// 564 bytes there, and a snapshot is closed with CloseToolhelp32Snapshot.
// learn.microsoft.com/en-us/previous-versions/windows/embedded/ee487995(v=winembedded.60)
#ifndef SELVANE_DEVICE_SDK_TLHELP32_H
#define SELVANE_DEVICE_SDK_TLHELP32_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TH32CS_SNAPPROCESS 0x00000002
#define TH32CS_SNAPTHREAD 0x00000004
#define TH32CS_SNAPNOHEAPS 0x40000000

// learn.microsoft.com/en-us/previous-versions/windows/embedded/aa911518(v=msdn.10)
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

// learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488795(v=winembedded.60)
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

#ifdef __cplusplus
}
#endif

#endif
