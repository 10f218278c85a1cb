// The chip's resource-manager library, bound by name at start.
#ifndef SELVANE_PLATFORM_RESOURCE_MANAGER_H
#define SELVANE_PLATFORM_RESOURCE_MANAGER_H

#include "platform/resource_manager_api.h"

#define RESOURCE_MANAGER_LIBRARY L"libnvrm.dll"

// Null until bound; each stays null when the library lacks it, and a null
// entry point is never called: its figure stays 0 or its control hidden.
struct ResourceManager {
  PFN_NvRmOpen NvRmOpen;
  PFN_NvRmClose NvRmClose;
  PFN_NvRmMemGetStat NvRmMemGetStat;
  PFN_NvRmDfsGetClockUtilization NvRmDfsGetClockUtilization;
  PFN_NvRmDiagGetTemperature NvRmDiagGetTemperature;
  PFN_NvRmDfsGetState NvRmDfsGetState;
  PFN_NvRmDfsSetState NvRmDfsSetState;
  PFN_NvRmDfsSetLowCorner NvRmDfsSetLowCorner;
  PFN_NvRmDfsSetTarget NvRmDfsSetTarget;
  PFN_NvRmDfsSetCpuEnvelope NvRmDfsSetCpuEnvelope;
  PFN_NvRmDfsSetEmcEnvelope NvRmDfsSetEmcEnvelope;
  PFN_NvRmDfsSetCpuEmcHighCorner NvRmDfsSetCpuEmcHighCorner;
  PFN_NvRmDfsSetAvHighCorner NvRmDfsSetAvHighCorner;
};

extern ResourceManager g_resourceManager;

// Loads the library, binds its entry points (one line on standard output for
// each that is missing), opens it ("g_rm" when that gives no handle) and sets
// rmHandle and rmAvailable. A library that does not load leaves everything
// unset and prints nothing.
void BindResourceManager();

// The same from a named library (the stand-in's variants in tests).
void BindResourceManagerFrom(const wchar_t* library);

// The scaling controls work only while the library is available and has all
// three of its state and target calls.
bool DfsControlsAvailable();

#endif
