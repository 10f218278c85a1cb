// The device's toolhelp records and flags as its reference gives them, under
// names of their own so that they sit beside the desktop's <tlhelp32.h>
// (whose records differ) in one program: the stand-in and its tests.
#ifndef SELVANE_STANDINS_TOOLHELP_CE_TOOLHELP_H
#define SELVANE_STANDINS_TOOLHELP_CE_TOOLHELP_H

#include <windows.h>

#include <cstddef>

// CreateToolhelp32Snapshot's flags (TH32CS_*).
constexpr DWORD kCeSnapHeapList = 0x00000001;
constexpr DWORD kCeSnapProcess = 0x00000002;
constexpr DWORD kCeSnapThread = 0x00000004;
constexpr DWORD kCeSnapModule = 0x00000008;
constexpr DWORD kCeSnapAll = kCeSnapHeapList | kCeSnapProcess | kCeSnapThread | kCeSnapModule;
constexpr DWORD kCeSnapNoHeaps = 0x40000000;
constexpr DWORD kCeGetAllMods = 0x80000000;

// PROCESSENTRY32: https://learn.microsoft.com/en-us/previous-versions/aa911518(v=msdn.10)
// Every field is 32 bits and the name is wide, so 64-bit builds lay it out
// as the device does.
struct CeProcessEntry32 {
  DWORD dwSize;
  DWORD cntUsage;  // "must be set to 1"
  DWORD th32ProcessID;
  DWORD th32DefaultHeapID;
  DWORD th32ModuleID;  // "must be 0"
  DWORD cntThreads;
  DWORD th32ParentProcessID;  // "must be 0"
  LONG pcPriClassBase;        // "always THREAD_PRIORITY_NORMAL"
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];
  DWORD th32MemoryBase;
  DWORD th32AccessKey;
};
constexpr size_t kCeProcessEntryBytes = 564;
static_assert(sizeof(CeProcessEntry32) == kCeProcessEntryBytes, "the device's PROCESSENTRY32");
static_assert(offsetof(CeProcessEntry32, th32MemoryBase) == 556, "th32MemoryBase after the name");

// THREADENTRY32: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488795(v=winembedded.60)
struct CeThreadEntry32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ThreadID;
  DWORD th32OwnerProcessID;
  LONG tpBasePri;   // 0-255
  LONG tpDeltaPri;  // signed, from tpBasePri
  DWORD dwFlags;
  DWORD th32AccessKey;
  DWORD th32CurrentProcessID;
};
constexpr size_t kCeThreadEntryBytes = 36;
static_assert(sizeof(CeThreadEntry32) == kCeThreadEntryBytes, "the device's THREADENTRY32");

// The exports' call shapes, for a program that binds them by name.
typedef HANDLE(WINAPI* CeCreateSnapshotFunction)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* CeCloseSnapshotFunction)(HANDLE snapshot);
typedef BOOL(WINAPI* CeProcessStepFunction)(HANDLE snapshot, CeProcessEntry32* entry);
typedef BOOL(WINAPI* CeThreadStepFunction)(HANDLE snapshot, CeThreadEntry32* entry);

#endif
