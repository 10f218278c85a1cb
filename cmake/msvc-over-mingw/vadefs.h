/* Seen only by the configure check of the device's build with clang-cl over
   mingw-w64's headers (the wince-2013-check preset), where no SDK exists.
   mingw-w64's own vadefs.h knows no ARM target in MSVC mode, and its
   attribute macros put __declspec after a declarator, which MSVC mode
   rejects; this file takes its place and empties them. */
#ifndef _INC_VADEFS
#define _INC_VADEFS
#include <_mingw.h>
#undef __MINGW_NOTHROW
#define __MINGW_NOTHROW
#undef __MINGW_ATTRIB_NORETURN
#define __MINGW_ATTRIB_NORETURN
#undef __MINGW_ATTRIB_DEPRECATED
#define __MINGW_ATTRIB_DEPRECATED
#ifndef _VA_LIST_DEFINED
#define _VA_LIST_DEFINED
typedef __builtin_va_list va_list;
#endif
#define _crt_va_start(v, l) __builtin_va_start(v, l)
#define _crt_va_arg(v, l) __builtin_va_arg(v, l)
#define _crt_va_end(v) __builtin_va_end(v)
#define _crt_va_copy(d, s) __builtin_va_copy(d, s)
#endif
