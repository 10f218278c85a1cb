// Command-line switches /s, /d, /h, /l, /r and /t. Pure: no Windows header.
#ifndef SELVANE_APP_OPTIONS_H
#define SELVANE_APP_OPTIONS_H

#include "app/constants.h"
#include "platform/fixed_width.h"

struct OptionScan {
  uint32_t serialTemperature;  // /s
  uint32_t dfsOffAtStart;      // /d
  uint32_t usageRequests;      // how many times /h was given
  uint32_t recordFigures;      // /l
  uint32_t remoteEndpoint;     // /r
  uint32_t remotePort;         // its port: the digits after the letter, or the default; 0 when they are no port
  // Text written right after a letter runs to the next '/' or the end, its
  // trailing blanks left out; it points into the command line.
  const wchar_t* recordPath;   // /lPATH: the record file; null: standard output
  uint32_t recordPathChars;
  const wchar_t* rules[kMaxTriggerRules];  // /tRULE, in the order given
  uint32_t ruleChars[kMaxTriggerRules];
  uint32_t ruleCount;
  uint32_t rulesOver;          // /t options beyond kMaxTriggerRules, left out
};

// Printed once per /h, exactly, with the 8-bit printf.
extern const char kUsageText[];

// Lower-cases `commandLine` in place (ASCII letters only: other characters are
// left as they are, so the result does not depend on the device's locale
// tables) and scans it. Only the first letter after each '/' counts, and
// options are recognised only when the line begins with '/'.
OptionScan ScanOptions(wchar_t* commandLine);

#endif
