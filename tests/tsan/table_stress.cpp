// Two threads over the state the monitor shares, under ThreadSanitizer,
// through the program's own code: the sampling thread runs the cycle over a
// simulated machine (AdvanceCycle takes the state lock around its writes;
// the list steps go out after it, one process's threads listed too), while
// the main thread copies a process's row with CopyProcessRow, as the context
// menu does, and a graphic control's kept picture with CopyKeptPicture, as a
// repaint does. The lock here is a std::mutex. Any race TSan sees fails the
// run (exit code 66); so does a torn copy or another process's row.
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "bench/pure_cycle.h"

namespace {

constexpr int kCycles = 4000;
constexpr uint32_t kProcessors = 2;
constexpr uint32_t kProcesses = 96;

std::mutex mutex;
const StateLock lock = {&mutex, [](void* m) { static_cast<std::mutex*>(m)->lock(); },
                        [](void* m) { static_cast<std::mutex*>(m)->unlock(); }};
std::atomic<uint32_t> nextId{0};  // published after each cycle; 0 when the cycles are done
std::atomic<int> failures{0};

void Fail(const char* what) {
  if (failures.fetch_add(1) < 10) std::fprintf(stderr, "table_stress: %s\n", what);
}

// A gauge's figures are its fractions' texts, or the copy is torn.
void CheckKeptPicture(PagePictures* pictures, uint32_t graph) {
  KeptPicture kept;
  CopyKeptPicture(&lock, pictures, graph, &kept);
  if (!kept.drawn || (graph != kGraphCpuGauge && graph != kGraphMemGauge)) return;
  for (uint32_t k = 0; k < kept.gauge.barCount; ++k) {
    wchar_t figure[kGaugeFigureChars];
    (graph == kGraphCpuGauge ? FormatWholeFigure : FormatPercentFigure)(figure, kGaugeFigureChars,
                                                                        kept.gauge.fractions[k]);
    if (std::wcscmp(figure, kept.gauge.figures[k]) != 0) Fail("a copied gauge picture is torn");
  }
}

void Menu(PureCycle* cycle) {
  std::mt19937 random(11);
  long copies = 0;
  for (uint32_t latest; (latest = nextId.load()) != 0;) {
    CheckKeptPicture(&cycle->pictures, random() % kGraphCount);
    // One of the last processes to start: most are still running.
    const uint32_t processId = latest - kPureProcessIdStep * (1 + random() % (2 * kProcesses));
    ProcessEntry row;
    if (!CopyProcessRow(&lock, &cycle->table, processId, &row)) continue;
    ++copies;
    wchar_t expected[kSnapshotNameChars];
    NamePureProcess(expected, processId);
    if (row.processId != processId || std::wcscmp(row.name, expected) != 0 || row.threadCount < 1) {
      Fail("a copied row is torn or another process's");
    }
  }
  if (copies == 0) Fail("the menu copied no row");
  std::printf("table_stress: %d cycles, %ld row copies\n", kCycles, copies);
}

}  // namespace

int main() {
  std::unique_ptr<PureCycle> cycle(new PureCycle);
  StartPureCycle(cycle.get(), kProcessors, kProcesses);
  cycle->lock = &lock;
  nextId.store(cycle->nextProcessId);
  std::thread menu(Menu, cycle.get());
  for (int i = 0; i < kCycles; ++i) {
    RunPureCycle(cycle.get());
    nextId.store(cycle->nextProcessId);
  }
  nextId.store(0);
  menu.join();
  return failures.load() == 0 ? 0 : 1;
}
