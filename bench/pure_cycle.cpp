#include "bench/pure_cycle.h"

#include <cstring>
#include <cwchar>

#include "sampler/text_format.h"
#include "ui/performance/gauge_geometry.h"
#include "ui/performance/history_geometry.h"

namespace {

// Client sizes of the Performance page's controls as the desktop shows them.
constexpr int32_t kCpuGaugeWidth = 80;
constexpr int32_t kCpuGaugeHeight = 50;
constexpr int32_t kCpuHistoryWidth = 260;
constexpr int32_t kCpuHistoryHeight = 50;
constexpr int32_t kMemGaugeWidth = 46;
constexpr int32_t kMemGaugeHeight = 56;
constexpr int32_t kMemHistoryWidth = 300;
constexpr int32_t kMemHistoryHeight = 56;

// The simulated machine: clocks in kHz, a 1 GB memory, loads that move.
constexpr uint32_t kHighCornerKhz = 1000000;
constexpr uint32_t kClockStepKhz = 12345;
constexpr uint64_t kMachineBytes = 1ull << 30;
constexpr uint32_t kPercentSpan = 100;
constexpr uint32_t kIdleStepMs = 37;
constexpr uint32_t kProcessorIdleSpreadMs = 311;
constexpr uint32_t kBaseThreads = 1;
constexpr uint32_t kThreadSpread = 7;
constexpr uint32_t kProcessIdStep = 4;
constexpr uint32_t kReplacedStride = 7;  // which process exits, spread over the table
constexpr uint32_t kModuleCelsius = 40;
constexpr uint32_t kCpuCelsius = 50;
constexpr uint32_t kCelsiusSpread = 6;
constexpr int kPoolShiftMb = 20;
constexpr uint32_t kThreadsPerProcess = 4;
constexpr uint32_t kBusyEvery = 4;                 // one thread of each process's four uses the processor
constexpr uint64_t kBusyTicksPerCycle = 2500000;  // a quarter of a second, in 100 ns
constexpr uint64_t kPagesPerProcess = 300;
constexpr uint64_t kPageBytes = 4096;
constexpr uint32_t kShownThreadsOwner = 1;         // the process whose threads are listed

bool NextProcess(void* context, SnapshotEntry* entry) {
  PureCycle* cycle = static_cast<PureCycle*>(context);
  if (cycle->walked >= cycle->processCount) return false;
  *entry = cycle->processes[cycle->walked++];
  return true;
}

// kThreadsPerProcess threads for each process, ids following the process's.
bool NextThread(void* context, SnapshotThread* thread) {
  PureCycle* cycle = static_cast<PureCycle*>(context);
  const uint32_t process = cycle->threadsWalked / kThreadsPerProcess;
  if (process >= cycle->processCount) return false;
  const uint32_t owner = cycle->processes[process].processId;
  *thread = SnapshotThread{owner + 1 + cycle->threadsWalked % kThreadsPerProcess, owner};
  ++cycle->threadsWalked;
  return true;
}

// Any processor; the working set moves with the cycle.
void ReadProcess(void* context, uint32_t processId, uint32_t wanted, ProcessFigures* figures) {
  const PureCycle* cycle = static_cast<const PureCycle*>(context);
  *figures = ProcessFigures{wanted & (FIGURE_MEMORY | FIGURE_AFFINITY), 0, 0,
                            (kPagesPerProcess + (processId + cycle->cycle) % kPagesPerProcess) * kPageBytes};
}

void ReadThread(void* context, uint32_t threadId, uint32_t wanted, ThreadFigures* figures) {
  const PureCycle* cycle = static_cast<const PureCycle*>(context);
  const uint64_t cpuTime = threadId % kBusyEvery == 0 ? cycle->cycle * kBusyTicksPerCycle : threadId;
  *figures = ThreadFigures{wanted & (FIGURE_CPU_TIME | FIGURE_PRIORITY | FIGURE_AFFINITY), 0, 0, cpuTime};
}

void RecordInsert(void* context, uint32_t, const wchar_t*, uint32_t) {
  ++static_cast<PureCycle*>(context)->listOperations;
}
void RecordText(void* context, uint32_t, uint32_t, const wchar_t*) {
  ++static_cast<PureCycle*>(context)->listOperations;
}
void RecordDelete(void* context, uint32_t) { ++static_cast<PureCycle*>(context)->listOperations; }

float LoadOf(const PureCycle* cycle, uint32_t processor) {
  return cycle->sample.cpuLoad[processor].load(std::memory_order_relaxed);
}

}  // namespace

void StartPureCycle(PureCycle* cycle, uint32_t processorCount, uint32_t processCount) {
  std::memset(static_cast<void*>(cycle), 0, sizeof *cycle);
  cycle->processorCount = processorCount;
  cycle->processCount = processCount > kProcessCapacity ? kProcessCapacity : processCount;
  cycle->frequencyScale = 1.0f;
  for (uint32_t i = 0; i < cycle->processCount; ++i) {
    SnapshotEntry* entry = &cycle->processes[i];
    entry->processId = kProcessIdStep * (i + 1);
    entry->threadCount = kBaseThreads + i % kThreadSpread;
    std::swprintf(entry->name, kSnapshotNameChars, L"process%u.exe", static_cast<unsigned>(i));
  }
  cycle->nextProcessId = kProcessIdStep * (cycle->processCount + 1);
  if (cycle->processCount > kShownThreadsOwner) {
    SelectThreadOwner(&cycle->threads, 1, cycle->processes[kShownThreadsOwner].processId);
  }
  PixelRect areas[kMaxProcessors];
  const uint32_t series = CpuHistoryAreas(kCpuHistoryWidth, kCpuHistoryHeight, processorCount, areas);
  for (uint32_t k = 0; k < series; ++k) LayOutSeries(&cycle->cpuHistory[k], areas[k]);
  LayOutSeriesBySum(&cycle->memHistory, MemoryHistoryArea(kMemHistoryWidth, kMemHistoryHeight));
}

void PureStatusStep(PureCycle* cycle) {
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
  FormatHardwareStatus(*hardware, cycle->text, kReportBufferChars);
  cycle->frequencyScale = ComputeFrequencyScale(hardware->usage[kDomainCpu - 1], cycle->frequencyScale);
}

void PureGeometryStep(PureCycle* cycle) {
  PixelRect bars[kMaxProcessors];
  PixelRect figures[kMaxProcessors];
  const uint32_t count =
      CpuGaugeLayout(kCpuGaugeWidth, kCpuGaugeHeight, cycle->processorCount, bars, figures);
  for (uint32_t k = 0; k < count; ++k) cycle->checksum += GaugeLevelTop(bars[k], LoadOf(cycle, k));
  for (uint32_t k = 0; k < count; ++k) {
    if (count == 1) {
      FormatPercentFigure(cycle->text, kReportBufferChars, LoadOf(cycle, k));
    } else {
      FormatWholeFigure(cycle->text, kReportBufferChars, LoadOf(cycle, k));
    }
    cycle->checksum += cycle->text[0];
  }
  PixelRect areas[kMaxProcessors];
  const uint32_t series = CpuHistoryAreas(kCpuHistoryWidth, kCpuHistoryHeight, cycle->processorCount, areas);
  for (uint32_t k = 0; k < series; ++k) StepSeries(&cycle->cpuHistory[k], areas[k], LoadOf(cycle, k));

  const float memLoad = cycle->sample.memLoad.load(std::memory_order_relaxed);
  PixelRect bar;
  PixelRect figure;
  MemoryGaugeLayout(kMemGaugeWidth, kMemGaugeHeight, &bar, &figure);
  cycle->checksum += GaugeLevelTop(bar, memLoad);
  FormatPercentFigure(cycle->text, kReportBufferChars, memLoad);
  StepSeries(&cycle->memHistory, MemoryHistoryArea(kMemHistoryWidth, kMemHistoryHeight), memLoad);

  // The two byte-count fields.
  FormatUnsigned64(cycle->text, kReportBufferChars, kMachineBytes);
  const uint64_t available = kMachineBytes - (kMachineBytes / kPercentSpan) * cycle->memoryPercent;
  FormatUnsigned64(cycle->text, kReportBufferChars, available);
  cycle->checksum += cycle->text[0] + cycle->cpuHistory[0].points[kHistoryPoints - 1].y;
}

void PureProcessPass(PureCycle* cycle) {
  if (cycle->processCount > 0) {
    cycle->processes[cycle->cycle % cycle->processCount].threadCount += 1;
    uint32_t victim = (cycle->cycle * kReplacedStride) % cycle->processCount;
    if (victim == kShownThreadsOwner) victim = (victim + 1) % cycle->processCount;  // its threads stay listed
    SnapshotEntry* replaced = &cycle->processes[victim];
    replaced->processId = cycle->nextProcessId;
    cycle->nextProcessId += kProcessIdStep;
  }
  cycle->walked = 0;
  cycle->threadsWalked = 0;
  const ProcessSource source = {cycle, NextProcess, NextThread, ReadProcess, ReadThread};
  const PassSettings settings = {cycle->processorCount, cycle->tick, 1};
  UpdateProcessTable(&cycle->table, &cycle->threads, &source, &settings);
  const ListOps ops = {cycle, RecordInsert, RecordText, RecordDelete};
  SyncProcessList(&cycle->table, &ops, cycle->text, kReportBufferChars);
  SyncThreadList(&cycle->threads, &ops, cycle->text, kReportBufferChars);
}

void RunPureCycle(PureCycle* cycle) {
  ++cycle->cycle;
  PureStatusStep(cycle);

  // The platform's tick and idle counters, a second on.
  cycle->tick += kSamplePeriodMs;
  for (uint32_t i = 0; i < cycle->processorCount && i < kMaxProcessors; ++i) {
    cycle->idle[i] += (cycle->cycle * kIdleStepMs + i * kProcessorIdleSpreadMs) % kSamplePeriodMs;
    cycle->counters.curIdle[i] = cycle->idle[i];
  }
  cycle->memoryPercent = cycle->cycle % kPercentSpan;
  cycle->sample.memLoad.store(ComputeMemLoad(cycle->memoryPercent), std::memory_order_relaxed);
  AdvanceCpuLoads(&cycle->counters, cycle->tick, cycle->processorCount, cycle->frequencyScale, &cycle->sample);

  PureGeometryStep(cycle);
  PureProcessPass(cycle);
  cycle->counters.prevTick = cycle->tick;
}
