#include <gtest/gtest.h>

#include <string>

#include "sampler/status_format.h"

namespace {

ClockUsage Clock(uint32_t currentKhz, uint32_t averageKhz) {
  return ClockUsage{0, 0, 0, 0, currentKhz, averageKhz};
}

std::wstring Format(const HardwareReadings& readings) {
  wchar_t text[kReportBufferChars];
  const size_t length = FormatHardwareStatus(readings, text, kReportBufferChars);
  EXPECT_EQ(std::wcslen(text), length);
  return text;
}

TEST(StatusFormat, WholeBlockInItsOrder) {
  HardwareReadings r = {};
  // Every value distinct, so that a swapped argument shows.
  r.usage[kDomainCpu - 1] = Clock(1000000, 250000);
  r.usage[kDomainAvp - 1] = Clock(240000, 24000);   // 10 %
  r.usage[kDomainSys - 1] = Clock(300500, 1000);
  r.usage[kDomainAhb - 1] = Clock(120000, 36000);   // 30 %
  r.usage[kDomainApb - 1] = Clock(60000, 3000);     // 5 %
  r.usage[kDomainVid - 1] = Clock(200999, 140000);  // 69 %
  r.usage[kDomainEmc - 1] = Clock(667000, 600300);  // 90 %
  r.tModule = 41;
  r.tCpu = -7;
  r.stat[kStatCarveoutTotal - 1] = 64 << 20;
  r.stat[kStatCarveoutUsed - 1] = 17 << 20;
  r.stat[kStatCarveoutLargestFree - 1] = 3000 << 10;
  r.stat[kStatGartTotal - 1] = 32 << 20;
  r.stat[kStatGartUsed - 1] = 5 << 20;
  r.stat[kStatGartLargestFree - 1] = 1023;
  const std::wstring expected =
      L"CPU[1000Mhz]\r\n"
      L"SYS[300Mhz]  AVP[10%/240Mhz] \t\t\t\t\t\t\t   "
      L"AHB[30%/120Mhz]  APB[5%/60Mhz] \t\t\t\t\t\t\t   "
      L"VID[69%/200Mhz]   EMC[90%/667Mhz] \t\t\t\t\t\t\t   "
      L"TModule=41\u00B0C      Tcpu=-7\u00B0C \t\t\t\t\t\t\t   "
      L"Carveout[17408/65536kB, lfb 3000kB] \t\t\t\t\t\t\t   "
      L"GART [5120/32768kB, lfb 0kB]";
  EXPECT_EQ(expected, Format(r));
}

TEST(StatusFormat, TooSmallABufferGivesAnEmptyText) {
  const HardwareReadings r = {};
  wchar_t text[16] = L"left over";
  EXPECT_EQ(0u, FormatHardwareStatus(r, text, 16));
  EXPECT_EQ(L'\0', text[0]);
}

TEST(StatusFigures, PoolBytesShiftToKilobytes) {
  EXPECT_EQ(0, PoolKb(1023));
  EXPECT_EQ(1, PoolKb(1024));
  EXPECT_EQ(-1, PoolKb(-1));
  EXPECT_EQ(-2, PoolKb(-1025));
  EXPECT_EQ(-2097152, PoolKb(INT32_MIN));
}

TEST(StatusFigures, MegahertzTruncateAndPercentagesNeverOverflow) {
  EXPECT_EQ(0u, DomainMhz(Clock(999, 0)));
  EXPECT_EQ(4294967u, DomainMhz(Clock(0xFFFFFFFFu, 0)));
  EXPECT_EQ(25u, DomainPercent(Clock(1000000, 250000)));
  EXPECT_EQ(33u, DomainPercent(Clock(300, 100)));  // truncated
  // A stopped clock: no division.
  EXPECT_EQ(0u, DomainPercent(Clock(0, 500)));
  // average x 100 beyond 32 bits: 50, where a 32-bit product would give 7.
  EXPECT_EQ(50u, DomainPercent(Clock(100000000, 50000000)));
  EXPECT_EQ(100u, DomainPercent(Clock(0xFFFFFFFFu, 0xFFFFFFFFu)));
  // Activity far above the clock still shows as a positive number.
  EXPECT_EQ(2147483647u, DomainPercent(Clock(1, 0xFFFFFFFFu)));
}

TEST(FrequencyScale, ClockAgainstHighCorner) {
  ClockUsage cpu = {216000, 1000000, 216000, 1000000, 500000, 0};
  EXPECT_EQ(0.5f, ComputeFrequencyScale(cpu, 1.0f));
  cpu.currentKhz = 1000000;
  EXPECT_EQ(1.0f, ComputeFrequencyScale(cpu, 0.3f));
  // A zero high corner keeps the previous scale, even with a zero clock.
  cpu.highCornerKhz = 0;
  EXPECT_EQ(0.75f, ComputeFrequencyScale(cpu, 0.75f));
  cpu.currentKhz = 0;
  EXPECT_EQ(0.75f, ComputeFrequencyScale(cpu, 0.75f));
}

}  // namespace
