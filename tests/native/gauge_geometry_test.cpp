#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ui/performance/gauge_geometry.h"

namespace {

std::string Text(const PixelRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

std::wstring Figure(float fraction, bool percent) {
  wchar_t text[64];
  if (percent) {
    FormatPercentFigure(text, 64, fraction);
  } else {
    FormatWholeFigure(text, 64, fraction);
  }
  return text;
}

TEST(GaugeLayout, OneTwoAndFourProcessorsAndMemory) {
  PixelRect bars[kMaxProcessors] = {};
  PixelRect figures[kMaxProcessors] = {};
  ASSERT_EQ(1u, CpuGaugeLayout(87, 58, 1, bars, figures));
  EXPECT_EQ("15,5,72,33", Text(bars[0]));
  EXPECT_EQ("0,38,87,58", Text(figures[0]));
  EXPECT_EQ(26, GaugeLevelTop(bars[0], 0.25f));

  ASSERT_EQ(2u, CpuGaugeLayout(87, 58, 2, bars, figures));
  EXPECT_EQ("4,4,42,43 44,4,83,43", Text(bars[0]) + " " + Text(bars[1]));
  EXPECT_EQ("0,43,43,58 43,43,87,58", Text(figures[0]) + " " + Text(figures[1]));

  ASSERT_EQ(4u, CpuGaugeLayout(87, 58, 4, bars, figures));
  const char* fourBars[] = {"1,4,20,43", "22,4,42,43", "44,4,64,43", "66,4,85,43"};
  const char* fourFigures[] = {"0,43,21,58", "21,43,43,58", "43,43,65,58", "65,43,87,58"};
  const float loads[] = {0.25f, 0.999f, 0.29f, 1.0f};
  const int32_t tops[] = {34, 5, 32, 4};
  const wchar_t* texts[] = {L"25", L"99", L"28", L"100"};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(fourBars[k], Text(bars[k]));
    EXPECT_EQ(fourFigures[k], Text(figures[k]));
    EXPECT_EQ(tops[k], GaugeLevelTop(bars[k], loads[k])) << k;
    EXPECT_EQ(texts[k], Figure(loads[k], false)) << k;
  }

  PixelRect bar, figure;
  MemoryGaugeLayout(53, 65, &bar, &figure);
  EXPECT_EQ("15,5,38,40 0,45,53,65", Text(bar) + " " + Text(figure));

  // Any other count: no bar, and nothing written.
  PixelRect untouched[kMaxProcessors] = {};
  for (uint32_t count : {0u, 3u, 5u}) EXPECT_EQ(0u, CpuGaugeLayout(87, 58, count, untouched, untouched));
  EXPECT_EQ("0,0,0,0", Text(untouched[0]));
}

TEST(GaugeLevel, TruncatedAndUnclamped) {
  const PixelRect bar = {0, 5, 10, 35};
  EXPECT_EQ(20, GaugeLevelTop(bar, 0.5f));
  EXPECT_EQ(35, GaugeLevelTop(bar, 0.0f));
  EXPECT_EQ(5, GaugeLevelTop(bar, 1.0f));
  EXPECT_EQ(35, GaugeLevelTop(bar, 0.03f));  // 0.9 of a pixel truncates to none
  EXPECT_EQ(-1, GaugeLevelTop(bar, 1.2f));   // over the bar's top
  EXPECT_EQ(35, GaugeLevelTop(bar, -0.5f));  // empty, never below the bottom
}

TEST(GaugeLevel, HugeAndInvalidFractionsStayDefined) {
  // A wrapped busy time gives loads beyond any integer; UBSan watches the conversions.
  const PixelRect bar = {0, 5, 10, 35};
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, FLT_MAX));
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, INFINITY));
  EXPECT_EQ(35, GaugeLevelTop(bar, -INFINITY));
  EXPECT_EQ(35, GaugeLevelTop(bar, NAN));
  EXPECT_EQ(L"1600", Figure(4.0e9f, false));
  EXPECT_EQ(L"-1600", Figure(-INFINITY, false));
  EXPECT_EQ(L"0", Figure(NAN, false));
}

TEST(GaugeFigure, PercentRoundsWholeTruncates) {
  EXPECT_EQ(L"25.0%", Figure(0.25f, true));
  EXPECT_EQ(L"0.0%", Figure(0.0f, true));
  EXPECT_EQ(L"100.0%", Figure(1.0f, true));
  EXPECT_EQ(L"103.0%", Figure(1.03f, true));
  // 0.29f and 1.03f lie just below 0.29 and 1.03.
  EXPECT_EQ(L"29.0%", Figure(0.29f, true));
  EXPECT_EQ(L"28", Figure(0.29f, false));
  EXPECT_EQ(L"102", Figure(1.03f, false));
  EXPECT_EQ(L"125", Figure(1.25f, false));
  EXPECT_EQ(L"-50", Figure(-0.5f, false));
}

}  // namespace
