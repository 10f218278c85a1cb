#include "sampler/sample_cycle.h"

#include "ui/performance/history_geometry.h"

static void Advance(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  results->statusReady = 0;
  if (readings->hardware != NULL) {
    FormatHardwareStatus(*readings->hardware, state->reportBuffer, kReportBufferChars);
    results->statusReady = 1;
    const float previous = LoadShared(*state->frequencyScale);
    StoreShared(state->frequencyScale, ComputeFrequencyScale(readings->hardware->usage[kDomainCpu - 1], previous));
  }

  LoadSample* sample = state->loadSample;
  StoreShared(&sample->memLoad, ComputeMemLoad(readings->memory.loadPercent));
  IdleCounters* idle = state->idle;
  for (uint32_t i = 0; i < kMaxProcessors; ++i) idle->curIdle[i] = readings->idle[i];
  idle->curUnread = readings->unread;
  AdvanceCpuLoads(idle, readings->nowMs, state->processorCount, LoadShared(*state->frequencyScale), readings->off,
                  sample);
  idle->prevTick = readings->nowMs;

  float cpuLoads[kMaxProcessors];
  for (uint32_t i = 0; i < kMaxProcessors; ++i) cpuLoads[i] = LoadShared(sample->cpuLoad[i]);
  const float memLoad = LoadShared(sample->memLoad);
  const uint32_t off = LoadShared(sample->poweredOff);
  const ClientSize* sizes = readings->sizes;
  PagePictures* pictures = state->pictures;
  if (readings->graphs & (1u << kGraphCpuGauge)) {
    ComputeCpuGaugePicture(sizes[kGraphCpuGauge].width, sizes[kGraphCpuGauge].height, state->processorCount, cpuLoads,
                           off, &pictures->cpuGauge);
    MarkPictureDrawn(pictures, kGraphCpuGauge);
  }
  if (readings->graphs & (1u << kGraphCpuHistory)) {
    pictures->cpuSeries = AdvanceCpuHistory(state->cpuHistory, state->cpuHistoryReset, sizes[kGraphCpuHistory].width,
                                            sizes[kGraphCpuHistory].height, state->processorCount, cpuLoads, off);
    MarkPictureDrawn(pictures, kGraphCpuHistory);
  }
  if (readings->graphs & (1u << kGraphMemGauge)) {
    ComputeMemoryGaugePicture(sizes[kGraphMemGauge].width, sizes[kGraphMemGauge].height, memLoad, &pictures->memGauge);
    MarkPictureDrawn(pictures, kGraphMemGauge);
  }
  if (readings->graphs & (1u << kGraphMemHistory)) {
    AdvanceMemoryHistory(state->memHistory, state->memHistoryReset, sizes[kGraphMemHistory].width,
                         sizes[kGraphMemHistory].height, memLoad);
    MarkPictureDrawn(pictures, kGraphMemHistory);
  }

  if (readings->pass != NULL) {
    const PassSettings settings = {state->processorCount,          state->machineProcessors, readings->nowMs,
                                   state->processTimesFromThreads, readings->listsPaused,    readings->listOrder};
    UpdateProcessTable(state->processTable, state->threadTable, readings->pass, &settings);
    UpdateProcessView(state->processView, state->processTable, &settings);
  }
}

void AdvanceCycle(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  EnterStateLock(state->lock);
  Advance(state, readings, results);
  LeaveStateLock(state->lock);
}
