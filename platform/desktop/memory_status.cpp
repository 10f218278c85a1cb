#include "platform/memory_status.h"

#include <windows.h>

// GlobalMemoryStatus caps the desktop's counts at 4 GB.
void ReadMemoryStatus(MemoryFigures* figures) {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return;
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.ullTotalPhys;
  figures->availPhysical = status.ullAvailPhys;
}
