// Pixels of the Performance page's controls, read back for the drawing tests.
#ifndef SELVANE_TESTS_WINE_PIXEL_SUPPORT_H
#define SELVANE_TESTS_WINE_PIXEL_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

// A picture of a client area; colours as the platform's 0x00BBGGRR.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, uint32_t colour) { pixels[static_cast<size_t>(y) * width + x] = colour; }
  // Fills [left, right) x [top, bottom), clipped to the picture, as FillRect does.
  void Fill(RECT rect, uint32_t colour);
};

// A width x height picture filled with one colour.
Picture Plain(int width, int height, uint32_t colour);

// The control's client area as it is on screen now, through its own DC.
Picture CaptureClient(HWND control);

// What DrawTextW with `format` paints for `text` in `rect` on a black
// width x height picture with the DC's default font, green on black.
Picture RenderText(int width, int height, const wchar_t* text, RECT rect, UINT format);

// Resizes a control so that its client area is width x height.
void SetClientSize(HWND control, int width, int height);

// The Performance page dialog, created hidden with no owner.
HWND CreatePerformancePage();

// Differences between two pictures of the same size, inside `region` (or
// everywhere when region is null): the count, and a note on the first.
struct Difference {
  int count = 0;
  std::string first;
};
Difference Compare(const Picture& expected, const Picture& actual, const RECT* region = nullptr);

// Pixels of `colour` inside `region`.
int CountColour(const Picture& picture, RECT region, uint32_t colour);

// The palette, written out independently of the program's constants.
const uint32_t kPixelBlack = 0x000000;
const uint32_t kPixelTrough = 0x008000;
const uint32_t kPixelGreen = 0x00FF00;

// A gauge bar with the top of its bright level, and a figure with its text.
struct GaugeBar {
  RECT rect;
  int levelTop;
};
struct GaugeFigure {
  RECT rect;
  const wchar_t* text;
};

// The picture a gauge must show: black, troughs, levels (clipped at the
// control's edge), and each figure as DrawTextW paints it in its rectangle.
Picture ExpectedGauge(int width, int height, const GaugeBar* bars, const GaugeFigure* figures, int count);

// Expects the control to show exactly that picture, every pixel.
void ExpectGauge(HWND control, const GaugeBar* bars, const GaugeFigure* figures, int count);

// One history series as it must look: flat on row `yFlat` from x0 up to
// xPrev, then one steep segment to (xLast, yLast). A polyline leaves out its
// own end point, so a wholly flat line ends at xLast - 1.
struct GraphLine {
  int x0;
  int xPrev;
  int xLast;
  int yFlat;
  int yLast;
};

// Expects the whole picture to be these lines on black: each flat run solid,
// each steep segment one pixel a row between its ends within its columns, and
// no other pixel anything but black.
void ExpectLines(const Picture& picture, const GraphLine* lines, int count);

#endif
