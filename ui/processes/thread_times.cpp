#include "ui/processes/thread_times.h"

#include <algorithm>

static bool ById(const ThreadTime& a, const ThreadTime& b) { return a.threadId < b.threadId; }

// The last pass's entry of `threadId`, or null.
static const ThreadTime* FindLast(const PassThreadTimes* times, uint32_t threadId) {
  ThreadTime key;
  key.threadId = threadId;
  const ThreadTime* end = times->last + times->lastCount;
  const ThreadTime* found = std::lower_bound(times->last, end, key, ById);
  return found != end && found->threadId == threadId ? found : NULL;
}

void AdvanceThreadTimes(PassThreadTimes* times, const SnapshotThread* threads, uint32_t count,
                        void (*exited)(void* context, const ThreadTime& thread), void* context) {
  times->nowCount = 0;
  for (uint32_t i = 0; i < count && i < kPassThreadCapacity; ++i) {
    ThreadTime* now = &times->now[times->nowCount++];
    now->threadId = threads[i].threadId;
    now->ownerId = threads[i].ownerId;
    now->cpuTime = kNoFigure;
    if (threads[i].read.figures & FIGURE_CPU_TIME) {
      now->cpuTime = threads[i].read.cpuTime;
    } else {
      const ThreadTime* last = FindLast(times, now->threadId);
      if (last != NULL && last->ownerId == now->ownerId) now->cpuTime = last->cpuTime;
    }
  }
  std::sort(times->now, times->now + times->nowCount, ById);

  // Both lists are in id order: one walk finds the threads that are gone.
  uint32_t n = 0;
  for (uint32_t l = 0; l < times->lastCount; ++l) {
    const ThreadTime& last = times->last[l];
    while (n < times->nowCount && times->now[n].threadId < last.threadId) ++n;
    const bool alive =
        n < times->nowCount && times->now[n].threadId == last.threadId && times->now[n].ownerId == last.ownerId;
    if (!alive && last.cpuTime != kNoFigure) exited(context, last);
  }
  std::copy(times->now, times->now + times->nowCount, times->last);
  times->lastCount = times->nowCount;
}
