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

// Binds the set from the platform's core library and sets processorCount.
void BindKernelExtensions();

// The same from a named library (the stand-in's variants in tests).
void BindKernelExtensionsFrom(const wchar_t* library);

#endif
