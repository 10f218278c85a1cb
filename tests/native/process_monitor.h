// The process and thread tables, the process list's view and the recorded
// lists, fed one pass at a time: what the native tests of the Processes
// page's lists share.
#ifndef SELVANE_TESTS_NATIVE_PROCESS_MONITOR_H
#define SELVANE_TESTS_NATIVE_PROCESS_MONITOR_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/pass_reading.h"
#include "tests/recorded_list.h"

using Ops = std::vector<std::wstring>;
struct Process {
  uint32_t id, threads;
  std::wstring name;
};
struct Thread {
  uint32_t id, owner;
};
constexpr uint64_t kSecond = kTicksPerSecond;

// The tables, their recorded lists, what the platform gives of each process
// (figures, affinity, times) and thread, and one pass at a time.
struct Monitor {
  std::unique_ptr<ProcessTable> table{new ProcessTable()};
  std::unique_ptr<ProcessView> view{new ProcessView()};
  std::unique_ptr<ThreadTable> threads{new ThreadTable()};
  std::unique_ptr<PassReading> reading{new PassReading()};
  RecordedList list{8, 1u << kColumnCpu | 1u << kColumnCpuTime | 1u << kColumnMemUsage};
  RecordedList threadList{4, 0xE};
  std::map<uint32_t, SnapshotEntry> processFigures;
  std::map<uint32_t, ThreadFigures> threadFigures;
  uint32_t processors = 1, machine = 0, timesFromThreads = 0, nowMs = 0;  // machine 0: as many as `processors`
  uint32_t paused = 0, order = 0;  // the lists' pause and the process list's order
  Ops threadOps;  // the thread list's operations of the last pass
  wchar_t text[kReportBufferChars];

  // A pass `ms` after the last over `processes` and the `walked` threads;
  // returns the process list's operations.
  Ops Pass(const std::vector<Process>& processes, const std::vector<Thread>& walked = {}, uint32_t ms = 1000) {
    std::vector<SnapshotEntry> entries;
    for (const Process& process : processes) {
      entries.push_back(processFigures[process.id]);
      entries.back().processId = process.id;
      entries.back().threadCount = process.threads;
      process.name.copy(entries.back().name, kSnapshotNameChars - 1);
    }
    std::vector<SnapshotThread> read;
    for (const Thread& thread : walked) read.push_back({thread.id, thread.owner, threadFigures[thread.id]});
    FillReading(reading.get(), entries, read);
    nowMs += ms;
    const PassSettings settings = {processors, machine != 0 ? machine : processors, nowMs, timesFromThreads, paused,
                                   order};
    const size_t before = list.log.size(), threadsBefore = threadList.log.size();
    UpdateProcessTable(table.get(), threads.get(), reading.get(), &settings);
    UpdateProcessView(view.get(), table.get(), &settings);
    const ListOps ops = list.Ops(), threadListOps = threadList.Ops();
    SyncProcessView(view.get(), &ops, text, kReportBufferChars);
    SyncThreadList(threads.get(), &threadListOps, text, kReportBufferChars);
    threadOps = threadList.LogSince(threadsBefore);
    EXPECT_EQ("", ListOutOfStep(list, *view, *table, paused != 0));
    return list.LogSince(before);
  }
  const std::vector<std::wstring>& Item(size_t i) const { return list.items.at(i); }
  // The names the list shows, in order.
  std::wstring Names() const {
    std::wstring names;
    for (const std::vector<std::wstring>& item : list.items) names += (names.empty() ? L"" : L" ") + item[0];
    return names;
  }
  Ops Figures(size_t i) const { return {Item(i)[kColumnCpu], Item(i)[kColumnCpuTime], Item(i)[kColumnMemUsage]}; }
};

#endif
