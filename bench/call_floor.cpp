// The platform's part of the sampling cycle alone, once a second: what a
// monitor built on the same calls pays before it does anything of its own.
// For the first HALF seconds, a Performance-page cycle's calls: the chip's
// readings and scaling state, each processor's state and idle count, the
// memory status, the size of the process records. Then a Processes-page
// cycle's: the same, with one process snapshot walked in place of the size.
// bench/overhead.sh runs it beside the monitor, with the same halves. Prints
// the processes the last snapshot listed; fails if a snapshot failed, since
// a floor without its walk would read low.
//   call_floor SECONDS HALF
#include <cstdio>
#include <cstdlib>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "platform/memory_status.h"
#include "platform/process_snapshot.h"
#include "platform/resource_manager.h"
#include "sampler/hardware_status.h"
#include "sampler/sampling_loop.h"

namespace {

constexpr DWORD kPeriodMs = 1000;

// The processes the snapshot listed; -1 when it failed, 0 without a snapshot.
int ReadPlatform(bool processesPage) {
  static HardwareReadings hardware;
  if (g_state.rmAvailable) {
    ReadHardware(&hardware);
    if (g_resourceManager.NvRmDfsGetState != nullptr) g_resourceManager.NvRmDfsGetState(g_state.rmHandle);
  }
  uint32_t idle[kMaxProcessors] = {};
  uint32_t off = 0;
  ReadIdleCounters(idle, &off, false);
  MemoryFigures memory = {};
  ReadMemoryStatus(&memory);
  if (!processesPage) {
    uint32_t bytes = 0;
    ProcessRecordsSize(&bytes);
    return 0;
  }
  ProcessSnapshot snapshot;
  if (!TakeProcessSnapshot(&snapshot, false)) return -1;
  SnapshotEntry entry;
  int listed = 0;
  while (NextSnapshotProcess(&snapshot, &entry)) ++listed;
  CloseProcessSnapshot(&snapshot);
  return listed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const DWORD seconds = static_cast<DWORD>(_wtoi(argv[1]));
  const DWORD half = static_cast<DWORD>(_wtoi(argv[2]));
  InitPlatform();
  ResetMonitorState();
  BindKernelExtensions();
  BindResourceManager();
  const DWORD start = GetTickCount();
  int listed = 0;
  for (DWORD cycle = 0; cycle < seconds; ++cycle) {
    listed = ReadPlatform(cycle >= half);
    if (listed < 0) {
      std::fprintf(stderr, "the process snapshot failed\n");
      return 1;
    }
    const DWORD next = (cycle + 1) * kPeriodMs;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed < next) Sleep(next - elapsed);
  }
  std::printf("processes %d\n", listed);
  return 0;
}
