#include "ui/performance/pixel_math.h"

#include "app/constants.h"

float BoundFraction(float fraction) {
  if (fraction != fraction) return 0.0f;  // NaN, the one value unequal to itself
  if (fraction > kFractionLimit) return kFractionLimit;
  if (fraction < -kFractionLimit) return -kFractionLimit;
  return fraction;
}

int32_t ScaledExtent(int32_t extent, float fraction) {
  const float scaled = static_cast<float>(extent) * BoundFraction(fraction);
  return static_cast<int32_t>(scaled);
}

int32_t ColumnEdge(int32_t k, int32_t width, int32_t n) {
  return static_cast<int32_t>((static_cast<int64_t>(k) * width) / n);
}
