// Small text formatters shared by the program's writers. Pure: no Windows header.
#ifndef SELVANE_APP_TEXT_FORMAT_H
#define SELVANE_APP_TEXT_FORMAT_H

#include <cstdarg>
#include <cstddef>

#include "platform/fixed_width.h"

// `value` as unsigned decimal digits into `out` (capacity in characters,
// terminator included): the device's C run-time may lack a 64-bit printf
// format. Returns the digits written, or 0 (and writes nothing) when they do
// not fit.
size_t FormatUnsigned64(wchar_t* out, size_t capacity, uint64_t value);

// The wide printf of every platform into `out` (capacity in characters,
// terminator included). The text is always terminated. Returns the
// characters written, or -1 when the text does not fit (`out` then holds as
// much as fits) or the format fails.
int FormatWide(wchar_t* out, size_t capacity, const wchar_t* format, ...);
int FormatWideList(wchar_t* out, size_t capacity, const wchar_t* format, va_list args);

#endif
