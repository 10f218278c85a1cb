// Desktop stand-in for the device kernel's multi-processor extension set.
//
// Idle times are the kernel's own per-processor figures
// (NtQuerySystemInformation, which Wine fills from /proc/stat); affinity maps
// 0 to "every processor" and n to "processor n only" over the process and
// thread affinity masks, which Wine applies to the Linux threads.
//
// Processors are switched off and on as the power manager does
// (CePowerOffProcessor, CePowerOnProcessor), within this process; one that is
// off keeps its last idle count and refuses an affinity to it.
//
// Its test settings (another processor count, no idle time, a processor
// switched off from the start) are in standin_settings.h. The device's other
// kernel calls are in kernel_calls.cpp.
#include <windows.h>
#include <winternl.h>

#include <type_traits>

#include "platform/kernel_extension_api.h"
#include "standins/coredll/kernel_calls.h"
#include "standins/standin_settings.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

STANDIN_SETTINGS_EXPORT

static constexpr DWORD kUserKDataProcessorCount = 0x88;
static constexpr DWORD kMaxQueriedProcessors = 64;
static constexpr DWORD kSwitchableProcessors = 32;  // one bit each in a LONG
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

// Fixed for the process's life: asked once (each GetSystemInfo is several
// system queries under Wine, and a cycle validates a processor a dozen times).
static DWORD MachineProcessors() {
  static const DWORD count = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
  }();
  return count;
}

static DWORD ReportedProcessors() {
  unsigned long count = 0;
  return StandinSetting("processors", &count) ? static_cast<DWORD>(count) : MachineProcessors();
}

// CeGetProcessorState's answers, as kfuncs.h numbers them (gg156683).
static constexpr DWORD kStateFailed = 0, kStatePoweredOff = 1, kStatePoweredOn = 2;

// This process's power switches: bit p - 1 for processor p.
static LONG g_switchedOff;
static LONG g_switchedOn;  // overrules `processor-off`
// An off processor's idle count, kept from when it was first seen off.
static DWORD g_frozenIdle[kSwitchableProcessors];
static LONG g_frozenKnown;

static bool ValidProcessor(DWORD processor) { return processor >= 1 && processor <= ReportedProcessors(); }

static bool PoweredOff(DWORD processor) {
  if (!ValidProcessor(processor) || processor > kSwitchableProcessors) return false;
  const LONG bit = 1L << (processor - 1);
  unsigned long off = 0;
  const bool fromStart = StandinSetting("processor-off", &off) && off == processor && (g_switchedOn & bit) == 0;
  return fromStart || (g_switchedOff & bit) != 0;
}

// Affinity to a processor that is off: "not ready".
static bool RefusedAffinity(DWORD affinity) {
  if (affinity == 0 || !PoweredOff(affinity)) return false;
  SetLastError(ERROR_NOT_READY);
  return true;
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
  if (!ThreadHandleAllows(thread, THREAD_SET_INFORMATION) || RefusedAffinity(affinity)) return FALSE;
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
  if (RefusedAffinity(affinity)) return FALSE;
  DWORD_PTR processMask, systemMask;
  if (!GetProcessAffinityMask(process, &processMask, &systemMask)) return FALSE;
  const DWORD_PTR mask = AffinityToMask(affinity, systemMask);
  if (mask == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetProcessAffinityMask(process, mask);
}

// CeGetProcessorState: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/gg156683(v=winembedded.80)
STANDIN_EXPORT DWORD WINAPI CeGetProcessorState(DWORD processor) {
  if (!ValidProcessor(processor)) return kStateFailed;
  return PoweredOff(processor) ? kStatePoweredOff : kStatePoweredOn;
}

// CePowerOffProcessor and CePowerOnProcessor: the desktop's processor runs
// on; the kernel's answers change as if it stopped.
STANDIN_EXPORT BOOL WINAPI CePowerOffProcessor(DWORD processor, DWORD) {
  if (!ValidProcessor(processor) || processor > kSwitchableProcessors) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  InterlockedAnd(&g_switchedOn, ~(1L << (processor - 1)));
  InterlockedOr(&g_switchedOff, 1L << (processor - 1));
  return TRUE;
}

STANDIN_EXPORT BOOL WINAPI CePowerOnProcessor(DWORD processor) {
  if (!ValidProcessor(processor) || processor > kSwitchableProcessors) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  InterlockedAnd(&g_switchedOff, ~(1L << (processor - 1)));
  InterlockedOr(&g_switchedOn, 1L << (processor - 1));
  InterlockedAnd(&g_frozenKnown, ~(1L << (processor - 1)));
  return TRUE;
}

// The machine's processor times as last queried, and the tick of the query:
// a cycle asks each processor in turn, and one query within a millisecond
// answers them all (Wine reads /proc/stat for each, in 10 ms ticks).
static SRWLOCK g_idleLock = SRWLOCK_INIT;
static SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION g_idleTable[kMaxQueriedProcessors];
static ULONG g_idleLength;
static DWORD g_idleTick;
static bool g_idleKnown;

// Idle ms of the machine's processor `index` (from 0); false when it cannot be read.
static bool MachineIdle(DWORD index, DWORD* idleMs) {
  if (index >= kMaxQueriedProcessors) return false;
  AcquireSRWLockExclusive(&g_idleLock);
  const DWORD tick = GetTickCount();
  if (!g_idleKnown || tick != g_idleTick) {
    ULONG length = 0;
    g_idleKnown = NtQuerySystemInformation(kProcessorPerformance, g_idleTable, sizeof g_idleTable, &length) == 0;
    g_idleLength = g_idleKnown ? length : 0;
    g_idleTick = tick;
  }
  const bool known = g_idleKnown && g_idleLength >= (index + 1) * sizeof g_idleTable[0];
  // 100 ns units to ms; the 32-bit result wraps like the tick count.
  if (known) *idleMs = static_cast<DWORD>(static_cast<ULONGLONG>(g_idleTable[index].IdleTime.QuadPart) / 10000u);
  ReleaseSRWLockExclusive(&g_idleLock);
  return known;
}

bool FirstProcessorIdle(DWORD* idleMs) { return MachineIdle(0, idleMs); }

// CeGetIdleTimeEx: https://learn.microsoft.com/en-us/previous-versions/windows/embedded/gg154739(v=winembedded.80)
// No failure for a valid processor. Where the platform keeps no idle count
// (`no-idle-time`) it still succeeds, with 0; a processor that is off keeps
// its last count.
STANDIN_EXPORT BOOL WINAPI CeGetIdleTimeEx(DWORD processor, DWORD* idleMs) {
  if (!ValidProcessor(processor)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (StandinSetting("no-idle-time")) {
    *idleMs = 0;
    return TRUE;
  }
  const DWORD index = processor - 1;
  const LONG bit = index < kSwitchableProcessors ? 1L << index : 0;
  if (PoweredOff(processor) && (g_frozenKnown & bit) != 0) {
    *idleMs = g_frozenIdle[index];
    return TRUE;
  }
  DWORD value = 0;
  if (!MachineIdle(index % MachineProcessors(), &value)) return FALSE;
  if (PoweredOff(processor)) {
    g_frozenIdle[index] = value;
    InterlockedOr(&g_frozenKnown, bit);
  }
  *idleMs = value;
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
