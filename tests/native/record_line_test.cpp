#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "sampler/record_line.h"

namespace {

std::string Header(uint32_t processors) {
  char text[kRecordLineChars];
  FormatRecordHeader(text, sizeof text, processors);
  return text;
}

std::string Line(const RecordFigures& figures) {
  char text[kRecordLineChars];
  FormatRecordLine(text, sizeof text, figures);
  return text;
}

const char kRest[] =
    "cpu_clock_mhz,cpu_high_corner_mhz,memory_load_pct,cpu_mhz,cpu_pct,avp_mhz,avp_pct,sys_mhz,sys_pct,ahb_mhz,"
    "ahb_pct,apb_mhz,apb_pct,vid_mhz,vid_pct,emc_mhz,emc_pct,tmodule_c,tcpu_c,carveout_total_kb,carveout_used_kb,"
    "carveout_lfb_kb,gart_total_kb,gart_used_kb,gart_lfb_kb,processes,threads\r\n";

TEST(RecordLine, HeaderNamesAColumnPairPerProcessor) {
  EXPECT_EQ(std::string("seconds,cpu1_load_pct,cpu1_busy_pct,") + kRest, Header(1));
  EXPECT_EQ(std::string("seconds,cpu1_load_pct,cpu1_busy_pct,cpu2_load_pct,cpu2_busy_pct,") + kRest, Header(2));
}

ClockUsage Clock(uint32_t currentKhz, uint32_t averageKhz, uint32_t highKhz = 0) {
  ClockUsage usage = {};
  usage.currentKhz = currentKhz;
  usage.averageKhz = averageKhz;
  usage.highCornerKhz = highKhz;
  return usage;
}

TEST(RecordLine, EveryFigureInItsColumnAndMissingOnesEmpty) {
  HardwareReadings hardware = {};
  hardware.usage[0] = Clock(456789, 114198, 1000000);  // CPU: 456 MHz, 25 %
  for (uint32_t d = 1; d < kClockDomainCount; ++d) hardware.usage[d] = Clock(100000 * (d + 1), 10000 * (d + 1));
  hardware.tModule = 41;
  hardware.tCpu = -3;
  const int32_t stats[kMemStatCount] = {64 << 20, 1023, -1025, 32 << 20, 4096, 0};
  for (uint32_t s = 0; s < kMemStatCount; ++s) hardware.stat[s] = stats[s];

  RecordFigures figures = {};
  figures.elapsedMs = 12045;
  figures.processorCount = 2;
  figures.load[0] = 0.25f;
  figures.busy[0] = 0.5f;
  figures.load[1] = 1.0f;
  figures.busy[1] = 1.0f;
  figures.load[2] = 0.75f;  // no third processor: not written
  figures.hardware = &hardware;
  figures.memoryLoadPercent = 37;
  figures.countsKnown = 1;
  figures.processCount = 9;
  figures.threadTotal = 40;
  EXPECT_EQ("12.045,25.0,50.0,100.0,100.0,456,1000,37,456,25,200,10,300,10,400,10,500,10,600,10,700,10,41,-3,"
            "65536,0,-2,32768,4,0,9,40\r\n",
            Line(figures));

  // Without the chip's library and its counts: those fields stay empty.
  figures.hardware = nullptr;
  figures.countsKnown = 0;
  figures.processorCount = 1;
  figures.load[0] = FLT_MAX;  // a wrapped busy time: bounded as every shown load is
  // 14 domain fields, 2 temperatures, 6 pools and 2 counts after the memory load.
  EXPECT_EQ("12.045,1600.0,50.0,,,37" + std::string(14 + 2 + 6 + 2, ',') + "\r\n", Line(figures));
}

TEST(RecordLine, TooSmallABufferGivesAnEmptyText) {
  char small[16] = "unchanged";
  EXPECT_EQ(0u, FormatRecordHeader(small, sizeof small, 4));
  EXPECT_STREQ("", small);
}

}  // namespace
