// Events, triggers, captures and the record file's queue: the pure halves.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sampler/capture_ring.h"
#include "sampler/cycle_events.h"
#include "sampler/line_queue.h"
#include "sampler/record_line.h"
#include "sampler/trigger_rules.h"
#include "ui/performance/history_geometry.h"
#include "ui/performance/history_marks.h"

namespace {

std::string Header(uint32_t processors) {
  char text[kRecordLineChars];
  FormatRecordHeader(text, sizeof text, processors);
  return text;
}

RuleVerdict Parse(const std::wstring& rule, TriggerRule* out, uint32_t processors = 2) {
  return ParseTriggerRule(rule.data(), static_cast<uint32_t>(rule.size()), Header(processors).c_str(), out);
}

TEST(TriggerRules, ReadAgainstTheHeaderAndEachFaultNamed) {
  TriggerRule rule = {};
  ASSERT_EQ(RULE_OK, Parse(L"tcpu_c>85", &rule));
  EXPECT_EQ(23u, rule.field);  // seconds, 2 x 2 processor fields, 3, 14 domain fields, tmodule_c
  EXPECT_EQ(1u, rule.above);
  EXPECT_STREQ("tcpu_c > 85", rule.eventText);
  ASSERT_EQ(RULE_OK, Parse(L"cpu_mhz < -2.5", &rule));
  EXPECT_EQ(0u, rule.above);
  EXPECT_DOUBLE_EQ(-2.5, rule.threshold);
  EXPECT_STREQ("cpu_mhz < -2.5", rule.eventText);

  const TriggerRule before = rule;
  const struct {
    const wchar_t* text;
    RuleVerdict verdict;
  } bad[] = {
      {L"", RULE_NO_OPERATOR},           {L"tcpu_c=85", RULE_NO_OPERATOR},     {L"tcpu>85", RULE_UNKNOWN_FIELD},
      {L">85", RULE_UNKNOWN_FIELD},      {L"cpu3_load_pct>5", RULE_UNKNOWN_FIELD},  // two processors
      {L"tcpu_c>", RULE_NO_NUMBER},      {L"tcpu_c>85x", RULE_BAD_NUMBER},     {L"tcpu_c>8.5.1", RULE_BAD_NUMBER},
      {L"tcpu_c>-", RULE_BAD_NUMBER},    {L"tcpu_c>\u00b085", RULE_BAD_NUMBER},
      {L"tcpu_c>1234567890123456", RULE_BAD_NUMBER},
      {L"tcpu_c>000000000000000000000000000000000000000000001", RULE_TOO_LONG},
  };
  for (const auto& c : bad) {
    EXPECT_EQ(c.verdict, Parse(c.text, &rule)) << std::string(c.text, c.text + wcslen(c.text));
    EXPECT_EQ(0, std::memcmp(&before, &rule, sizeof rule));  // a bad rule leaves its output untouched
  }
  EXPECT_EQ(RULE_OK, Parse(L"cpu4_busy_pct>5", &rule, 4));
}

TEST(TriggerRules, FiresOnCrossingAndOncePerHoldOffWhileHovering) {
  TriggerRule rule = {};
  ASSERT_EQ(RULE_OK, Parse(L"tcpu_c>85", &rule));
  // Above the limit from the start is no crossing; the first sight below arms it.
  EXPECT_FALSE(StepTrigger(&rule, true, 90));
  EXPECT_FALSE(StepTrigger(&rule, true, 85));  // the limit itself is the near side
  EXPECT_FALSE(StepTrigger(&rule, false, 99));  // an empty field changes nothing
  EXPECT_TRUE(StepTrigger(&rule, true, 85.1));
  EXPECT_FALSE(StepTrigger(&rule, true, 86));

  // Hovering: one cycle below, one above, for 100 cycles fires once per hold-off.
  int fires = 0;
  for (int cycle = 0; cycle < 100; ++cycle) fires += StepTrigger(&rule, true, cycle % 2 ? 86 : 84);
  EXPECT_EQ(0, fires);  // never kTriggerHoldOffCycles in a row below
  for (uint32_t cycle = 0; cycle < kTriggerHoldOffCycles; ++cycle) EXPECT_FALSE(StepTrigger(&rule, true, 80));
  EXPECT_TRUE(StepTrigger(&rule, true, 90));
  EXPECT_EQ(2u, rule.fired);

  // Record fields as numbers, empty ones as none.
  double value = 0;
  EXPECT_TRUE(RecordFieldNumber("12.5,,-3,7\r\n", 3, &value));
  EXPECT_DOUBLE_EQ(7, value);
  EXPECT_TRUE(RecordFieldNumber("12.5,,-3,7\r\n", 0, &value));
  EXPECT_DOUBLE_EQ(12.5, value);
  EXPECT_FALSE(RecordFieldNumber("12.5,,-3,7\r\n", 1, &value));
  EXPECT_FALSE(RecordFieldNumber("12.5,,-3,7\r\n", 4, &value));
}

std::vector<ClockUsage> Clocks(uint32_t cpuKhz, uint32_t emcKhz) {
  std::vector<ClockUsage> usage(kClockDomainCount, ClockUsage{0, 0, 0, 300000, 200000, 0});
  usage[0] = ClockUsage{216000, 1000000, 216000, 1000000, cpuKhz, 0};
  usage[6] = ClockUsage{333000, 667000, 333000, 667000, emcKhz, 0};
  return usage;
}

std::string Joined(const EventLog& log, uint32_t cycle) {
  char text[kEventsFieldChars];
  JoinCycleEvents(log, cycle, text, sizeof text);
  return text;
}

TEST(CycleEvents, ScalingStateTargetsAndStepsBeyondTheThreshold) {
  auto log = std::make_unique<EventLog>();
  ClockWatch watch = {};
  WatchClocks(&watch, log.get(), 1, kDfsStateRunning, Clocks(500000, 667000).data(), nullptr, 0);
  EXPECT_EQ(0u, log->added);  // the first cycle has nothing to compare with
  // While scaling runs: a step of 249 MHz on a 1000 MHz corner is not an event, 334 of 667 is.
  WatchClocks(&watch, log.get(), 2, kDfsStateRunning, Clocks(749000, 333000).data(), nullptr, 0);
  EXPECT_EQ("EMC 667 to 333 MHz", Joined(*log, 2));
  WatchClocks(&watch, log.get(), 3, kDfsStateRunning, Clocks(499000, 333000).data(), nullptr, 0);
  EXPECT_EQ("CPU 749 to 499 MHz", Joined(*log, 3));

  // Stopped from anywhere; then a target from the page is that target, once,
  // though its clock moves a cycle later; one set elsewhere is seen as its clock.
  // Stopped from elsewhere with a target at once: both seen.
  WatchClocks(&watch, log.get(), 4, kDfsStateStopped, Clocks(216000, 333000).data(), nullptr, 0);
  EXPECT_EQ("DFS stopped;CPU target 216 MHz", Joined(*log, 4));
  const TargetNote note = {1, 300000};
  WatchClocks(&watch, log.get(), 5, kDfsStateStopped, Clocks(216000, 333000).data(), &note, 1);
  WatchClocks(&watch, log.get(), 6, kDfsStateStopped, Clocks(300000, 333000).data(), nullptr, 0);
  EXPECT_EQ("CPU target 300 MHz", Joined(*log, 5));
  EXPECT_EQ("", Joined(*log, 6));
  WatchClocks(&watch, log.get(), 7, kDfsStateStopped, Clocks(300000, 400000).data(), nullptr, 0);
  EXPECT_EQ("EMC target 400 MHz", Joined(*log, 7));
  WatchClocks(&watch, log.get(), 8, kDfsStateRunning, Clocks(900000, 400000).data(), nullptr, 0);
  EXPECT_EQ("DFS started", Joined(*log, 8));  // the clock's jump as scaling starts is the start's
  EXPECT_EQ(2u, log->dfsTransitions);
  // A library that does not say its state gives no transition.
  WatchClocks(&watch, log.get(), 9, 0, Clocks(900000, 400000).data(), nullptr, 0);
  WatchClocks(&watch, log.get(), 10, kDfsStateStopped, Clocks(900000, 400000).data(), nullptr, 0);
  EXPECT_EQ(2u, log->dfsTransitions);

  // One cycle's events joined with ';', commas kept out, whole or not at all.
  AddEvent(log.get(), 11, EVENT_TRIGGER, "a,b;c");
  AddEvent(log.get(), 11, EVENT_TRIGGER, "tcpu_c > 85");
  EXPECT_EQ("a b c;tcpu_c > 85", Joined(*log, 11));
  char small[12];
  JoinCycleEvents(*log, 11, small, sizeof small);
  EXPECT_STREQ("a b c", small);
  // The ring keeps the newest kEventLogCapacity.
  for (uint32_t i = 0; i < kEventLogCapacity; ++i) AddEvent(log.get(), 12, EVENT_STEP, "x");
  EXPECT_EQ("", Joined(*log, 11));
}

TEST(Captures, SixtyCyclesEachSideOfTheCrossingWithTheHeader) {
  auto ring = std::make_unique<CaptureRing>();
  const CaptureStamp stamp = {2026, 12, 8, 23, 5, 9};
  uint32_t index = 0;
  for (uint32_t cycle = 1; cycle <= 300; ++cycle) {
    KeepCaptureLine(ring.get(), cycle, (std::to_string(cycle) + "\r\n").c_str());
    if (cycle == 150) {
      ASSERT_TRUE(AddPendingCapture(ring.get(), cycle, stamp, "tcpu_c>85"));
    }
    if (cycle == 20) {
      ASSERT_TRUE(AddPendingCapture(ring.get(), cycle, stamp, "cpu_mhz<300.5"));
    }
    EXPECT_EQ(cycle == 80 || cycle == 210, ReadyCapture(*ring, cycle, &index)) << cycle;
    if (cycle != 80 && cycle != 210) continue;
    std::string text(kCaptureBytes, '\0');
    uint32_t first = 0;
    text.resize(FormatCapture(*ring, index, "seconds,events\r\n", text.data(), text.size(), &first));
    std::string expected = "seconds,events\r\n";
    const uint32_t crossing = ring->pending[index].cycle;
    const uint32_t from = crossing > kCaptureCyclesBefore ? crossing - kCaptureCyclesBefore : 1;
    for (uint32_t c = from; c <= crossing + kCaptureCyclesAfter; ++c) expected += std::to_string(c) + "\r\n";
    EXPECT_EQ(expected, text);  // a crossing early in the run starts at the first cycle
    EXPECT_EQ(from, first);
    DropCapture(ring.get(), index);
  }
  EXPECT_EQ(0u, ring->pendingCount);

  wchar_t name[kCaptureNameChars];
  FormatCaptureName(stamp, "cpu_mhz<-300.5", name, kCaptureNameChars);
  EXPECT_STREQ(L"cap-261208-230509-cpu_mhz-lt-m300p5.csv", name);
  EXPECT_TRUE(IsCaptureName(name));
  for (const wchar_t* other : {L"run.csv", L"cap-..\\run.csv", L"cap-x/y.csv", L"CAP-1.CSV", L"cap-.csv.txt"}) {
    EXPECT_FALSE(IsCaptureName(other)) << other;  // nothing else is pruned or served
  }
  EXPECT_EQ(0u, FormatCaptureName(stamp, "x>1", name, 20));
}

TEST(LineQueue, WholeLinesInOrderAndAFullQueueCountsWhatItLost) {
  auto queue = std::make_unique<LineQueue>();
  const std::string line(1000, 'x');
  const std::string whole = line + "\r\n";
  uint32_t queued = 0;
  while (QueueLine(queue.get(), whole.data(), whole.size())) ++queued;
  EXPECT_EQ(kRecordQueueBytes / whole.size(), queued);
  EXPECT_EQ(1u, queue->lost);
  std::string out(2500, '\0');
  EXPECT_EQ(2 * whole.size(), TakeLines(queue.get(), out.data(), out.size()));  // never half a line
  // Room again; the queue wraps around its end and keeps the order.
  EXPECT_TRUE(QueueLine(queue.get(), "tail\r\n", 6));
  std::string all;
  for (size_t taken; (taken = TakeLines(queue.get(), out.data(), out.size())) > 0;) all += out.substr(0, taken);
  EXPECT_EQ(std::string(all.end() - 6, all.end()), "tail\r\n");
  EXPECT_EQ((queued - 2) * whole.size() + 6, all.size());
}

TEST(HistoryMarks, ScrollWithTheHistoryAndStandAtTheirPointsInEveryArea) {
  HistoryMarks marks = {};
  StepHistoryMarks(&marks, true);
  HoldHistoryMark(&marks, true);  // a cycle the history did not step in marks the next point
  StepHistoryMarks(&marks, false);
  for (int step = 0; step < 3; ++step) StepHistoryMarks(&marks, false);
  EXPECT_EQ(1, marks.marked[kHistoryPoints - 5]);
  EXPECT_EQ(1, marks.marked[kHistoryPoints - 4]);
  EXPECT_EQ(0, marks.marked[kHistoryPoints - 3]);

  HistorySeries series[2];
  PixelRect areas[kMaxProcessors];
  CpuHistoryAreas(273, 58, 2, areas);
  for (int k = 0; k < 2; ++k) LayOutSeries(&series[k], areas[k]);
  MarkLine lines[kMaxMarkLines];
  ASSERT_EQ(4u, HistoryMarkLines(series, 2, marks, 58, lines));
  EXPECT_EQ(series[0].points[kHistoryPoints - 5].x, lines[0].x);
  EXPECT_EQ(series[1].points[kHistoryPoints - 4].x, lines[3].x);
  EXPECT_EQ(5, lines[0].top);
  EXPECT_EQ(53, lines[0].bottom);
  for (int step = 0; step < kHistoryPoints; ++step) StepHistoryMarks(&marks, false);
  EXPECT_EQ(0u, HistoryMarkLines(series, 2, marks, 58, lines));  // scrolled out
}

}  // namespace
