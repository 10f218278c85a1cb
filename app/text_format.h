// Small text formatters shared by the program.s writers. Pure: no Windows header.
#ifndef SELVANE_APP_TEXT_FORMAT_H
#define SELVANE_APP_TEXT_FORMAT_H

#include <cstddef>
#include <cstdint>

// `value` as unsigned decimal digits into `out` (capacity in characters,
// terminator included): the device's C run-time may lack a 64-bit printf
// format. Returns the digits written, or 0 (and writes nothing) when they do
// not fit.
size_t FormatUnsigned64(wchar_t* out, size_t capacity, uint64_t value);

#endif
