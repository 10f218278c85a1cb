// Fixed-width integers for every compiler that builds the program: the C
// library's <stdint.h> where the compiler has one, and the compiler's own
// sized types for the Compact 7 SDK's (Visual C++ 2008), which has none.
// Pure: no Windows header.
#ifndef SELVANE_PLATFORM_FIXED_WIDTH_H
#define SELVANE_PLATFORM_FIXED_WIDTH_H

#if defined(_MSC_VER) && _MSC_VER < 1600
typedef signed __int8 int8_t;
typedef signed __int16 int16_t;
typedef signed __int32 int32_t;
typedef signed __int64 int64_t;
typedef unsigned __int8 uint8_t;
typedef unsigned __int16 uint16_t;
typedef unsigned __int32 uint32_t;
typedef unsigned __int64 uint64_t;
#else
#include <stdint.h>
#endif

#endif
