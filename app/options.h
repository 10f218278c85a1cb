// Command-line switches /s, /d, /h, /l and /r. Pure: no Windows header.
#ifndef SELVANE_APP_OPTIONS_H
#define SELVANE_APP_OPTIONS_H

#include "platform/fixed_width.h"

struct OptionScan {
  uint32_t serialTemperature;  // /s
  uint32_t dfsOffAtStart;      // /d
  uint32_t usageRequests;      // how many times /h was given
  uint32_t recordFigures;      // /l
  uint32_t remoteEndpoint;     // /r
  uint32_t remotePort;         // its port: the digits after the letter, or the default; 0 when they are no port
};

// Printed once per /h, exactly, with the 8-bit printf.
extern const char kUsageText[];

// Lower-cases `commandLine` in place (ASCII letters only: other characters are
// left as they are, so the result does not depend on the device's locale
// tables) and scans it. Only the first letter after each '/' counts, and
// options are recognised only when the line begins with '/'.
OptionScan ScanOptions(wchar_t* commandLine);

#endif
