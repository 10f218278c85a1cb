// Any readings: the status text always fits the report buffer, ends in its
// terminator and writes nothing past it; in a smaller buffer it fits the
// same way or is empty.
//
// Input: the readings' bytes as they lie in memory (clock records,
// temperatures, pool bytes), then two bytes of a smaller capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "sampler/status_format.h"

namespace {

constexpr size_t kGuardChars = 16;
constexpr wchar_t kGuard = 0x5A5A;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Formats into the first `capacity` characters of a guarded buffer and checks
// the text and the guard.
size_t FormatChecked(const HardwareReadings& readings, size_t capacity) {
  wchar_t buffer[kReportBufferChars + kGuardChars];
  for (wchar_t& c : buffer) c = kGuard;
  const size_t written = FormatHardwareStatus(readings, buffer, capacity);
  if (capacity == 0) {
    Check(written == 0 && buffer[0] == kGuard);
    return 0;
  }
  Check(written < capacity);
  Check(buffer[written] == L'\0');
  Check(std::wcslen(buffer) == written);
  for (size_t i = capacity; i < kReportBufferChars + kGuardChars; ++i) Check(buffer[i] == kGuard);
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HardwareReadings readings = {};
  const size_t taken = size < sizeof readings ? size : sizeof readings;
  std::memcpy(&readings, data, taken);

  // The full buffer always holds the whole block.
  Check(FormatChecked(readings, kReportBufferChars) > 0);
  uint16_t smaller = 0;
  if (size >= taken + sizeof smaller) std::memcpy(&smaller, data + taken, sizeof smaller);
  FormatChecked(readings, smaller % (kReportBufferChars + 1));
  return 0;
}
