
#include "app/text_format.h"

#include <cwchar>

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

int FormatWideList(wchar_t* out, size_t capacity, const wchar_t* format, va_list args) {
  if (capacity == 0) return -1;
#ifdef _WIN32
  // The Windows run-times' counted form (the device's has no other): it
  // leaves the buffer unterminated when the text fills it.
  const int written = _vsnwprintf(out, capacity, format, args);
#else
  // The native builds' C library (the pure core's tests): the ISO form.
  const int written = vswprintf(out, capacity, format, args);
#endif
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    out[capacity - 1] = L'\0';
    return -1;
  }
  return written;
}

int FormatWide(wchar_t* out, size_t capacity, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = FormatWideList(out, capacity, format, args);
  va_end(args);
  return written;
}
