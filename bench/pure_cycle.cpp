#include "bench/pure_cycle.h"

#include <cstring>
#include <cwchar>

namespace {

// Client sizes of the Performance page's controls as the desktop shows them,
// by kGraph*.
constexpr ClientSize kGraphSizes[kGraphCount] = {{80, 50}, {260, 50}, {46, 56}, {300, 56}};

// The simulated machine: clocks in kHz, a 1 GB memory, loads that move.
constexpr uint32_t kHighCornerKhz = 1000000;
constexpr uint32_t kClockStepKhz = 12345;
constexpr uint64_t kMachineBytes = 1ull << 30;
constexpr uint32_t kPercentSpan = 100;
constexpr uint32_t kIdleStepMs = 37;
constexpr uint32_t kProcessorIdleSpreadMs = 311;
constexpr uint32_t kBaseThreads = 1;
constexpr uint32_t kThreadSpread = 7;
constexpr uint32_t kReplacedStride = 7;  // which process exits, spread over the table
constexpr uint32_t kModuleCelsius = 40;
constexpr uint32_t kCpuCelsius = 50;
constexpr uint32_t kCelsiusSpread = 6;
constexpr int kPoolShiftMb = 20;
constexpr uint32_t kThreadsPerProcess = 4;
constexpr uint32_t kBusyEvery = 4;                 // one thread of each process's four uses the processor
constexpr uint64_t kBusyTicksPerCycle = 2500000;  // a quarter of a second, in 100 ns
constexpr uint32_t kShownThreadsOwner = 1;         // the process whose threads are listed

void CountInsert(void* context, uint32_t, const wchar_t*, uint32_t, uint32_t) {
  ++static_cast<PureCycle*>(context)->listOperations;
}
void CountText(void* context, uint32_t, uint32_t, const wchar_t*) {
  ++static_cast<PureCycle*>(context)->listOperations;
}
uint32_t CountDelete(void* context, uint32_t, bool) {
  ++static_cast<PureCycle*>(context)->listOperations;
  return 0;
}
void CountRedraw(void* context, uint32_t, bool) { ++static_cast<PureCycle*>(context)->listOperations; }

void ReadHardware(PureCycle* cycle) {
  HardwareReadings* hardware = &cycle->hardware;
  for (uint32_t d = 0; d < kClockDomainCount; ++d) {
    ClockUsage* usage = &hardware->usage[d];
    usage->highCornerKhz = kHighCornerKhz;
    usage->currentKhz = kHighCornerKhz - (cycle->cycle * kClockStepKhz + d) % (kHighCornerKhz / 2);
    usage->averageKhz = usage->currentKhz / (d + 2);
  }
  hardware->tModule = static_cast<int32_t>(kModuleCelsius + cycle->cycle % kCelsiusSpread);
  hardware->tCpu = static_cast<int32_t>(kCpuCelsius + cycle->cycle % kCelsiusSpread);
  for (uint32_t s = 0; s < kMemStatCount; ++s) hardware->stat[s] = static_cast<int32_t>((s + 1) << kPoolShiftMb);
}

// The processes a walk gives this cycle, and every thread with its CPU time
// (the listed process's with its priority and affinity too).
void ReadProcesses(PureCycle* cycle) {
  PassReading* reading = &cycle->reading;
  if (cycle->processCount > 0) {
    reading->processes[cycle->cycle % cycle->processCount].threadCount += 1;
    uint32_t victim = (cycle->cycle * kReplacedStride) % cycle->processCount;
    if (victim == kShownThreadsOwner) victim = (victim + 1) % cycle->processCount;  // its threads stay listed
    reading->processes[victim].processId = cycle->nextProcessId;
    NamePureProcess(reading->names[victim], cycle->nextProcessId);
    cycle->nextProcessId += kPureProcessIdStep;
  }
  reading->processCount = cycle->processCount;
  reading->threadCount = 0;
  for (uint32_t p = 0; p < cycle->processCount; ++p) {
    const uint32_t owner = reading->processes[p].processId;
    for (uint32_t t = 1; t <= kThreadsPerProcess; ++t) {
      const uint32_t id = owner + t;
      const uint64_t cpuTime = id % kBusyEvery == 0 ? cycle->cycle * kBusyTicksPerCycle : id;
      reading->threads[reading->threadCount++] =
          SnapshotThread{id, owner, ThreadFigures{FIGURE_CPU_TIME | FIGURE_PRIORITY | FIGURE_AFFINITY, 0, 0, cpuTime}};
    }
  }
}

}  // namespace

void NamePureProcess(wchar_t name[kSnapshotNameChars], uint32_t processId) {
  std::swprintf(name, kSnapshotNameChars, L"process%u.exe", static_cast<unsigned>(processId));
}

void StartPureCycle(PureCycle* cycle, uint32_t processorCount, uint32_t processCount) {
  std::memset(static_cast<void*>(cycle), 0, sizeof *cycle);
  cycle->processorCount = processorCount;
  cycle->processCount = processCount > kProcessCapacity ? kProcessCapacity : processCount;
  cycle->processesShown = 1;
  StoreShared(&cycle->frequencyScale, 1.0f);
  cycle->cpuHistoryReset = 1;
  cycle->memHistoryReset = 1;
  cycle->pictures.cpuHistory = cycle->cpuHistory;
  cycle->pictures.memHistory = &cycle->memHistory;
  for (uint32_t i = 0; i < cycle->processCount; ++i) {
    ProcessReading* process = &cycle->reading.processes[i];
    process->processId = kPureProcessIdStep * (i + 1);
    process->threadCount = kBaseThreads + i % kThreadSpread;
    NamePureProcess(cycle->reading.names[i], process->processId);
  }
  cycle->nextProcessId = kPureProcessIdStep * (cycle->processCount + 1);
  if (cycle->processCount > kShownThreadsOwner) {
    SelectThreadOwner(&cycle->threads, 1, cycle->reading.processes[kShownThreadsOwner].processId);
  }
}

void RunPureCycle(PureCycle* cycle) {
  ++cycle->cycle;
  ReadHardware(cycle);
  CycleReadings readings = {};
  readings.hardware = &cycle->hardware;
  cycle->tick += kSamplePeriodMs;
  readings.nowMs = cycle->tick;
  for (uint32_t i = 0; i < cycle->processorCount && i < kMaxProcessors; ++i) {
    cycle->idle[i] += (cycle->cycle * kIdleStepMs + i * kProcessorIdleSpreadMs) % kSamplePeriodMs;
    readings.idle[i] = cycle->idle[i];
  }
  readings.memory.loadPercent = cycle->cycle % kPercentSpan;
  readings.memory.totalPhysical = kMachineBytes;
  readings.memory.availPhysical = kMachineBytes - (kMachineBytes / kPercentSpan) * readings.memory.loadPercent;
  readings.graphs = (1u << kGraphCount) - 1;
  for (uint32_t g = 0; g < kGraphCount; ++g) readings.sizes[g] = kGraphSizes[g];
  if (cycle->processesShown) {
    ReadProcesses(cycle);
    readings.pass = &cycle->reading;
  }

  const CycleState state = {cycle->lock, cycle->processorCount, cycle->processorCount, 1, &cycle->counters,   &cycle->frequencyScale,
                            &cycle->sample,        cycle->text,           cycle->cpuHistory,
                            &cycle->cpuHistoryReset, &cycle->memHistory, &cycle->memHistoryReset,
                            &cycle->table,         &cycle->view,          &cycle->threads,
                            &cycle->pictures,      &cycle->cpuMarks,      &cycle->memMarks,
                            &cycle->events,        cycle->recordOn};
  AdvanceCycle(&state, &readings, &cycle->results);
  if (!cycle->processesShown) return;

  const ListOps ops = {cycle, CountInsert, CountText, CountDelete, CountRedraw};
  SyncProcessView(&cycle->view, &ops, cycle->text, kReportBufferChars);
  SyncThreadList(&cycle->threads, &ops, cycle->text, kReportBufferChars);
}
