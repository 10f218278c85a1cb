// A compile-time check in the language of the device's oldest compiler, which
// has no static assertion: a false condition makes an array of negative size.
// `name` says what is checked and must be unique in its file. Pure: no
// Windows header.
#ifndef SELVANE_PLATFORM_STATIC_CHECK_H
#define SELVANE_PLATFORM_STATIC_CHECK_H

#define SELVANE_STATIC_CHECK(condition, name) typedef char static_check_##name[(condition) ? 1 : -1]

#endif
