// Any command line: the scan stays within the string, changes nothing but
// the case of ASCII capitals, and reports flags of 0 or 1 only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/constants.h"
#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two bytes to a character, as the device's 16-bit text; exactly sized, so
  // that ASan reports any read past the terminator.
  const size_t length = size / 2;
  wchar_t* line = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  wchar_t* original = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  size_t slashes = 0;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (c == L'\0') c = L' ';  // the terminator comes only at the end
    line[i] = original[i] = c;
    if (c == L'/') ++slashes;
  }
  line[length] = original[length] = L'\0';

  const OptionScan scan = ScanOptions(line);

  if (scan.serialTemperature > 1 || scan.dfsOffAtStart > 1 || scan.recordFigures > 1 || scan.remoteEndpoint > 1 ||
      (scan.remotePort != 0 && !scan.remoteEndpoint) || scan.remotePort > kRemotePortMax || scan.usageRequests > slashes) {
    std::abort();
  }
  for (size_t i = 0; i <= length; ++i) {
    const wchar_t before = original[i];
    const wchar_t expected = (before >= L'A' && before <= L'Z') ? static_cast<wchar_t>(before + 32) : before;
    if (line[i] != expected) std::abort();
  }
  std::free(line);
  std::free(original);
  return 0;
}
