// Desktop stand-in for the device kernel's multi-processor extension set.
//
// Idle times are the kernel's own per-processor figures
// (NtQuerySystemInformation, which Wine fills from /proc/stat); affinity maps
// 0 to "every processor" and n to "processor n only" over the process and
// thread affinity masks, which Wine applies to the Linux threads.
//
// Its test settings (another processor count, a failing idle query) are in
// standin_settings.h. The device's other kernel calls are in kernel_calls.cpp.
#include <windows.h>
#include <winternl.h>

#include <type_traits>

#include "platform/kernel_extension_api.h"
#include "standins/coredll/kernel_calls.h"
#include "standins/standin_settings.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

static constexpr DWORD kUserKDataProcessorCount = 0x88;
static constexpr DWORD kMaxQueriedProcessors = 64;
static constexpr SYSTEM_INFORMATION_CLASS kProcessorPerformance =
    static_cast<SYSTEM_INFORMATION_CLASS>(8);  // SystemProcessorPerformanceInformation

struct ThreadBasics {
  NTSTATUS exitStatus;
  PVOID tebBaseAddress;
  CLIENT_ID clientId;
  ULONG_PTR affinityMask;
  LONG priority;
  LONG basePriority;
};

static DWORD MachineProcessors() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

static DWORD ReportedProcessors() {
  unsigned long count = 0;
  return StandinSetting("processors", &count) ? static_cast<DWORD>(count) : MachineProcessors();
}

// Affinity value (0, or processor n) to a mask within `systemMask`; 0 when impossible.
static DWORD_PTR AffinityToMask(DWORD affinity, DWORD_PTR systemMask) {
  if (affinity == 0) return systemMask;
  if (affinity > sizeof(DWORD_PTR) * 8) return 0;
  return (static_cast<DWORD_PTR>(1) << (affinity - 1)) & systemMask;
}

// A mask to an affinity value: n for a single processor n, else 0 (no binding).
static DWORD MaskToAffinity(DWORD_PTR mask, DWORD_PTR systemMask) {
  if (mask == 0 || mask == systemMask || (mask & (mask - 1)) != 0) return 0;
  DWORD processor = 1;
  while ((mask & 1) == 0) {
    mask >>= 1;
    ++processor;
  }
  return processor;
}

STANDIN_EXPORT BOOL WINAPI CeGetThreadAffinity(HANDLE thread, DWORD* affinity) {
  if (!ThreadHandleAllows(thread, THREAD_QUERY_INFORMATION)) return FALSE;
  ThreadBasics info;
  if (NtQueryInformationThread(thread, ThreadBasicInformation, &info, sizeof info, nullptr) != 0) {
    return FALSE;
  }
  DWORD_PTR processMask, systemMask;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) return FALSE;
  *affinity = MaskToAffinity(info.affinityMask, systemMask);
  // "Zero indicates that no affinity is set" (gg154427).
  return *affinity != 0;
}

STANDIN_EXPORT BOOL WINAPI CeSetThreadAffinity(HANDLE thread, DWORD affinity) {
  if (!ThreadHandleAllows(thread, THREAD_SET_INFORMATION)) return FALSE;
  DWORD_PTR processMask, systemMask;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) return FALSE;
  const DWORD_PTR mask = AffinityToMask(affinity, systemMask);
  if (mask == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetThreadAffinityMask(thread, mask) != 0;
}

STANDIN_EXPORT BOOL WINAPI CeGetProcessAffinity(HANDLE process, DWORD* affinity) {
  DWORD_PTR processMask, systemMask;
  if (!GetProcessAffinityMask(process, &processMask, &systemMask)) return FALSE;
  *affinity = MaskToAffinity(processMask, systemMask);
  return TRUE;
}

STANDIN_EXPORT BOOL WINAPI CeSetProcessAffinity(HANDLE process, DWORD affinity) {
  DWORD_PTR processMask, systemMask;
  if (!GetProcessAffinityMask(process, &processMask, &systemMask)) return FALSE;
  const DWORD_PTR mask = AffinityToMask(affinity, systemMask);
  if (mask == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetProcessAffinityMask(process, mask);
}

// Processor states as the device reports them: 0 off (or no such processor), 1 running.
STANDIN_EXPORT DWORD WINAPI CeGetProcessorState(DWORD processor) {
  return processor >= 1 && processor <= ReportedProcessors() ? 1 : 0;
}

// The desktop cannot power processors off; every processor stays on.
STANDIN_EXPORT BOOL WINAPI CePowerOffProcessor(DWORD, DWORD) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

STANDIN_EXPORT BOOL WINAPI CePowerOnProcessor(DWORD processor) {
  if (processor < 1 || processor > ReportedProcessors()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;  // already running
}

STANDIN_EXPORT BOOL WINAPI CeGetIdleTimeEx(DWORD processor, DWORD* idleMs) {
  unsigned long failing = 0;
  if (StandinSetting("idle-fails", &failing) && processor == failing) return FALSE;
  if (processor < 1 || processor > ReportedProcessors()) return FALSE;
  const DWORD machine = MachineProcessors();
  const DWORD index = (processor - 1) % machine;
  if (index >= kMaxQueriedProcessors) return FALSE;
  SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION info[kMaxQueriedProcessors];
  ULONG length = 0;
  if (NtQuerySystemInformation(kProcessorPerformance, info, sizeof info, &length) != 0) return FALSE;
  if (length < (index + 1) * sizeof info[0]) return FALSE;
  // 100 ns units to ms; the 32-bit result wraps like the tick count.
  *idleMs = static_cast<DWORD>(static_cast<ULONGLONG>(info[index].IdleTime.QuadPart) / 10000u);
  return TRUE;
}

STANDIN_EXPORT DWORD WINAPI __GetUserKData(DWORD offset) {
  return offset == kUserKDataProcessorCount ? ReportedProcessors() : 0;
}

// The exports keep the program's call shapes.
#define STANDIN_SAME_SHAPE(function, type) \
  static_assert(std::is_same<decltype(&function), type>::value, #function " call shape")
STANDIN_SAME_SHAPE(CeGetThreadAffinity, PFN_CeGetThreadAffinity);
STANDIN_SAME_SHAPE(CeSetThreadAffinity, PFN_CeSetThreadAffinity);
STANDIN_SAME_SHAPE(CeGetProcessAffinity, PFN_CeGetProcessAffinity);
STANDIN_SAME_SHAPE(CeSetProcessAffinity, PFN_CeSetProcessAffinity);
STANDIN_SAME_SHAPE(CeGetProcessorState, PFN_CeGetProcessorState);
STANDIN_SAME_SHAPE(CePowerOffProcessor, PFN_CePowerOffProcessor);
STANDIN_SAME_SHAPE(CePowerOnProcessor, PFN_CePowerOnProcessor);
STANDIN_SAME_SHAPE(CeGetIdleTimeEx, PFN_CeGetIdleTimeEx);
STANDIN_SAME_SHAPE(__GetUserKData, PFN_GetUserKData);
