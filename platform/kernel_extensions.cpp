#include "platform/kernel_extensions.h"

#include "app/monitor_state.h"
#include "platform/win32.h"

KernelExtensions g_kernel;
PFN_GetProcessTimes g_getProcessTimes;

// Looks up `name`; returns false (and leaves `slot` null) when it is missing.
template <typename Function>
static bool Bind(HMODULE library, const wchar_t* name, Function* slot) {
  *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddressW(library, name)));
  return *slot != NULL;
}

void BindKernelExtensionsFrom(const wchar_t* libraryName) {
  g_kernel = KernelExtensions();
  // Stays loaded for the life of the process; a failed load fails every lookup.
  HMODULE library = LoadLibraryW(libraryName);
  // In this order; the first missing name ends the binding: the set is all or nothing.
  const bool whole = library != NULL && Bind(library, L"CeGetThreadAffinity", &g_kernel.CeGetThreadAffinity) &&
                     Bind(library, L"CeSetThreadAffinity", &g_kernel.CeSetThreadAffinity) &&
                     Bind(library, L"CeGetProcessAffinity", &g_kernel.CeGetProcessAffinity) &&
                     Bind(library, L"CeSetProcessAffinity", &g_kernel.CeSetProcessAffinity) &&
                     Bind(library, L"CeGetProcessorState", &g_kernel.CeGetProcessorState) &&
                     Bind(library, L"CePowerOffProcessor", &g_kernel.CePowerOffProcessor) &&
                     Bind(library, L"CePowerOnProcessor", &g_kernel.CePowerOnProcessor) &&
                     Bind(library, L"CeGetIdleTimeEx", &g_kernel.CeGetIdleTimeEx) &&
                     Bind(library, L"__GetUserKData", &g_kernel.GetUserKData);
  // The pages and the data model hold at most kMaxProcessors; a kernel that
  // reports none counts as one.
  uint32_t count = whole ? g_kernel.GetUserKData(kUserKDataProcessorCount) : 1;
  if (count == 0) count = 1;
  if (count > kMaxProcessors) count = kMaxProcessors;
  g_state.processorCount = count;
  g_getProcessTimes = NULL;
#ifdef SELVANE_DEVICE
  // gg155707 (Compact 2013); its absence leaves the thread sum in its place.
  if (library != NULL) Bind(library, L"GetProcessTimes", &g_getProcessTimes);
#endif
  // The CPU shares are of the whole machine, whatever the gauges can show.
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  g_state.machineProcessors = system.dwNumberOfProcessors > 0 ? system.dwNumberOfProcessors : 1;
}

void BindKernelExtensions() { BindKernelExtensionsFrom(KERNEL_EXTENSION_LIBRARY); }
