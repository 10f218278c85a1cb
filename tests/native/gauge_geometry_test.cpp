#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ui/performance/gauge_geometry.h"

namespace {

void ExpectRect(const PixelRect& expected, const PixelRect& actual) {
  EXPECT_EQ(expected.left, actual.left);
  EXPECT_EQ(expected.top, actual.top);
  EXPECT_EQ(expected.right, actual.right);
  EXPECT_EQ(expected.bottom, actual.bottom);
}

std::wstring PercentFigure(float fraction) {
  wchar_t text[64];
  FormatPercentFigure(text, 64, fraction);
  return text;
}

std::wstring WholeFigure(float fraction) {
  wchar_t text[64];
  FormatWholeFigure(text, 64, fraction);
  return text;
}

TEST(GaugeLayout, OneProcessorAndTheMemoryGauge) {
  PixelRect bars[kMaxProcessors];
  PixelRect figures[kMaxProcessors];
  ASSERT_EQ(1u, CpuGaugeLayout(87, 58, 1, bars, figures));
  ExpectRect({15, 5, 72, 33}, bars[0]);
  ExpectRect({0, 38, 87, 58}, figures[0]);
  EXPECT_EQ(26, GaugeLevelTop(bars[0], 0.25f));

  PixelRect bar;
  PixelRect figure;
  MemoryGaugeLayout(53, 65, &bar, &figure);
  ExpectRect({15, 5, 38, 40}, bar);
  ExpectRect({0, 45, 53, 65}, figure);
}

TEST(GaugeLayout, TwoAndFourProcessors) {
  PixelRect bars[kMaxProcessors];
  PixelRect figures[kMaxProcessors];
  ASSERT_EQ(4u, CpuGaugeLayout(87, 58, 4, bars, figures));
  const PixelRect fourBars[] = {{1, 4, 20, 43}, {22, 4, 42, 43}, {44, 4, 64, 43}, {66, 4, 85, 43}};
  const PixelRect fourFigures[] = {{0, 43, 21, 58}, {21, 43, 43, 58}, {43, 43, 65, 58}, {65, 43, 87, 58}};
  for (int k = 0; k < 4; ++k) {
    ExpectRect(fourBars[k], bars[k]);
    ExpectRect(fourFigures[k], figures[k]);
  }
  const float loads[] = {0.25f, 0.999f, 0.29f, 1.0f};
  const int32_t tops[] = {34, 5, 32, 4};
  const wchar_t* texts[] = {L"25", L"99", L"28", L"100"};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(tops[k], GaugeLevelTop(bars[k], loads[k])) << k;
    EXPECT_EQ(texts[k], WholeFigure(loads[k])) << k;
  }

  ASSERT_EQ(2u, CpuGaugeLayout(87, 58, 2, bars, figures));
  ExpectRect({4, 4, 42, 43}, bars[0]);
  ExpectRect({44, 4, 83, 43}, bars[1]);
  ExpectRect({0, 43, 43, 58}, figures[0]);
  ExpectRect({43, 43, 87, 58}, figures[1]);
}

TEST(GaugeLayout, OtherCountsDrawNothing) {
  PixelRect bars[kMaxProcessors] = {};
  PixelRect figures[kMaxProcessors] = {};
  EXPECT_EQ(0u, CpuGaugeLayout(87, 58, 3, bars, figures));
  EXPECT_EQ(0u, CpuGaugeLayout(87, 58, 0, bars, figures));
  EXPECT_EQ(0u, CpuGaugeLayout(87, 58, 5, bars, figures));
  ExpectRect({0, 0, 0, 0}, bars[0]);  // and nothing was written
}

TEST(GaugeLevel, TruncatedSinglePrecisionProduct) {
  const PixelRect bar = {0, 5, 10, 35};
  EXPECT_EQ(20, GaugeLevelTop(bar, 0.5f));
  EXPECT_EQ(35, GaugeLevelTop(bar, 0.0f));   // empty
  EXPECT_EQ(5, GaugeLevelTop(bar, 1.0f));    // full
  EXPECT_EQ(35, GaugeLevelTop(bar, 0.03f));  // 0.9 of a pixel truncates to none
  // Above 1.0 the level reaches over the bar's top; below 0 it stays empty.
  EXPECT_EQ(-1, GaugeLevelTop(bar, 1.2f));
  EXPECT_EQ(35, GaugeLevelTop(bar, -0.5f));
}

TEST(GaugeLevel, HugeAndInvalidFractionsStayDefined) {
  // A wrapped busy time gives loads far beyond any integer; UBSan watches the conversion.
  const PixelRect bar = {0, 5, 10, 35};
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, FLT_MAX));
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, INFINITY));
  EXPECT_EQ(35, GaugeLevelTop(bar, -INFINITY));
  EXPECT_EQ(35, GaugeLevelTop(bar, NAN));
  EXPECT_EQ(L"1600", WholeFigure(4.0e9f));
  EXPECT_EQ(L"-1600", WholeFigure(-INFINITY));
  EXPECT_EQ(L"0", WholeFigure(NAN));
}

TEST(GaugeFigure, PercentAndWholeTexts) {
  EXPECT_EQ(L"25.0%", PercentFigure(0.25f));
  EXPECT_EQ(L"37.0%", PercentFigure(0.37f));
  EXPECT_EQ(L"0.0%", PercentFigure(0.0f));
  EXPECT_EQ(L"100.0%", PercentFigure(1.0f));
  EXPECT_EQ(L"103.0%", PercentFigure(1.03f));
  // 0.29f is just below 0.29: the whole figure truncates, the percent rounds.
  EXPECT_EQ(L"28", WholeFigure(0.29f));
  EXPECT_EQ(L"29.0%", PercentFigure(0.29f));
  EXPECT_EQ(L"102", WholeFigure(1.03f));  // 1.03f lies just below 1.03
  EXPECT_EQ(L"125", WholeFigure(1.25f));
  EXPECT_EQ(L"0", WholeFigure(0.0f));
  EXPECT_EQ(L"-50", WholeFigure(-0.5f));
}

TEST(GaugeFigure, WidestPercentFitsTheReportBuffer) {
  // The percent figure is not bounded (no integer conversion): the largest
  // float still prints whole.
  wchar_t text[kReportBufferChars];
  FormatPercentFigure(text, kReportBufferChars, -FLT_MAX);
  const std::wstring figure = text;
  EXPECT_EQ(L"-34028234663852885981170418348451692544000.0%", figure);
}

}  // namespace
