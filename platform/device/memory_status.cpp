#include "platform/memory_status.h"

#include <windows.h>

void ReadMemoryStatus(MemoryFigures* figures) {
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  figures->loadPercent = status.dwMemoryLoad;
  figures->totalPhysical = status.dwTotalPhys;
  figures->availPhysical = status.dwAvailPhys;
}
