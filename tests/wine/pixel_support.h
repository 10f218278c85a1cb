// Pixels of the Performance page's controls, read back for the drawing tests.
#ifndef SELVANE_TESTS_WINE_PIXEL_SUPPORT_H
#define SELVANE_TESTS_WINE_PIXEL_SUPPORT_H

#include <cstdint>
#include <vector>

#include "platform/win32.h"

// The palette, written out independently of the program's constants.
const uint32_t kPixelBlack = 0x000000;
const uint32_t kPixelTrough = 0x008000;
const uint32_t kPixelGreen = 0x00FF00;

// A client area's pixels, colours as 0x00BBGGRR.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Fill(RECT rect, uint32_t colour);  // clipped, as FillRect does
};

// The control's client area as it is now, through its own DC.
Picture CaptureClient(HWND control);
int CountColour(const Picture& picture, RECT region, uint32_t colour);
// Resizes a control so that its client area is width x height.
void SetClientSize(HWND control, int width, int height);
// The Performance page dialog, shown: a hidden window keeps no pixels.
HWND ShowPerformancePage();

// A gauge bar with the top of its level, and a figure with its text.
struct GaugeBar {
  RECT rect;
  int levelTop;
};
struct GaugeFigure {
  RECT rect;
  const wchar_t* text;
};
// Expects exactly black, troughs, levels, and each figure as DrawTextW paints
// its text in its rectangle, green on black, in the DC's default font.
void ExpectGauge(HWND control, const GaugeBar* bars, const GaugeFigure* figures, int count);

// One series as it must look: flat on row yFlat from x0 up to xPrev, then one
// steep segment to (xLast, yLast). A polyline leaves out its own end point, so
// a wholly flat line ends at xLast - 1.
struct GraphLine {
  int x0;
  int xPrev;
  int xLast;
  int yFlat;
  int yLast;
};
// Expects the whole client area to be these lines on black: each flat run
// solid, each steep segment one pixel a row within its two columns, nothing else.
void ExpectLines(HWND control, const GraphLine* lines, int count);

#endif
