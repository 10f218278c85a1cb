#include <gtest/gtest.h>

#include <string>

#include "ui/performance/status_lines.h"

namespace {

std::wstring Lines(const wchar_t* text, size_t capacity = 512) {
  wchar_t out[512];
  const size_t length = StatusDisplayText(text, out, capacity);
  EXPECT_EQ(std::wcslen(out), length);
  return out;
}

TEST(StatusLines, RunsWithTabsBreakTheLineAndPlainBlanksStay) {
  EXPECT_EQ(L"CPU[1Mhz]\r\nSYS[2Mhz]  AVP[3%/4Mhz]\r\nAHB[5%/6Mhz]\r\nT=7",
            Lines(L"CPU[1Mhz]\r\nSYS[2Mhz]  AVP[3%/4Mhz] \t\t\t\t\t\t\t   AHB[5%/6Mhz]\tT=7"));
  EXPECT_EQ(L"", Lines(L"abc\tdef", 8));  // "abc\r\ndef" needs 9
  EXPECT_EQ(L"abc\r\ndef", Lines(L"abc\tdef", 9));
}

}  // namespace
