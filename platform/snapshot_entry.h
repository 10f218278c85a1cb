// One process and one thread as a snapshot walk delivers them, each with what
// the platform knows of it. Pure: no Windows header.
#ifndef SELVANE_PLATFORM_SNAPSHOT_ENTRY_H
#define SELVANE_PLATFORM_SNAPSHOT_ENTRY_H

#include "app/constants.h"
#include "platform/fixed_width.h"

struct SnapshotEntry {
  uint32_t processId;
  uint32_t threadCount;
  uint32_t figures;                  // FIGURE_CPU_TIME and FIGURE_MEMORY: the walk gave that figure
  uint32_t affinity;                 // 0 = any processor, n = processor n; read by the pass with 2+ processors
  uint64_t cpuTime;                  // 100 ns, kernel + user
  uint64_t workingSet;               // bytes
  wchar_t name[kSnapshotNameChars];  // terminated within the array
};

// What the platform could tell of one thread; `figures` holds a FIGURE_* bit
// for each field that was read.
struct ThreadFigures {
  uint32_t figures;
  int32_t priority;
  uint32_t affinity;
  uint64_t cpuTime;  // 100 ns, kernel + user
};

struct SnapshotThread {
  uint32_t threadId;
  uint32_t ownerId;    // its process
  ThreadFigures read;  // none from the walk; the pass reads the threads it needs
};

#endif
