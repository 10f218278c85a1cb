#include "remote/byte_text.h"

ByteText MakeByteText(char* text, size_t capacity) {
  ByteText out = {text, capacity, 0, false};
  return out;
}

void PutBytes(ByteText* out, const char* bytes, size_t count) {
  if (out->full || count > out->capacity - out->length) {
    out->full = true;
    return;
  }
  for (size_t i = 0; i < count; ++i) out->text[out->length + i] = bytes[i];
  out->length += count;
}

void PutText(ByteText* out, const char* text) {
  size_t count = 0;
  while (text[count] != '\0') ++count;
  PutBytes(out, text, count);
}

void PutUnsigned(ByteText* out, uint32_t value) { PutScaled(out, value, 0); }

void PutScaled(ByteText* out, int64_t value, uint32_t decimals) {
  // Digits from the right: the fraction's, the point, then the whole part's.
  // Room for every digit of 2^64, the point, the sign and the longest fraction.
  char digits[kUnsigned64Digits + kScaledDecimalsMax + 2];
  size_t first = sizeof digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  if (decimals > kScaledDecimalsMax) decimals = kScaledDecimalsMax;
  for (uint32_t place = 0; place < decimals; ++place) {
    digits[--first] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  if (decimals > 0) digits[--first] = '.';
  do {
    digits[--first] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--first] = '-';
  PutBytes(out, digits + first, sizeof digits - first);
}
