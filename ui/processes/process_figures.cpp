#include "ui/processes/process_figures.h"

#include <cwchar>

uint32_t CpuSharePercent(uint64_t cpuBefore, uint64_t cpuNow, uint64_t elapsed, uint32_t processors) {
  if (cpuNow <= cpuBefore || elapsed == 0 || processors == 0) return 0;
  // In double: the product of 64-bit times and a count cannot overflow there.
  const double share = static_cast<double>(cpuNow - cpuBefore) * 100.0 /
                       (static_cast<double>(elapsed) * static_cast<double>(processors));
  return share >= 100.0 ? 100u : static_cast<uint32_t>(share);
}

uint64_t ShownCpuShare(bool known, uint64_t prevCpuTime, uint64_t cpuTime, uint64_t elapsed, uint32_t processors) {
  if (!known) return kNoFigure;
  if (prevCpuTime == kNoFigure) return 0;
  return CpuSharePercent(prevCpuTime, cpuTime, elapsed, processors);
}

void FormatCpuTime(wchar_t* out, size_t capacity, uint64_t cpuTime) {
  const uint64_t seconds = cpuTime / kTicksPerSecond;
  swprintf(out, capacity, L"%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
           static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
}

void FormatMemUsage(wchar_t* out, size_t capacity, uint64_t bytes) {
  // Digits from the right, a separator every three, then reversed in place.
  wchar_t reversed[40];
  size_t length = 0;
  uint64_t kilobytes = bytes / kBytesPerKilobyte;
  int digits = 0;
  do {
    if (digits > 0 && digits % 3 == 0) reversed[length++] = L',';
    reversed[length++] = static_cast<wchar_t>(L'0' + kilobytes % 10);
    kilobytes /= 10;
    ++digits;
  } while (kilobytes != 0);
  if (capacity < length + 3) return;  // digits, " K" and the terminator
  for (size_t i = 0; i < length; ++i) out[i] = reversed[length - 1 - i];
  out[length] = L' ';
  out[length + 1] = L'K';
  out[length + 2] = L'\0';
}
