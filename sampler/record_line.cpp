#include "sampler/record_line.h"

#include <cstdarg>
#include <cwchar>

#include "app/text_format.h"
#include "ui/performance/pixel_math.h"

// The line is built with the wide formatter the device's run-time has, then
// narrowed: every character of it is ASCII.
struct Line {
  wchar_t text[kRecordLineChars];
  size_t length;
  bool full;
};

static void Append(Line* line, const wchar_t* format, ...) {
  if (line->full) return;
  va_list args;
  va_start(args, format);
  const int written = FormatWideList(line->text + line->length, kRecordLineChars - line->length, format, args);
  va_end(args);
  if (written < 0 || line->length + static_cast<size_t>(written) >= kRecordLineChars) {
    line->full = true;
    return;
  }
  line->length += static_cast<size_t>(written);
}

static size_t Narrow(const Line& line, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  if (line.full || line.length + 1 > capacity) {
    out[0] = '\0';
    return 0;
  }
  for (size_t i = 0; i < line.length; ++i) out[i] = static_cast<char>(line.text[i]);
  out[line.length] = '\0';
  return line.length;
}

static const wchar_t* const kRecordDomains[kClockDomainCount] = {L"cpu", L"avp", L"sys", L"ahb",
                                                                 L"apb", L"vid", L"emc"};
static const wchar_t* const kRecordPools[kMemStatCount] = {L"carveout_total", L"carveout_used", L"carveout_lfb",
                                                           L"gart_total",     L"gart_used",     L"gart_lfb"};

size_t FormatRecordHeader(char* out, size_t capacity, uint32_t processorCount) {
  Line line;
  line.length = 0;
  line.full = false;
  Append(&line, L"seconds");
  for (uint32_t p = 1; p <= processorCount && p <= kMaxProcessors; ++p) {
    Append(&line, L",cpu%u_load_pct,cpu%u_busy_pct", static_cast<unsigned>(p), static_cast<unsigned>(p));
  }
  Append(&line, L",cpu_clock_mhz,cpu_high_corner_mhz,memory_load_pct");
  for (uint32_t d = 0; d < kClockDomainCount; ++d) {
    Append(&line, L",%ls_mhz,%ls_pct", kRecordDomains[d], kRecordDomains[d]);
  }
  Append(&line, L",tmodule_c,tcpu_c");
  for (uint32_t s = 0; s < kMemStatCount; ++s) Append(&line, L",%ls_kb", kRecordPools[s]);
  Append(&line, L",processes,threads,events\r\n");
  return Narrow(line, out, capacity);
}

// A load as a percentage with one decimal; bounded first, as every figure
// shown of a load is.
static void AppendPercent(Line* line, float fraction) {
  Append(line, L",%.1f", static_cast<double>(BoundFraction(fraction)) * kPercentPerFraction);
}

size_t FormatRecordLine(char* out, size_t capacity, const RecordFigures& figures) {
  Line line;
  line.length = 0;
  line.full = false;
  wchar_t seconds[kUnsigned64Digits + 1];
  FormatUnsigned64(seconds, kUnsigned64Digits + 1, figures.elapsedMs / kMsPerSecond);
  Append(&line, L"%ls.%03u", seconds, static_cast<unsigned>(figures.elapsedMs % kMsPerSecond));
  for (uint32_t i = 0; i < figures.processorCount && i < kMaxProcessors; ++i) {
    if ((figures.noLoad >> i) & 1u) {
      Append(&line, L",,");
      continue;
    }
    AppendPercent(&line, figures.load[i]);
    AppendPercent(&line, figures.busy[i]);
  }
  const HardwareReadings* hardware = figures.hardware;
  if (hardware != NULL) {
    const ClockUsage& cpu = hardware->usage[kDomainCpu - 1];
    Append(&line, L",%u,%u", static_cast<unsigned>(DomainMhz(cpu)),
           static_cast<unsigned>(cpu.highCornerKhz / kKhzPerMhz));
  } else {
    Append(&line, L",,");
  }
  Append(&line, L",%u", static_cast<unsigned>(figures.memoryLoadPercent));
  for (uint32_t d = 0; d < kClockDomainCount; ++d) {
    if (hardware == NULL) {
      Append(&line, L",,");
      continue;
    }
    Append(&line, L",%u,%u", static_cast<unsigned>(DomainMhz(hardware->usage[d])),
           static_cast<unsigned>(DomainPercent(hardware->usage[d])));
  }
  if (hardware != NULL) {
    Append(&line, L",%d,%d", static_cast<int>(hardware->tModule), static_cast<int>(hardware->tCpu));
    for (uint32_t s = 0; s < kMemStatCount; ++s) Append(&line, L",%d", static_cast<int>(PoolKb(hardware->stat[s])));
  } else {
    Append(&line, L",,,,,,,,");
  }
  if (figures.countsKnown) {
    Append(&line, L",%u,%u", static_cast<unsigned>(figures.processCount), static_cast<unsigned>(figures.threadTotal));
  } else {
    Append(&line, L",,");
  }
  Append(&line, L",");
  // The events are 8-bit text: widened here, since the wide printf of each
  // run-time spells an 8-bit string argument differently.
  for (size_t i = 0; i < kEventsFieldChars && figures.events[i] != '\0' && !line.full; ++i) {
    if (line.length + 1 >= kRecordLineChars) line.full = true;
    else line.text[line.length++] = static_cast<wchar_t>(static_cast<unsigned char>(figures.events[i]));
  }
  Append(&line, L"\r\n");
  return Narrow(line, out, capacity);
}
