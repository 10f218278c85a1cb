#include <gtest/gtest.h>

#include <utility>

#include "app/text_format.h"
#include "sampler/load_math.h"

namespace {

float Load(const LoadSample& sample, int i) { return LoadShared(sample.cpuLoad[i]); }

TEST(CpuLoad, BusyShareScaledAndGuarded) {
  EXPECT_EQ(0.25f, ComputeCpuLoad(1000, 750, 1.0f, 0.0f));
  EXPECT_EQ(0.5f, ComputeCpuLoad(1000, 0, 0.5f, 0.0f));
  // The idle counter ran ahead of the tick count: fully idle, not a huge load.
  EXPECT_EQ(0.0f, ComputeCpuLoad(1000, 1010, 1.0f, 0.4f));
  EXPECT_EQ(0.4f, ComputeCpuLoad(0, 0, 1.0f, 0.4f));  // no time passed: the previous load stands
}

TEST(CpuLoad, TwoProcessorsAcrossTheTickWrap) {
  IdleCounters counters = {};
  LoadSample sample = {};
  counters.prevTick = 0xFFFFFE0Cu;  // 500 ms before the 32-bit wrap
  counters.prevIdle[0] = 0xFFFFFF00u;
  counters.curIdle[0] = counters.prevIdle[0] + 1000;  // wraps too: fully idle; processor 2 fully busy
  AdvanceCpuLoads(&counters, 500, 2, 0.5f, 0, &sample);  // now = 500 after the wrap
  EXPECT_EQ(0.0f, Load(sample, 0));
  EXPECT_EQ(0.5f, Load(sample, 1));
  EXPECT_EQ(0.0f, Load(sample, 2));  // processors beyond the count are not written
}

// A processor whose idle count could not be read shows 0, not a full load from
// a count that did not move, until two good readings measure it again.
TEST(CpuLoad, UnreadIdleCountMeasuresNothing) {
  IdleCounters counters = {};
  LoadSample sample = {};
  uint32_t now = 0;
  const auto cycle = [&](uint32_t unread, uint32_t off = 0) {
    now += 1000;
    counters.curIdle[0] += 500;  // processor 1 half busy; processor 2 fully busy (or off: its count stands)
    counters.curUnread = unread;
    AdvanceCpuLoads(&counters, now, 2, 1.0f, off, &sample);
    counters.prevTick = now;
    return std::make_pair(Load(sample, 0), Load(sample, 1));
  };
  EXPECT_EQ(std::make_pair(0.5f, 1.0f), cycle(0));
  EXPECT_EQ(0u, LoadShared(sample.noLoad));
  EXPECT_EQ(std::make_pair(0.5f, 0.0f), cycle(0b10));
  EXPECT_EQ(0b10u, LoadShared(sample.noLoad));
  EXPECT_EQ(std::make_pair(0.5f, 0.0f), cycle(0));  // the first good reading is only a base
  EXPECT_EQ(0b10u, LoadShared(sample.noLoad));
  EXPECT_EQ(std::make_pair(0.5f, 1.0f), cycle(0));
  // Switched off, its frozen count would read as a full load: none, and marked off; back on, the
  // interval it came back in measures nothing either.
  EXPECT_EQ(std::make_pair(0.5f, 0.0f), cycle(0, 0b10));
  EXPECT_EQ(0b10u, LoadShared(sample.poweredOff));
  EXPECT_EQ(0b10u, LoadShared(sample.noLoad));
  EXPECT_EQ(std::make_pair(0.5f, 0.0f), cycle(0));
  EXPECT_EQ(0u, LoadShared(sample.poweredOff));
  EXPECT_EQ(0b10u, LoadShared(sample.noLoad));
  EXPECT_EQ(std::make_pair(0.5f, 1.0f), cycle(0));
  EXPECT_EQ(0u, LoadShared(sample.noLoad));
}

// Counts that stay 0 on every processor are no idle count; one that moves, or one processor's 0, is.
TEST(CpuLoad, IdleCountsAbsentOnlyWhenAllStayZero) {
  const uint32_t zero[kMaxProcessors] = {}, some[kMaxProcessors] = {0, 7};
  EXPECT_TRUE(IdleCountsAbsent(zero, zero, 2));
  EXPECT_FALSE(IdleCountsAbsent(zero, some, 2));
  EXPECT_FALSE(IdleCountsAbsent(some, zero, 2));
  EXPECT_TRUE(IdleCountsAbsent(some, some, 1));  // only the processors counted
}

TEST(TextFormat, ByteCountsUpTo64BitsOrNothing) {
  wchar_t text[32] = L"xy";
  EXPECT_EQ(0u, FormatUnsigned64(text, 3, 123));  // does not fit: untouched
  EXPECT_STREQ(L"xy", text);
  FormatUnsigned64(text, 32, 18446744073709551615ull);
  EXPECT_STREQ(L"18446744073709551615", text);
}

}  // namespace
