// Call shapes of the chip's resource-manager library, shared by the program
// and the desktop stand-in that simulates it. Pure: no Windows header (the
// library uses the C calling convention, the same on every target).
#ifndef SELVANE_PLATFORM_RESOURCE_MANAGER_API_H
#define SELVANE_PLATFORM_RESOURCE_MANAGER_API_H

#include "platform/fixed_width.h"

// One clock domain's figures, all in kHz.
struct ClockUsage {
  uint32_t minimumKhz;
  uint32_t maximumKhz;
  uint32_t lowCornerKhz;
  uint32_t highCornerKhz;
  uint32_t currentKhz;
  uint32_t averageKhz;  // average activity: the share of the current clock in use
};

// Results: 0 for success, else an error number. The program ignores them.
// Clock domains 1..7, memory statistics 1..6, temperature zones 1..2 and the
// scaling states 2 (stopped) and 3 (running) are numbered in app/constants.h.
extern "C" {
typedef uint32_t (*PFN_NvRmOpen)(void** handle, uint32_t deviceId);  // null handle on failure
typedef void (*PFN_NvRmClose)(void* handle);
typedef uint32_t (*PFN_NvRmMemGetStat)(uint32_t statistic, int32_t* bytes);
typedef uint32_t (*PFN_NvRmDfsGetClockUtilization)(void* handle, uint32_t domain, ClockUsage* usage);
typedef uint32_t (*PFN_NvRmDiagGetTemperature)(void* handle, uint32_t zone, int32_t* celsius);
typedef uint32_t (*PFN_NvRmDfsGetState)(void* handle);
typedef uint32_t (*PFN_NvRmDfsSetState)(void* handle, uint32_t state);
// Lists of kHz by domain number (position 0 has no domain); 0xFFFFFFFF = unchanged.
typedef uint32_t (*PFN_NvRmDfsSetLowCorner)(void* handle, uint32_t count, const uint32_t* lowCornersKhz);
typedef uint32_t (*PFN_NvRmDfsSetTarget)(void* handle, uint32_t count, const uint32_t* targetsKhz);
typedef uint32_t (*PFN_NvRmDfsSetCpuEnvelope)(void* handle, uint32_t lowCornerKhz, uint32_t highCornerKhz);
typedef uint32_t (*PFN_NvRmDfsSetEmcEnvelope)(void* handle, uint32_t lowCornerKhz, uint32_t highCornerKhz);
typedef uint32_t (*PFN_NvRmDfsSetCpuEmcHighCorner)(void* handle, uint32_t cpuHighKhz, uint32_t emcHighKhz);
typedef uint32_t (*PFN_NvRmDfsSetAvHighCorner)(void* handle, uint32_t avpHighKhz, uint32_t vidHighKhz);
}

#endif
