#include "ui/processes/process_figures.h"

#include <cwchar>

#include "app/text_format.h"
#include "ui/processes/list_model.h"

uint32_t CpuSharePercent(uint64_t cpuBefore, uint64_t cpuNow, uint64_t elapsed, uint32_t processors) {
  if (cpuNow <= cpuBefore || elapsed == 0 || processors == 0) return 0;
  // In double: the product of 64-bit times and a count cannot overflow there.
  const double share = static_cast<double>(cpuNow - cpuBefore) * kPercentPerFraction /
                       (static_cast<double>(elapsed) * static_cast<double>(processors));
  return share >= kPercentPerFraction ? static_cast<uint32_t>(kPercent) : static_cast<uint32_t>(share);
}

uint32_t ShowCpuShare(uint64_t* shown, uint64_t* prevCpuTime, bool known, uint64_t cpuTime, uint64_t elapsed,
                      uint32_t processors, int subItem) {
  uint64_t share = kNoFigure;
  if (known) share = *prevCpuTime == kNoFigure ? 0 : CpuSharePercent(*prevCpuTime, cpuTime, elapsed, processors);
  *prevCpuTime = known ? cpuTime : kNoFigure;
  return ShowFigure(shown, share, subItem);
}

void FormatCpuTime(wchar_t* out, size_t capacity, uint64_t seconds) {
  const size_t hours = FormatUnsigned64(out, capacity, seconds / kSecondsPerHour);
  if (hours == 0) return;
  FormatWide(out + hours, capacity - hours, L":%02u:%02u",
             static_cast<unsigned>(seconds % kSecondsPerHour / kSecondsPerMinute),
             static_cast<unsigned>(seconds % kSecondsPerMinute));
}

void FormatMemUsage(wchar_t* out, size_t capacity, uint64_t kilobytes) {
  // Digits from the right, a separator every three, then reversed in place.
  wchar_t reversed[kUnsigned64Digits + kUnsigned64Digits / 3];
  size_t length = 0;
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

const wchar_t* DecimalText(wchar_t* out, size_t capacity, int value) {
  return FormatWide(out, capacity, L"%d", value) < 0 ? NULL : out;
}
