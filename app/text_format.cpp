#include "app/text_format.h"

#include "app/constants.h"

size_t FormatUnsigned64(wchar_t* out, size_t capacity, uint64_t value) {
  wchar_t digits[kUnsigned64Digits];
  size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (capacity < count + 1) return 0;
  for (size_t i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  out[count] = L'\0';
  return count;
}
