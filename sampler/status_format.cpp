#include "sampler/status_format.h"

#include <cwchar>

#include "app/text_format.h"
#include "platform/static_check.h"

// The groups after the first line are set apart by a blank, seven tabs and
// three blanks: the status field's word wrap puts each group on its own line.
#define STATUS_GAP L" \t\t\t\t\t\t\t   "
static const wchar_t kStatusFormat[] =
    L"CPU[%dMhz]\r\nSYS[%dMhz]  AVP[%d%%/%dMhz]" STATUS_GAP
    L"AHB[%d%%/%dMhz]  APB[%d%%/%dMhz]" STATUS_GAP
    L"VID[%d%%/%dMhz]   EMC[%d%%/%dMhz]" STATUS_GAP
    L"TModule=%d\u00B0C      Tcpu=%d\u00B0C" STATUS_GAP
    L"Carveout[%d/%dkB, lfb %dkB]" STATUS_GAP
    L"GART [%d/%dkB, lfb %dkB]";
#undef STATUS_GAP

// The status block fits the report buffer.
SELVANE_STATIC_CHECK(sizeof kStatusFormat / sizeof kStatusFormat[0] - 1 + kStatusNumberCount * kIntChars <
                         kReportBufferChars,
                     status_block_fits);

uint32_t DomainMhz(const ClockUsage& usage) { return usage.currentKhz / kKhzPerMhz; }

uint32_t DomainPercent(const ClockUsage& usage) {
  if (usage.currentKhz == 0) return 0;
  const uint64_t percent = usage.averageKhz * kPercent / usage.currentKhz;
  // An activity far above the clock would not fit the field's signed number.
  const uint64_t largest = kLargestInt32;
  return static_cast<uint32_t>(percent > largest ? largest : percent);
}

int32_t PoolKb(int32_t bytes) {
  // Arithmetic shift: rounds toward minus infinity, as every compiler here
  // shifts a negative number (and C++20 requires).
  return bytes >> kPoolShift;
}

static int Shown(uint32_t value) { return static_cast<int>(value); }  // MHz and percentages fit

size_t FormatHardwareStatus(const HardwareReadings& r, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  const ClockUsage* u = r.usage;
  const int32_t* stat = r.stat;
  const int written = FormatWide(
      out, capacity, kStatusFormat, Shown(DomainMhz(u[kDomainCpu - 1])), Shown(DomainMhz(u[kDomainSys - 1])),
      Shown(DomainPercent(u[kDomainAvp - 1])), Shown(DomainMhz(u[kDomainAvp - 1])),
      Shown(DomainPercent(u[kDomainAhb - 1])), Shown(DomainMhz(u[kDomainAhb - 1])),
      Shown(DomainPercent(u[kDomainApb - 1])), Shown(DomainMhz(u[kDomainApb - 1])),
      Shown(DomainPercent(u[kDomainVid - 1])), Shown(DomainMhz(u[kDomainVid - 1])),
      Shown(DomainPercent(u[kDomainEmc - 1])), Shown(DomainMhz(u[kDomainEmc - 1])), static_cast<int>(r.tModule),
      static_cast<int>(r.tCpu), static_cast<int>(PoolKb(stat[kStatCarveoutUsed - 1])),
      static_cast<int>(PoolKb(stat[kStatCarveoutTotal - 1])),
      static_cast<int>(PoolKb(stat[kStatCarveoutLargestFree - 1])), static_cast<int>(PoolKb(stat[kStatGartUsed - 1])),
      static_cast<int>(PoolKb(stat[kStatGartTotal - 1])), static_cast<int>(PoolKb(stat[kStatGartLargestFree - 1])));
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    out[0] = L'\0';
    return 0;
  }
  return static_cast<size_t>(written);
}

float ComputeFrequencyScale(const ClockUsage& cpu, float previous) {
  if (cpu.highCornerKhz == 0) return previous;
  return static_cast<float>(cpu.currentKhz) / static_cast<float>(cpu.highCornerKhz);
}
