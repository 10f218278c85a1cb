#include "app/options.h"

#include <cstddef>

#include "app/constants.h"

const char kUsageText[] =
    "Use the following params:\n\r/s: Enable output of temperature on serial output.\n\r"
    "/d: Disable DFS by default.\n\r/h: Show this text.\n\r";

static void LowerAscii(wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    if (*text >= L'A' && *text <= L'Z') *text = static_cast<wchar_t>(*text - L'A' + L'a');
  }
}

// The port written directly after /r, up to a space or the next option: 1 to
// 65535 in decimal, the default when nothing is written, 0 for anything else.
static uint32_t ScanPort(const wchar_t* text) {
  uint32_t port = 0;
  uint32_t digits = 0;
  for (; *text != L'\0' && *text != L'/' && *text != L' ' && *text != L'\t'; ++text) {
    if (*text < L'0' || *text > L'9' || ++digits > kRemotePortDigits) return 0;
    port = port * 10 + static_cast<uint32_t>(*text - L'0');
  }
  if (digits == 0) return kRemoteDefaultPort;
  return port <= kRemotePortMax ? port : 0;
}

OptionScan ScanOptions(wchar_t* commandLine) {
  OptionScan scan = {0, 0, 0, 0, 0, 0};
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
      case L'r':
        scan.remoteEndpoint = 1;
        scan.remotePort = ScanPort(cursor + 1);
        break;
      default: break;
    }
    // The scan starts at the letter itself, so "//s" makes 's' the next letter.
    while (*cursor != L'\0' && *cursor != L'/') ++cursor;
  }
  return scan;
}
