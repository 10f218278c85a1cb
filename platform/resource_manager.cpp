#include "platform/resource_manager.h"

#include "app/monitor_state.h"
#include "platform/win32.h"

ResourceManager g_resourceManager;

// Looks up `name` into `slot`; a missing name is reported and leaves it null.
template <typename Function>
static void Bind(HMODULE library, const wchar_t* name, const char* printable, Function* slot) {
  *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddressW(library, name)));
  if (*slot == NULL) WriteDiagnostic("%s\r\n", printable);
}

#define BIND_ENTRY(library, entry) Bind(library, L## #entry, #entry, &g_resourceManager.entry)

void BindResourceManagerFrom(const wchar_t* libraryName) {
  g_resourceManager = ResourceManager();
  // Stays loaded, and the connection open, for the life of the process.
  HMODULE library = LoadLibraryW(libraryName);
  if (library == NULL) return;
  BIND_ENTRY(library, NvRmOpen);
  BIND_ENTRY(library, NvRmClose);
  BIND_ENTRY(library, NvRmMemGetStat);
  BIND_ENTRY(library, NvRmDfsGetClockUtilization);
  BIND_ENTRY(library, NvRmDiagGetTemperature);
  BIND_ENTRY(library, NvRmDfsGetState);
  BIND_ENTRY(library, NvRmDfsSetState);
  BIND_ENTRY(library, NvRmDfsSetLowCorner);
  BIND_ENTRY(library, NvRmDfsSetTarget);
  BIND_ENTRY(library, NvRmDfsSetCpuEnvelope);
  BIND_ENTRY(library, NvRmDfsSetEmcEnvelope);
  BIND_ENTRY(library, NvRmDfsSetCpuEmcHighCorner);
  BIND_ENTRY(library, NvRmDfsSetAvHighCorner);

  void* handle = NULL;
  if (g_resourceManager.NvRmOpen != NULL) g_resourceManager.NvRmOpen(&handle, kRmDeviceId);
  if (handle == NULL) WriteDiagnostic("g_rm\r\n");
  g_state.rmHandle = handle;
  // Available once loaded, with or without a handle: each figure then reads
  // whatever its query gives.
  g_state.rmAvailable = 1;
}

#undef BIND_ENTRY

void BindResourceManager() { BindResourceManagerFrom(RESOURCE_MANAGER_LIBRARY); }

bool DfsControlsAvailable() {
  return g_state.rmAvailable != 0 && g_resourceManager.NvRmDfsGetState != NULL &&
         g_resourceManager.NvRmDfsSetState != NULL && g_resourceManager.NvRmDfsSetTarget != NULL;
}
