// Any sequence of snapshots through the process table: ids from a small pool
// (so that processes come, stay and go) or anywhere in 32 bits, any thread
// counts and affinities, names up to 300 characters (cut as the snapshot walk
// cuts them), now and then more processes than the table holds, one to four
// processors. After every pass the list the recorded steps build equals the
// table, the count stays within the capacity, threadTotal is the sum of the
// rows' thread counts, and the rows are the walked processes.
//
// Input: one byte of processor count, then passes until the data runs out;
// each pass is a header byte (its count of entries modulo 64, or from 0xFC on
// 0 to 3 entries and then a bulk of generated processes), then per entry an
// id, a thread count, a name and an affinity. The values are taken as
// FuzzedDataProvider takes them, from the end of the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "tests/pass_reading.h"
#include "tests/recorded_list.h"

namespace {

constexpr size_t kMaxNameChars = 300;
constexpr uint32_t kIdPool = 64;
constexpr uint32_t kMaxBulk = kProcessCapacity + 200;
constexpr uint32_t kMaxEntries = 63;     // walked processes a pass describes one by one
constexpr uint8_t kBulkHeader = 0xFC;    // 0xFC..0xFF: 0..3 such processes, then a bulk

void Check(bool condition) {
  if (!condition) std::abort();
}

// A name of up to kMaxNameChars characters, terminated within the snapshot's
// field as the walk terminates it (a longer one is cut).
void FillName(FuzzedDataProvider* data, wchar_t* name) {
  wchar_t full[kMaxNameChars + 1] = {};
  const size_t length = data->ConsumeIntegralInRange<size_t>(0, kMaxNameChars);
  if (data->ConsumeBool()) {
    for (size_t i = 0; i < length; ++i) full[i] = data->ConsumeIntegral<uint16_t>();
  } else {  // long names without spending the input: a run from one character
    const uint16_t first = data->ConsumeIntegral<uint16_t>();
    for (size_t i = 0; i < length; ++i) full[i] = static_cast<uint16_t>(first + i);
  }
  std::wcsncpy(name, full, kSnapshotNameChars);
  name[kSnapshotNameChars - 1] = L'\0';
}

// Kept across inputs: large fresh allocations on every input would cost more
// than the passes.
ProcessTable table;
ThreadTable threads;  // no process chosen: stays empty
PassReading reading;
wchar_t text[kReportBufferChars];
std::vector<SnapshotEntry> entries;
std::vector<uint32_t> walkedIds;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  // An empty table; rows beyond the count are never read.
  table.processCount = table.threadTotal = table.stepCount = 0;
  std::memset(table.index, 0, sizeof table.index);
  RecordedList list(8, 0);
  const ListOps ops = list.Ops();
  const uint32_t processors = data.ConsumeIntegralInRange<uint32_t>(1, 4);
  uint32_t nowMs = 0;

  while (data.remaining_bytes() > 0) {
    const uint8_t header = data.ConsumeIntegral<uint8_t>();
    // Bulk passes are slow; only a few header values ask for one.
    const bool bulk = header >= kBulkHeader;
    entries.assign(bulk ? header - kBulkHeader : header % (kMaxEntries + 1), SnapshotEntry{});
    for (SnapshotEntry& entry : entries) {
      entry.processId = data.ConsumeBool() ? 4 * (data.ConsumeIntegralInRange<uint32_t>(0, kIdPool - 1) + 1)
                                           : data.ConsumeIntegral<uint32_t>();
      entry.threadCount = data.ConsumeIntegral<uint32_t>();
      FillName(&data, entry.name);
      entry.affinity = data.ConsumeIntegralInRange<uint32_t>(0, 4);
    }
    if (bulk) {  // more processes than the table holds
      const uint32_t bulk = data.ConsumeIntegralInRange<uint32_t>(0, kMaxBulk);
      const uint32_t base = data.ConsumeIntegral<uint32_t>();
      for (uint32_t i = 0; i < bulk; ++i) {
        entries.push_back({base + 4 * i, i % 7, 0, 0, 0, 0, {}});
        swprintf(entries.back().name, kSnapshotNameChars, L"bulk%u.exe", i);
      }
    }

    FillReading(&reading, entries);
    nowMs += 1000;
    const PassSettings settings = {processors, nowMs, 0};
    const uint32_t countBefore = table.processCount;
    UpdateProcessTable(&table, &threads, &reading, &settings);
    SyncProcessList(&table, &ops, text, kReportBufferChars);
    Check(ListOutOfStep(list, table).empty());
    list.log.clear();

    // The rows are read processes; every read process has a row unless the
    // table is full. A reading with no entry changes nothing.
    if (entries.empty()) {
      Check(table.processCount == countBefore);
      continue;
    }
    walkedIds.clear();
    for (uint32_t i = 0; i < reading.processCount; ++i) walkedIds.push_back(reading.processes[i].processId);
    std::sort(walkedIds.begin(), walkedIds.end());
    walkedIds.erase(std::unique(walkedIds.begin(), walkedIds.end()), walkedIds.end());
    for (uint32_t i = 0; i < table.processCount; ++i) {
      Check(std::binary_search(walkedIds.begin(), walkedIds.end(), table.rows[i].processId));
      Check(table.rows[i].name[kProcessNameChars] == L'\0');
    }
    Check(table.processCount == std::min<size_t>(walkedIds.size(), kProcessCapacity) ||
          countBefore + walkedIds.size() > kProcessCapacity);
  }
  return 0;
}
