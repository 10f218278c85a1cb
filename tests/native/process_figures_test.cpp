#include <gtest/gtest.h>

#include <cstdint>

#include "ui/processes/process_figures.h"

namespace {

constexpr uint64_t kSecond = kTicksPerSecond;

TEST(CpuShare, TruncatedCappedAndGuarded) {
  EXPECT_EQ(33u, CpuSharePercent(0, kSecond / 3, kSecond, 1));
  EXPECT_EQ(0u, CpuSharePercent(2 * kSecond, kSecond, kSecond, 1));  // time went backwards
  EXPECT_EQ(0u, CpuSharePercent(0, kSecond, kSecond, 0));
  // Huge times: no overflow in the product, and never above 100 (times measured a little apart).
  EXPECT_EQ(50u, CpuSharePercent(0, UINT64_MAX / 2, UINT64_MAX, 1));
  EXPECT_EQ(100u, CpuSharePercent(0, UINT64_MAX, 1, 4));
}

TEST(FigureTexts, CpuTimeAndMemUsageOverTheWholeRange) {
  wchar_t text[40];
  FormatCpuTime(text, 40, 100 * 3600 + 61);
  EXPECT_STREQ(L"100:01:01", text);
  FormatCpuTime(text, 40, UINT64_MAX);  // hours beyond 32 bits
  EXPECT_STREQ(L"5124095576030431:00:15", text);
  FormatMemUsage(text, 40, 999);
  EXPECT_STREQ(L"999 K", text);
  FormatMemUsage(text, 40, UINT64_MAX);
  EXPECT_STREQ(L"18,446,744,073,709,551,615 K", text);
  wchar_t small[4] = L"abc";
  FormatMemUsage(small, 4, 1000);  // does not fit: untouched
  EXPECT_STREQ(L"abc", small);
}

}  // namespace
