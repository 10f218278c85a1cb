// A FILETIME as one 64-bit count of 100 ns units.
#ifndef SELVANE_PLATFORM_FILE_TIME_H
#define SELVANE_PLATFORM_FILE_TIME_H

#include <windows.h>

#include "platform/fixed_width.h"

inline uint64_t FileTimeTicks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

#endif
