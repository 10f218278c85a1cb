#include "sampler/sample_cycle.h"

#include "ui/performance/history_geometry.h"

// The record's figures of this cycle, its events not yet joined.
static void BuildRecordFigures(const CycleState* state, const CycleReadings* readings, RecordFigures* figures) {
  *figures = RecordFigures();
  figures->elapsedMs = state->events->elapsedMs;
  figures->processorCount = state->processorCount;
  for (uint32_t i = 0; i < kMaxProcessors; ++i) {
    figures->load[i] = LoadShared(state->loadSample->cpuLoad[i]);
    figures->busy[i] = state->idle->busy[i];
  }
  figures->noLoad = LoadShared(state->loadSample->noLoad);
  figures->hardware = readings->hardware;
  figures->memoryLoadPercent = readings->memory.loadPercent;
  figures->countsKnown = readings->counted || readings->pass != NULL ? 1 : 0;
  figures->processCount = readings->counted ? readings->processCount : state->processTable->processCount;
  figures->threadTotal = readings->counted ? readings->threadTotal : state->processTable->threadTotal;
}

// The clocks' events, the record's line and the triggers on it; the
// triggers' events join the line's last field.
static void AdvanceRecord(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  EventState* events = state->events;
  events->elapsedMs += readings->nowMs - events->lastMs;  // unsigned: the tick count's wrap is absorbed
  events->lastMs = readings->nowMs;
  const uint32_t cycle = ++events->cycle;
  results->cycle = cycle;
  WatchClocks(&events->watch, &events->log, cycle, readings->dfsState,
              readings->hardware != NULL ? readings->hardware->usage : NULL, events->notes, events->noteCount);
  events->noteCount = 0;

  RecordFigures* figures = &results->figures;
  BuildRecordFigures(state, readings, figures);
  results->fired = 0;
  results->lineLength = 0;
  results->line[0] = '\0';
  // The histories' marks need the cycle's events with or without a record.
  if (!state->recordOn) {
    JoinCycleEvents(events->log, cycle, figures->events, kEventsFieldChars);
    return;
  }
  if (events->ruleCount > 0 && FormatRecordLine(results->line, kRecordLineChars, *figures) > 0) {
    for (uint32_t r = 0; r < events->ruleCount; ++r) {
      TriggerRule* rule = &events->rules[r];
      double value = 0.0;
      const bool known = RecordFieldNumber(results->line, rule->field, &value);
      if (StepTrigger(rule, known, value)) {
        AddEvent(&events->log, cycle, EVENT_TRIGGER, rule->eventText);
        results->fired |= 1u << r;
      }
    }
  }
  JoinCycleEvents(events->log, cycle, figures->events, kEventsFieldChars);
  figures->dfsTransitions = events->log.dfsTransitions;
  figures->ruleCount = events->ruleCount;
  for (uint32_t r = 0; r < events->ruleCount; ++r) figures->ruleFires[r] = events->rules[r].fired;
  results->lineLength = FormatRecordLine(results->line, kRecordLineChars, *figures);
}

// A history's marks step with it; a cycle it did not step in keeps its event for the next.
static void AdvanceMarks(HistoryMarks* marks, bool stepped, bool laidOut, bool hadEvent) {
  if (laidOut) *marks = HistoryMarks();
  if (stepped) {
    StepHistoryMarks(marks, hadEvent);
  } else {
    HoldHistoryMark(marks, hadEvent);
  }
}

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

  if (readings->pass != NULL) {
    const PassSettings settings = {state->processorCount,          state->machineProcessors, readings->nowMs,
                                   state->processTimesFromThreads, readings->listsPaused,    readings->listOrder};
    UpdateProcessTable(state->processTable, state->threadTable, readings->pass, &settings);
    UpdateProcessView(state->processView, state->processTable, &settings);
  }

  AdvanceRecord(state, readings, results);
  const bool hadEvent = results->figures.events[0] != '\0';

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
  const bool cpuStep = (readings->graphs & (1u << kGraphCpuHistory)) != 0;
  AdvanceMarks(state->cpuMarks, cpuStep, cpuStep && *state->cpuHistoryReset, hadEvent);
  if (cpuStep) {
    pictures->cpuSeries = AdvanceCpuHistory(state->cpuHistory, state->cpuHistoryReset, sizes[kGraphCpuHistory].width,
                                            sizes[kGraphCpuHistory].height, state->processorCount, cpuLoads, off);
    MarkPictureDrawn(pictures, kGraphCpuHistory);
  }
  if (readings->graphs & (1u << kGraphMemGauge)) {
    ComputeMemoryGaugePicture(sizes[kGraphMemGauge].width, sizes[kGraphMemGauge].height, memLoad, &pictures->memGauge);
    MarkPictureDrawn(pictures, kGraphMemGauge);
  }
  const bool memStep = (readings->graphs & (1u << kGraphMemHistory)) != 0;
  AdvanceMarks(state->memMarks, memStep, memStep && *state->memHistoryReset, hadEvent);
  if (memStep) {
    AdvanceMemoryHistory(state->memHistory, state->memHistoryReset, sizes[kGraphMemHistory].width,
                         sizes[kGraphMemHistory].height, memLoad);
    MarkPictureDrawn(pictures, kGraphMemHistory);
  }
}

void AdvanceCycle(const CycleState* state, const CycleReadings* readings, CycleResults* results) {
  EnterStateLock(state->lock);
  Advance(state, readings, results);
  LeaveStateLock(state->lock);
}
