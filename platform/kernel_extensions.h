// The optional multi-processor services of the kernel, bound by name at start.
#ifndef SELVANE_PLATFORM_KERNEL_EXTENSIONS_H
#define SELVANE_PLATFORM_KERNEL_EXTENSIONS_H

#include "platform/kernel_extension_api.h"

#define KERNEL_EXTENSION_LIBRARY L"coredll.dll"

// Null until bound. Called only while processorCount is 2 or more, which
// binding sets only when all nine were found.
struct KernelExtensions {
  PFN_CeGetThreadAffinity CeGetThreadAffinity;
  PFN_CeSetThreadAffinity CeSetThreadAffinity;
  PFN_CeGetProcessAffinity CeGetProcessAffinity;
  PFN_CeSetProcessAffinity CeSetProcessAffinity;
  PFN_CeGetProcessorState CeGetProcessorState;
  PFN_CePowerOffProcessor CePowerOffProcessor;
  PFN_CePowerOnProcessor CePowerOnProcessor;
  PFN_CeGetIdleTimeEx CeGetIdleTimeEx;
  PFN_GetUserKData GetUserKData;
};

extern KernelExtensions g_kernel;

// A process's whole CPU time as the kernel keeps it, its exited threads'
// included: Compact 2013's GetProcessTimes, which Compact 7 lacks, bound by
// name apart from the set on the device (null where missing). The desktop
// reads process times from the system's records instead.
typedef BOOL(WINAPI* PFN_GetProcessTimes)(HANDLE process, FILETIME* created, FILETIME* exited, FILETIME* kernel,
                                          FILETIME* user);
extern PFN_GetProcessTimes g_getProcessTimes;

// Binds the set from the platform's core library and sets processorCount;
// on the device also GetProcessTimes.
void BindKernelExtensions();

// The same from a named library (the stand-in's variants in tests).
void BindKernelExtensionsFrom(const wchar_t* library);

#endif
