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

// The text right after an option letter: up to the next '/' or the end,
// trailing blanks left out (a folder may hold blanks: \Storage Card\run.csv).
static uint32_t ArgumentChars(const wchar_t* text) {
  uint32_t chars = 0;
  while (text[chars] != L'\0' && text[chars] != L'/') ++chars;
  while (chars > 0 && (text[chars - 1] == L' ' || text[chars - 1] == L'\t')) --chars;
  return chars;
}

OptionScan ScanOptions(wchar_t* commandLine) {
  OptionScan scan = OptionScan();
  if (commandLine == NULL) return scan;
  LowerAscii(commandLine);

  const wchar_t* cursor = commandLine;
  while (*cursor == L'/') {
    ++cursor;  // the option letter (may be the terminator)
    switch (*cursor) {
      case L's': scan.serialTemperature = 1; break;
      case L'd': scan.dfsOffAtStart = 1; break;
      case L'h': ++scan.usageRequests; break;
      case L'l':
        scan.recordFigures = 1;
        scan.recordPathChars = ArgumentChars(cursor + 1);
        scan.recordPath = scan.recordPathChars > 0 ? cursor + 1 : NULL;
        break;
      case L't':
        if (scan.ruleCount == kMaxTriggerRules) {
          ++scan.rulesOver;
          break;
        }
        scan.rules[scan.ruleCount] = cursor + 1;
        scan.ruleChars[scan.ruleCount] = ArgumentChars(cursor + 1);
        ++scan.ruleCount;
        break;
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
