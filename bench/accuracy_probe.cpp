// Runs the monitor's real sampling cycle once a second and, right after each
// cycle, reads the Linux kernel's own per-processor counters (/proc/stat,
// through Wine's Z: drive). Prints one line a cycle:
//   <cycle> <load cpu1> <kernel busy cpu1> <load cpu2> <kernel busy cpu2> ...
// Usage: accuracy_probe [cycles]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "sampler/sampling_loop.h"

struct KernelTimes {
  unsigned long long busy[kMaxProcessors];
  unsigned long long total[kMaxProcessors];
};

// Busy and total jiffies of cpu0..cpu3 from /proc/stat; idle and iowait count as idle.
static bool ReadKernelTimes(KernelTimes* times) {
  FILE* file = _wfopen(L"Z:\\proc\\stat", L"rb");
  if (file == nullptr) return false;
  char line[512];
  while (fgets(line, sizeof line, file) != nullptr) {
    unsigned cpu;
    unsigned long long user, nice, system, idle, iowait, irq, softirq, steal;
    if (sscanf(line, "cpu%u %llu %llu %llu %llu %llu %llu %llu %llu", &cpu, &user, &nice, &system, &idle,
               &iowait, &irq, &softirq, &steal) == 9 &&
        cpu < kMaxProcessors) {
      times->busy[cpu] = user + nice + system + irq + softirq + steal;
      times->total[cpu] = times->busy[cpu] + idle + iowait;
    }
  }
  fclose(file);
  return true;
}

int wmain(int argc, wchar_t** argv) {
  const int cycles = argc > 1 ? _wtoi(argv[1]) : 10;
  BindKernelExtensions();
  const uint32_t count = g_state.processorCount;
  SamplerContext context = {};
  KernelTimes before = {}, after = {};
  StartSampling(&context);
  ReadKernelTimes(&before);
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    Sleep(kSamplePeriodMs);
    RunSamplingCycle(&context);
    ReadKernelTimes(&after);
    printf("%d", cycle);
    for (uint32_t p = 0; p < count; ++p) {
      const unsigned long long total = after.total[p] - before.total[p];
      const double kernelBusy = total > 0 ? static_cast<double>(after.busy[p] - before.busy[p]) / total : 0.0;
      printf(" %.4f %.4f", LoadShared(g_state.loadSample.cpuLoad[p]), kernelBusy);
    }
    printf("\n");
    fflush(stdout);
    before = after;
  }
  return 0;
}
