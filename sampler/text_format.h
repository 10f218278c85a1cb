// Small text formatters shared by the sampler's writers. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_TEXT_FORMAT_H
#define SELVANE_SAMPLER_TEXT_FORMAT_H

#include <cstddef>
#include <cstdint>

// `value` as unsigned decimal digits into `out` (capacity in characters,
// terminator included). Writes nothing when it does not fit.
void FormatUnsigned64(wchar_t* out, size_t capacity, uint64_t value);

#endif
