#include "sampler/sample_cycle.h"

#include "ui/performance/history_geometry.h"

static void Advance(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  results->statusReady = 0;
  if (readings->hardware != nullptr) {
    FormatHardwareStatus(*readings->hardware, state->reportBuffer, kReportBufferChars);
    results->statusReady = 1;
    const float previous = state->frequencyScale->load(std::memory_order_relaxed);
    state->frequencyScale->store(ComputeFrequencyScale(readings->hardware->usage[kDomainCpu - 1], previous),
                                 std::memory_order_relaxed);
  }

  LoadSample* sample = state->loadSample;
  sample->memLoad.store(ComputeMemLoad(readings->memory.loadPercent), std::memory_order_relaxed);
  IdleCounters* idle = state->idle;
  for (uint32_t i = 0; i < kMaxProcessors; ++i) idle->curIdle[i] = readings->idle[i];
  idle->curUnread = readings->unread;
  AdvanceCpuLoads(idle, readings->nowMs, state->processorCount,
                  state->frequencyScale->load(std::memory_order_relaxed), sample);
  idle->prevTick = readings->nowMs;

  float cpuLoads[kMaxProcessors];
  for (uint32_t i = 0; i < kMaxProcessors; ++i) cpuLoads[i] = sample->cpuLoad[i].load(std::memory_order_relaxed);
  const float memLoad = sample->memLoad.load(std::memory_order_relaxed);
  const ClientSize* sizes = readings->sizes;
  PagePictures* pictures = state->pictures;
  if (readings->graphs & (1u << kGraphCpuGauge)) {
    ComputeCpuGaugePicture(sizes[kGraphCpuGauge].width, sizes[kGraphCpuGauge].height, state->processorCount,
                           cpuLoads, &pictures->cpuGauge);
    MarkPictureDrawn(pictures, kGraphCpuGauge);
  }
  if (readings->graphs & (1u << kGraphCpuHistory)) {
    pictures->cpuSeries = AdvanceCpuHistory(state->cpuHistory, state->cpuHistoryReset, sizes[kGraphCpuHistory].width,
                                            sizes[kGraphCpuHistory].height, state->processorCount, cpuLoads);
    MarkPictureDrawn(pictures, kGraphCpuHistory);
  }
  if (readings->graphs & (1u << kGraphMemGauge)) {
    ComputeMemoryGaugePicture(sizes[kGraphMemGauge].width, sizes[kGraphMemGauge].height, memLoad,
                              &pictures->memGauge);
    MarkPictureDrawn(pictures, kGraphMemGauge);
  }
  if (readings->graphs & (1u << kGraphMemHistory)) {
    AdvanceMemoryHistory(state->memHistory, state->memHistoryReset, sizes[kGraphMemHistory].width,
                         sizes[kGraphMemHistory].height, memLoad);
    MarkPictureDrawn(pictures, kGraphMemHistory);
  }

  if (readings->pass != nullptr) {
    const PassSettings settings = {state->processorCount, readings->nowMs, state->processTimesFromThreads};
    UpdateProcessTable(state->processTable, state->threadTable, readings->pass, &settings);
  }
}

void AdvanceCycle(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  WithStateLock(state->lock, [&] { Advance(state, readings, results); });
}
