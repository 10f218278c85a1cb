#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <string>

#include "sampler/record_line.h"

namespace {

TEST(RecordLine, HeaderNamesAColumnPairPerProcessorOrNothing) {
  char text[kRecordLineChars];
  FormatRecordHeader(text, sizeof text, 2);
  EXPECT_EQ(std::string("seconds,cpu1_load_pct,cpu1_busy_pct,cpu2_load_pct,cpu2_busy_pct,"
                        "cpu_clock_mhz,cpu_high_corner_mhz,memory_load_pct,cpu_mhz,cpu_pct,avp_mhz,avp_pct,sys_mhz,"
                        "sys_pct,ahb_mhz,ahb_pct,apb_mhz,apb_pct,vid_mhz,vid_pct,emc_mhz,emc_pct,tmodule_c,tcpu_c,"
                        "carveout_total_kb,carveout_used_kb,carveout_lfb_kb,gart_total_kb,gart_used_kb,gart_lfb_kb,"
                        "processes,threads,events\r\n"),
            text);
  char small[16] = "unchanged";
  EXPECT_EQ(0u, FormatRecordHeader(small, sizeof small, 4));  // too small: empty
  EXPECT_STREQ("", small);
}

TEST(RecordLine, EveryFigureInItsColumnAndMissingOnesEmpty) {
  HardwareReadings hardware = {};
  hardware.usage[0] = ClockUsage{0, 0, 0, 1000000, 456789, 114198};  // CPU: 456 MHz, 25 %
  for (uint32_t d = 1; d < kClockDomainCount; ++d) {
    hardware.usage[d] = ClockUsage{0, 0, 0, 0, 100000 * (d + 1), 10000 * (d + 1)};
  }
  hardware.tModule = 41;
  hardware.tCpu = -3;
  const int32_t stats[kMemStatCount] = {64 << 20, 1023, -1025, 32 << 20, 4096, 0};
  std::copy(stats, stats + kMemStatCount, hardware.stat);
  RecordFigures figures = {12045, 2, {0.25f, 1.0f, 0.75f}, {0.5f, 1.0f}, 0, &hardware, 37, 1, 9, 40, "DFS stopped;tcpu_c > 85", 0, 0, {}};
  char text[kRecordLineChars];
  FormatRecordLine(text, sizeof text, figures);
  // The third processor's load is not written: there are two.
  EXPECT_STREQ("12.045,25.0,50.0,100.0,100.0,456,1000,37,456,25,200,10,300,10,400,10,500,10,600,10,700,10,41,-3,"
               "65536,0,-2,32768,4,0,9,40,DFS stopped;tcpu_c > 85\r\n",
               text);

  // Without the chip's library and its counts: those fields stay empty.
  // The clock is 64-bit: 50 days (past a 32-bit millisecond count's wrap at
  // 49.7) and 2^32 seconds read as they are.
  figures = {50ull * 86400 * 1000 + 45, 1, {FLT_MAX}, {0.5f}, 0, nullptr, 37, 0, 9, 40, "", 0, 0, {}};  // a wrapped load: bounded
  // 14 domain fields, 2 temperatures, 6 pools, 2 counts and the events after the memory load.
  FormatRecordLine(text, sizeof text, figures);
  EXPECT_EQ("4320000.045,1600.0,50.0,,,37" + std::string(14 + 2 + 6 + 2 + 1, ',') + "\r\n", text);
  figures.elapsedMs = 4294967296000ull;
  FormatRecordLine(text, sizeof text, figures);
  EXPECT_EQ(0, std::string(text).find("4294967296.000,"));

  // A processor with no load (off, unread, or no idle count kept): both its fields empty, not 0.0.
  figures = {2000, 4, {0.25f, 0.5f, 0.0f, 0.0f}, {0.25f, 0.5f, 0.0f, 0.0f}, 0b1010, nullptr, 37, 0, 9, 40, "", 0, 0, {}};
  FormatRecordLine(text, sizeof text, figures);
  EXPECT_EQ("2.000,25.0,25.0,,,0.0,0.0,,,,,37" + std::string(14 + 2 + 6 + 2 + 1, ',') + "\r\n", text);
}

}  // namespace
