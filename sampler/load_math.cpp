#include "sampler/load_math.h"

float ComputeCpuLoad(uint32_t elapsedMs, uint32_t idleDeltaMs, float frequencyScale, float previous) {
  if (elapsedMs == 0) return previous;
  const uint32_t busy = idleDeltaMs > elapsedMs ? 0u : elapsedMs - idleDeltaMs;
  return (static_cast<float>(busy) / static_cast<float>(elapsedMs)) * frequencyScale;
}

float ComputeMemLoad(uint32_t loadPercent) { return static_cast<float>(loadPercent) * kFractionPerPercent; }

void AdvanceCpuLoads(IdleCounters* counters, uint32_t now, uint32_t count, float frequencyScale, uint32_t off,
                     LoadSample* sample) {
  if (count > kMaxProcessors) count = kMaxProcessors;
  const uint32_t elapsed = now - counters->prevTick;
  // An off processor's frozen count is no measure, and nor is the interval
  // in which it came back.
  counters->curUnread |= off;
  const uint32_t unread = counters->prevUnread | counters->curUnread;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t idleDelta = counters->curIdle[i] - counters->prevIdle[i];
    const float previous = LoadShared(sample->cpuLoad[i]);
    const float load = (unread >> i) & 1u ? 0.0f : ComputeCpuLoad(elapsed, idleDelta, frequencyScale, previous);
    StoreShared(&sample->cpuLoad[i], load);
    counters->busy[i] =
        (unread >> i) & 1u ? 0.0f : ComputeCpuLoad(elapsed, idleDelta, kFullClockScale, counters->busy[i]);
    counters->prevIdle[i] = counters->curIdle[i];
  }
  const uint32_t processors = count >= 32 ? ~0u : (1u << count) - 1;
  StoreShared(&sample->noLoad, unread & processors);
  StoreShared(&sample->poweredOff, off & processors);
  counters->prevUnread = counters->curUnread;
  counters->curUnread = 0;
}

bool IdleCountsAbsent(const uint32_t* previous, const uint32_t* current, uint32_t count) {
  if (count == 0) return false;
  for (uint32_t i = 0; i < count && i < kMaxProcessors; ++i) {
    if (previous[i] != 0 || current[i] != 0) return false;
  }
  return true;
}
