#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ui/performance/gauge_geometry.h"

namespace {

std::wstring Figure(float fraction, bool percent) {
  wchar_t text[64];
  (percent ? FormatPercentFigure : FormatWholeFigure)(text, 64, fraction);
  return text;
}

TEST(GaugeLevel, TruncatedNeverBelowTheBottomAndDefinedForAnyFraction) {
  const PixelRect bar = {0, 5, 10, 35};  // 30 pixels high
  EXPECT_EQ(35, GaugeLevelTop(bar, 0.03f));  // 0.9 of a pixel truncates to none
  EXPECT_EQ(35, GaugeLevelTop(bar, -0.5f));
  // A wrapped busy time gives loads beyond any integer; UBSan watches the conversions.
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, FLT_MAX));
  EXPECT_EQ(35 - 30 * 16, GaugeLevelTop(bar, INFINITY));
  EXPECT_EQ(35, GaugeLevelTop(bar, NAN));
}

TEST(GaugeFigure, PercentRoundsWholeTruncatesBoundedAsTheLevels) {
  // 0.29f and 1.03f lie just below 0.29 and 1.03.
  EXPECT_EQ(L"29.0%", Figure(0.29f, true));
  EXPECT_EQ(L"103.0%", Figure(1.03f, true));
  EXPECT_EQ(L"28", Figure(0.29f, false));
  EXPECT_EQ(L"102", Figure(1.03f, false));
  EXPECT_EQ(L"1600", Figure(4.0e9f, false));
  EXPECT_EQ(L"-1600", Figure(-INFINITY, false));
  EXPECT_EQ(L"0", Figure(NAN, false));
}

// A processor that is off reads "off" over an empty bar, whatever its load slot holds; the others as ever.
TEST(GaugeFigure, SwitchedOffProcessorReadsOff) {
  const float loads[kMaxProcessors] = {0.5f, 1.0f, 0.25f, 0.75f};
  GaugePicture picture;
  ComputeCpuGaugePicture(80, 50, 4, loads, 0b0010, &picture);
  ASSERT_EQ(4u, picture.barCount);
  EXPECT_EQ(std::wstring(L"off"), picture.figures[1]);
  EXPECT_EQ(0.0f, picture.fractions[1]);
  EXPECT_EQ(std::wstring(L"50"), picture.figures[0]);
  EXPECT_EQ(0.75f, picture.fractions[3]);
  ComputeCpuGaugePicture(80, 50, 1, loads, 0b0001, &picture);
  EXPECT_EQ(std::wstring(L"off"), picture.figures[0]);
}

// A drawing is left out only when it would paint the very same pixels.
TEST(GaugePixels, SameOnlyForTheSameBarsLevelsToThePixelAndFigures) {
  // A tall gauge, whose level moves a pixel before its whole figure does.
  const float loads[kMaxProcessors] = {0.50f, 0.25f};
  GaugePicture shown, next;
  ComputeCpuGaugePicture(56, 250, 2, loads, 0, &shown);
  const float within[kMaxProcessors] = {0.5001f, 0.25f}, across[kMaxProcessors] = {0.509f, 0.25f};
  ComputeCpuGaugePicture(56, 250, 2, within, 0, &next);
  EXPECT_TRUE(SameGaugePixels(shown, next));
  ComputeCpuGaugePicture(56, 250, 2, across, 0, &next);
  ASSERT_EQ(std::wstring(shown.figures[0]), next.figures[0]);
  EXPECT_FALSE(SameGaugePixels(shown, next));
  ComputeCpuGaugePicture(56, 250, 2, loads, 0b10, &next);  // off: an empty bar reading "off"
  EXPECT_FALSE(SameGaugePixels(shown, next));
  ComputeCpuGaugePicture(57, 250, 2, loads, 0, &next);
  EXPECT_FALSE(SameGaugePixels(shown, next));
}

}  // namespace
