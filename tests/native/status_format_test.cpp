#include <gtest/gtest.h>

#include <string>

#include "sampler/status_format.h"

namespace {

ClockUsage Clock(uint32_t currentKhz, uint32_t averageKhz, uint32_t highCornerKhz = 0) {
  return ClockUsage{0, 0, 0, highCornerKhz, currentKhz, averageKhz};
}

TEST(StatusFormat, WholeBlockInItsOrderOrNothing) {
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
  wchar_t text[kReportBufferChars];
  FormatHardwareStatus(r, text, kReportBufferChars);
  EXPECT_EQ(std::wstring(L"CPU[1000Mhz]\r\n"
                         L"SYS[300Mhz]  AVP[10%/240Mhz] \t\t\t\t\t\t\t   "
                         L"AHB[30%/120Mhz]  APB[5%/60Mhz] \t\t\t\t\t\t\t   "
                         L"VID[69%/200Mhz]   EMC[90%/667Mhz] \t\t\t\t\t\t\t   "
                         L"TModule=41\u00B0C      Tcpu=-7\u00B0C \t\t\t\t\t\t\t   "
                         L"Carveout[17408/65536kB, lfb 3000kB] \t\t\t\t\t\t\t   "
                         L"GART [5120/32768kB, lfb 0kB]"),
            text);
  EXPECT_EQ(0u, FormatHardwareStatus(r, text, 16));  // too small: empty, never cut short
  EXPECT_EQ(L'\0', text[0]);
}

TEST(StatusFigures, PoolsShiftAndPercentagesTruncateAndNeverOverflow) {
  EXPECT_EQ(-1, PoolKb(-1));  // toward minus infinity
  EXPECT_EQ(-2, PoolKb(-1025));
  EXPECT_EQ(33u, DomainPercent(Clock(300, 100)));  // truncated
  EXPECT_EQ(0u, DomainPercent(Clock(0, 500)));     // a stopped clock: no division
  // average x 100 beyond 32 bits: 50, where a 32-bit product would give 7.
  EXPECT_EQ(50u, DomainPercent(Clock(100000000, 50000000)));
  // Activity far above the clock still shows as a positive number.
  EXPECT_EQ(2147483647u, DomainPercent(Clock(1, 0xFFFFFFFFu)));
}

TEST(FrequencyScale, ClockAgainstHighCornerOrThePreviousScale) {
  EXPECT_EQ(0.5f, ComputeFrequencyScale(Clock(500000, 0, 1000000), 1.0f));
  EXPECT_EQ(0.75f, ComputeFrequencyScale(Clock(500000, 0, 0), 0.75f));
}

}  // namespace
