#include "tests/wine/pixel_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "resources/resource_ids.h"
#include "ui/performance/performance_page.h"

void Picture::Fill(RECT rect, uint32_t colour) {
  for (int y = std::max<int>(rect.top, 0); y < std::min<int>(rect.bottom, height); ++y) {
    for (int x = std::max<int>(rect.left, 0); x < std::min<int>(rect.right, width); ++x) {
      pixels[static_cast<size_t>(y) * width + x] = colour;
    }
  }
}

// Runs `draw` on a memory DC over a black width x height DIB and returns its pixels.
template <typename Draw>
static Picture Render(int width, int height, Draw draw) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  draw(dc);
  GdiFlush();
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t v = static_cast<const uint32_t*>(bits)[i];  // 0xAARRGGBB
    picture.pixels[i] = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
  }
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return picture;
}

Picture CaptureClient(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  return Render(client.right, client.bottom, [&](HDC dc) {
    HDC source = GetDC(control);
    BitBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    ReleaseDC(control, source);
  });
}

int CountColour(const Picture& picture, RECT region, uint32_t colour) {
  int count = 0;
  for (int y = region.top; y < region.bottom; ++y) {
    for (int x = region.left; x < region.right; ++x) count += picture.At(x, y) == colour;
  }
  return count;
}

void SetClientSize(HWND control, int width, int height) {
  RECT window, client;
  GetWindowRect(control, &window);
  GetClientRect(control, &client);
  SetWindowPos(control, nullptr, 0, 0, width + (window.right - window.left) - client.right,
               height + (window.bottom - window.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND ShowPerformancePage() {
  HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PERFORMANCE), nullptr,
                                 PerformancePageProc, 0);
  ShowWindow(page, SW_SHOWNOACTIVATE);
  return page;
}

void ExpectGauge(HWND control, const GaugeBar* bars, const GaugeFigure* figures, int count) {
  const Picture actual = CaptureClient(control);
  Picture expected = Render(actual.width, actual.height, [&](HDC dc) {
    SetTextColor(dc, kPixelGreen);
    SetBkColor(dc, kPixelBlack);
    for (int k = 0; k < count; ++k) {
      RECT rect = figures[k].rect;
      DrawTextW(dc, figures[k].text, -1, &rect, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
    }
  });
  for (int k = 0; k < count; ++k) {
    EXPECT_GT(CountColour(expected, figures[k].rect, kPixelGreen), 0) << "no figure rendered";
    expected.Fill(bars[k].rect, kPixelTrough);
    expected.Fill({bars[k].rect.left, bars[k].levelTop, bars[k].rect.right, bars[k].rect.bottom}, kPixelGreen);
  }
  int wrong = 0;
  for (int y = 0; y < actual.height; ++y) {
    for (int x = 0; x < actual.width; ++x) {
      if (expected.At(x, y) == actual.At(x, y) || wrong++ > 0) continue;
      ADD_FAILURE() << "first at (" << x << ", " << y << "): expected " << std::hex << expected.At(x, y)
                    << ", found " << actual.At(x, y);
    }
  }
  EXPECT_EQ(0, wrong) << "pixels differ";
}

void ExpectLines(HWND control, const GraphLine* lines, int count) {
  const Picture picture = CaptureClient(control);
  int green = 0;
  for (int k = 0; k < count; ++k) {
    const GraphLine& line = lines[k];
    const int flatEnd = line.yLast == line.yFlat ? line.xLast : line.xPrev + 1;
    EXPECT_EQ(flatEnd - line.x0, CountColour(picture, {line.x0, line.yFlat, flatEnd, line.yFlat + 1}, kPixelGreen))
        << "flat run of line " << k;
    green += flatEnd - line.x0;
    const int low = std::min(line.yLast, line.yFlat) + 1;
    const int high = std::max(line.yLast, line.yFlat);
    for (int y = low; y < high; ++y, ++green) {
      EXPECT_EQ(1, CountColour(picture, {line.xPrev, y, line.xLast + 1, y + 1}, kPixelGreen))
          << "line " << k << " row " << y;
    }
  }
  const RECT all = {0, 0, picture.width, picture.height};
  EXPECT_EQ(green, CountColour(picture, all, kPixelGreen)) << "green elsewhere";
  EXPECT_EQ(picture.width * picture.height - green, CountColour(picture, all, kPixelBlack)) << "not black";
}
