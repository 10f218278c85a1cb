// Rectangles and fraction-to-pixel arithmetic shared by the gauges and the
// history graphs. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_PIXEL_MATH_H
#define SELVANE_UI_PERFORMANCE_PIXEL_MATH_H

#include "platform/fixed_width.h"

// Client coordinates; right and bottom exclusive, as FillRect treats them.
struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

inline PixelRect MakePixelRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const PixelRect rect = {left, top, right, bottom};
  return rect;
}

// `fraction` limited to +-kFractionLimit, NaN as 0: a wrapped busy time can
// give a load far outside 32-bit range, and converting that to an integer is
// undefined. Fractions from 0 to 1 and moderately above pass unchanged.
float BoundFraction(float fraction);

// The pixels a fraction of `extent` covers: extent as float times the bounded
// fraction in single precision, truncated toward zero.
int32_t ScaledExtent(int32_t extent, float fraction);

// Edge k of n equal columns across `width`: (k * width) / n, truncated toward
// zero, multiplied before dividing (in 64 bits, so no width can overflow).
int32_t ColumnEdge(int32_t k, int32_t width, int32_t n);

#endif
