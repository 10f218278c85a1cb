#include "ui/performance/gauge_geometry.h"

#include <cwchar>

#include "app/text_format.h"

// What a processor that is switched off reads on its gauge.
static const wchar_t kProcessorOffFigure[] = L"off";

uint32_t CpuGaugeLayout(int32_t width, int32_t height, uint32_t processorCount, PixelRect bars[kMaxProcessors],
                        PixelRect figures[kMaxProcessors]) {
  if (processorCount == 1) {
    MemoryGaugeLayout(width, height, &bars[0], &figures[0]);
    return 1;
  }
  int32_t left;
  int32_t right;
  if (processorCount == 2) {
    left = kGaugeSideTwo;
    right = kGaugeSideTwo;
  } else if (processorCount == 4) {
    left = kGaugeLeftFour;
    right = kGaugeRightFour;
  } else {
    return 0;
  }
  // Column k spans k*W/n to (k+1)*W/n, multiplied before dividing; the bars
  // stand a column in from each inner border and the outer margins differ.
  const int32_t n = static_cast<int32_t>(processorCount);
  for (int32_t k = 0; k < n; ++k) {
    const int32_t columnLeft = ColumnEdge(k, width, n);
    const int32_t columnRight = ColumnEdge(k + 1, width, n);
    bars[k].left = k == 0 ? left : columnLeft + kGaugeBarGapHalf;
    bars[k].top = kGaugeBarTop;
    bars[k].right = k == n - 1 ? width - right : columnRight - kGaugeBarGapHalf;
    bars[k].bottom = height - kGaugeFigure;
    figures[k] = MakePixelRect(columnLeft, height - kGaugeFigure, columnRight, height);
  }
  return processorCount;
}

void MemoryGaugeLayout(int32_t width, int32_t height, PixelRect* bar, PixelRect* figure) {
  *bar = MakePixelRect(kGaugeSingleBarSide, kGaugeSingleBarTop, width - kGaugeSingleBarSide,
                       height - kGaugeSingleBarBottom);
  *figure = MakePixelRect(0, height - kGaugeSingleFigure, width, height);
}

int32_t GaugeLevelTop(const PixelRect& bar, float fraction) {
  const int32_t top = bar.bottom - ScaledExtent(bar.bottom - bar.top, fraction);
  // Never below the bottom: FillRect fills an upside-down rectangle too, which
  // would paint a negative level under the bar, over the figure.
  return top > bar.bottom ? bar.bottom : top;
}

void FormatPercentFigure(wchar_t* out, size_t capacity, float fraction) {
  // No integer conversion here, so the fraction needs no bound.
  if (FormatWide(out, capacity, L"%.1f%%", static_cast<double>(fraction) * kPercentPerFraction) < 0) out[0] = L'\0';
}

void FormatWholeFigure(wchar_t* out, size_t capacity, float fraction) {
  const double percent = static_cast<double>(BoundFraction(fraction)) * kPercentPerFraction;
  if (FormatWide(out, capacity, L"%d", static_cast<int>(percent)) < 0) out[0] = L'\0';
}

void ComputeCpuGaugePicture(int32_t width, int32_t height, uint32_t processorCount, const float* cpuLoads,
                            uint32_t off, GaugePicture* picture) {
  const uint32_t count = CpuGaugeLayout(width, height, processorCount, picture->bars, picture->figureRects);
  picture->barCount = count;
  for (uint32_t k = 0; k < count; ++k) {
    if ((off >> k) & 1u) {
      picture->fractions[k] = 0.0f;
      FormatWide(picture->figures[k], kGaugeFigureChars, L"%ls", kProcessorOffFigure);
      continue;
    }
    picture->fractions[k] = cpuLoads[k];
    // One processor shows a percent with a decimal, more show whole numbers.
    if (count == 1) {
      FormatPercentFigure(picture->figures[k], kGaugeFigureChars, cpuLoads[k]);
    } else {
      FormatWholeFigure(picture->figures[k], kGaugeFigureChars, cpuLoads[k]);
    }
  }
}

void ComputeMemoryGaugePicture(int32_t width, int32_t height, float memLoad, GaugePicture* picture) {
  MemoryGaugeLayout(width, height, &picture->bars[0], &picture->figureRects[0]);
  picture->barCount = 1;
  picture->fractions[0] = memLoad;
  FormatPercentFigure(picture->figures[0], kGaugeFigureChars, memLoad);
}

static bool SameRect(const PixelRect& a, const PixelRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameGaugePixels(const GaugePicture& a, const GaugePicture& b) {
  if (a.barCount != b.barCount) return false;
  for (uint32_t k = 0; k < a.barCount && k < kMaxProcessors; ++k) {
    if (!SameRect(a.bars[k], b.bars[k]) || !SameRect(a.figureRects[k], b.figureRects[k]) ||
        GaugeLevelTop(a.bars[k], a.fractions[k]) != GaugeLevelTop(b.bars[k], b.fractions[k]) ||
        wcscmp(a.figures[k], b.figures[k]) != 0) {
      return false;
    }
  }
  return true;
}
