#include "tests/wine/pixel_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "resources/resource_ids.h"
#include "ui/performance/performance_page.h"

void Picture::Fill(RECT rect, uint32_t colour) {
  const int left = std::max<int>(rect.left, 0), right = std::min<int>(rect.right, width);
  const int top = std::max<int>(rect.top, 0), bottom = std::min<int>(rect.bottom, height);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) Set(x, y, colour);
  }
}

Picture Plain(int width, int height, uint32_t colour) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(width) * height, colour);
  return picture;
}

// A top-down 32-bit DIB section selected into a memory DC.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  const uint32_t* bits = nullptr;
};

static Canvas OpenCanvas(int width, int height) {
  Canvas canvas;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  canvas.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  canvas.dc = CreateCompatibleDC(nullptr);
  canvas.previous = SelectObject(canvas.dc, canvas.bitmap);
  canvas.bits = static_cast<const uint32_t*>(bits);
  return canvas;
}

// DIB pixels are 0xAARRGGBB; the platform's colours 0x00BBGGRR.
static Picture CloseCanvas(Canvas* canvas, int width, int height) {
  GdiFlush();
  Picture picture = Plain(width, height, 0);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t v = canvas->bits[i];
    picture.pixels[i] = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
  }
  SelectObject(canvas->dc, canvas->previous);
  DeleteDC(canvas->dc);
  DeleteObject(canvas->bitmap);
  return picture;
}

Picture CaptureClient(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  Canvas canvas = OpenCanvas(client.right, client.bottom);
  HDC source = GetDC(control);
  BitBlt(canvas.dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
  ReleaseDC(control, source);
  return CloseCanvas(&canvas, client.right, client.bottom);
}

Picture RenderText(int width, int height, const wchar_t* text, RECT rect, UINT format) {
  Canvas canvas = OpenCanvas(width, height);
  RECT all = {0, 0, width, height};
  FillRect(canvas.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetTextColor(canvas.dc, RGB(0, 255, 0));
  SetBkColor(canvas.dc, RGB(0, 0, 0));
  DrawTextW(canvas.dc, text, -1, &rect, format);
  return CloseCanvas(&canvas, width, height);
}

void SetClientSize(HWND control, int width, int height) {
  RECT window, client;
  GetWindowRect(control, &window);
  GetClientRect(control, &client);
  const int frameX = (window.right - window.left) - client.right;
  const int frameY = (window.bottom - window.top) - client.bottom;
  SetWindowPos(control, nullptr, 0, 0, width + frameX, height + frameY,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreatePerformancePage() {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                            PerformancePageProc, 0);
}

Difference Compare(const Picture& expected, const Picture& actual, const RECT* region) {
  Difference difference;
  if (expected.width != actual.width || expected.height != actual.height) {
    difference.count = -1;
    difference.first = "sizes differ";
    return difference;
  }
  RECT all = {0, 0, expected.width, expected.height};
  const RECT area = region != nullptr ? *region : all;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (expected.At(x, y) == actual.At(x, y)) continue;
      if (difference.count++ == 0) {
        char note[96];
        snprintf(note, sizeof note, "first at (%d, %d): expected %06X, found %06X", x, y,
                 expected.At(x, y), actual.At(x, y));
        difference.first = note;
      }
    }
  }
  return difference;
}

int CountColour(const Picture& picture, RECT region, uint32_t colour) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y) {
    for (int x = region.left; x < region.right; ++x) count += picture.At(x, y) == colour;
  }
  return count;
}

Picture ExpectedGauge(int width, int height, const GaugeBar* bars, const GaugeFigure* figures, int count) {
  Picture picture = Plain(width, height, kPixelBlack);
  for (int k = 0; k < count; ++k) {
    picture.Fill(bars[k].rect, kPixelTrough);
    RECT level = bars[k].rect;
    level.top = bars[k].levelTop;
    picture.Fill(level, kPixelGreen);
  }
  const UINT format = DT_SINGLELINE | DT_BOTTOM | DT_CENTER;
  for (int k = 0; k < count; ++k) {
    const Picture text = RenderText(width, height, figures[k].text, figures[k].rect, format);
    EXPECT_GT(CountColour(text, figures[k].rect, kPixelGreen), 0) << "no figure rendered";
    for (int y = figures[k].rect.top; y < figures[k].rect.bottom; ++y) {
      for (int x = figures[k].rect.left; x < figures[k].rect.right; ++x) picture.Set(x, y, text.At(x, y));
    }
  }
  return picture;
}

void ExpectGauge(HWND control, const GaugeBar* bars, const GaugeFigure* figures, int count) {
  const Picture actual = CaptureClient(control);
  const Difference difference = Compare(ExpectedGauge(actual.width, actual.height, bars, figures, count), actual);
  EXPECT_EQ(0, difference.count) << difference.first;
}

void ExpectLines(const Picture& picture, const GraphLine* lines, int count) {
  int expectedGreen = 0;
  for (int k = 0; k < count; ++k) {
    const GraphLine& line = lines[k];
    const int flatEnd = line.yLast == line.yFlat ? line.xLast : line.xPrev + 1;
    const RECT flat = {line.x0, line.yFlat, flatEnd, line.yFlat + 1};
    EXPECT_EQ(flatEnd - line.x0, CountColour(picture, flat, kPixelGreen)) << "flat run of line " << k;
    expectedGreen += flatEnd - line.x0;
    const int low = line.yLast < line.yFlat ? line.yLast + 1 : line.yFlat + 1;
    const int high = line.yLast < line.yFlat ? line.yFlat : line.yLast;
    for (int y = low; y < high; ++y) {
      const RECT row = {line.xPrev, y, line.xLast + 1, y + 1};
      EXPECT_EQ(1, CountColour(picture, row, kPixelGreen)) << "line " << k << " row " << y;
    }
    if (high > low) expectedGreen += high - low;
  }
  const RECT all = {0, 0, picture.width, picture.height};
  EXPECT_EQ(expectedGreen, CountColour(picture, all, kPixelGreen)) << "green elsewhere";
  EXPECT_EQ(picture.width * picture.height - expectedGreen, CountColour(picture, all, kPixelBlack))
      << "pixels neither black nor green";
}
