// A pass reading filled from vectors, as the pass's read fills it from a
// snapshot: what does not fit the reading's arrays is left out. Shared by the
// native tests, the fuzzer, the stress test and the benchmarks.
#ifndef SELVANE_TESTS_PASS_READING_H
#define SELVANE_TESTS_PASS_READING_H

#include <algorithm>
#include <vector>

#include "ui/processes/process_table.h"

inline void FillReading(PassReading* reading, const std::vector<SnapshotEntry>& processes,
                        const std::vector<SnapshotThread>& threads = {}) {
  reading->processCount = 0;
  for (const SnapshotEntry& entry : processes) {
    if (!AddReadProcess(reading, entry)) break;
  }
  reading->threadCount = static_cast<uint32_t>(std::min<size_t>(threads.size(), kPassThreadCapacity));
  std::copy(threads.begin(), threads.begin() + reading->threadCount, reading->threads);
}

#endif
