// Bounded 8-bit text for the remote endpoint's responses. Pure: no Windows
// header; no printf, so the same digits come out on every C run-time.
#ifndef SELVANE_REMOTE_BYTE_TEXT_H
#define SELVANE_REMOTE_BYTE_TEXT_H

#include <stddef.h>

#include "app/constants.h"

// Text appended at `length`. A piece that does not fit sets `full` and
// nothing more is written; the text is not NUL-terminated.
struct ByteText {
  char* text;
  size_t capacity;
  size_t length;
  bool full;
};

ByteText MakeByteText(char* text, size_t capacity);
void PutBytes(ByteText* out, const char* bytes, size_t count);
void PutText(ByteText* out, const char* text);  // NUL-terminated
void PutUnsigned(ByteText* out, uint32_t value);
// `value` divided by 10^decimals, with exactly `decimals` digits after the
// point (none and no point for 0; at most kScaledDecimalsMax): PutScaled(out, -1205, 3) gives "-1.205".
void PutScaled(ByteText* out, int64_t value, uint32_t decimals);

#endif
