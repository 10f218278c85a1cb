// Where the platform keeps CPU times per thread only (the device), a
// process's CPU time is summed from its threads. A thread that exits would
// take its time with it and the process's CPU Time would go backwards, so
// each thread's last time is carried from pass to pass, and what an exited
// thread used stays with its process. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_THREAD_TIMES_H
#define SELVANE_UI_PROCESSES_THREAD_TIMES_H

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/snapshot_entry.h"

struct ThreadTime {
  uint32_t threadId;
  uint32_t ownerId;
  uint64_t cpuTime;  // 100 ns; kNoFigure: never read
};

// Every thread of the last pass, by thread id, and this pass's as it is
// gathered.
struct PassThreadTimes {
  ThreadTime last[kPassThreadCapacity];
  uint32_t lastCount;
  ThreadTime now[kPassThreadCapacity];
  uint32_t nowCount;
};

// Gathers this pass's `count` walked threads: each one's time as read, or as
// last read when it could not be read this time. Then calls `exited` with
// each thread of the last pass that is gone (or whose id another process
// has taken) and whose time was read, and makes this pass the last.
void AdvanceThreadTimes(PassThreadTimes* times, const SnapshotThread* threads, uint32_t count,
                        void (*exited)(void* context, const ThreadTime& thread), void* context);

#endif
