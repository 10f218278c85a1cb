#include "app/options.h"

#include <cstddef>

const char kUsageText[] =
    "Use the following params:\n\r/s: Enable output of temperature on serial output.\n\r"
    "/d: Disable DFS by default.\n\r/h: Show this text.\n\r";

static void LowerAscii(wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    if (*text >= L'A' && *text <= L'Z') *text = static_cast<wchar_t>(*text - L'A' + L'a');
  }
}

OptionScan ScanOptions(wchar_t* commandLine) {
  OptionScan scan = {0, 0, 0, 0};
  if (commandLine == NULL) return scan;
  LowerAscii(commandLine);

  const wchar_t* cursor = commandLine;
  while (*cursor == L'/') {
    ++cursor;  // the option letter (may be the terminator)
    switch (*cursor) {
      case L's': scan.serialTemperature = 1; break;
      case L'd': scan.dfsOffAtStart = 1; break;
      case L'h': ++scan.usageRequests; break;
      case L'l': scan.recordFigures = 1; break;
      default: break;
    }
    // The scan starts at the letter itself, so "//s" makes 's' the next letter.
    while (*cursor != L'\0' && *cursor != L'/') ++cursor;
  }
  return scan;
}
