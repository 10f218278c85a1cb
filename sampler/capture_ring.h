// Captures: when a trigger fires, the record's lines of the kCaptureCyclesBefore
// cycles before the crossing, the crossing's and the kCaptureCyclesAfter after
// it, with the header, for one file. The sampling thread keeps the lines of
// the last kCaptureRingLines cycles here and hands a capture to the writer
// once its last line is in. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_CAPTURE_RING_H
#define SELVANE_SAMPLER_CAPTURE_RING_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"

// The local time of a crossing, which names its file.
struct CaptureStamp {
  uint32_t year, month, day, hour, minute, second;
};

struct PendingCapture {
  uint32_t cycle;  // the crossing's
  CaptureStamp stamp;
  char rule[kRuleTextChars];
};

struct CaptureRing {
  char lines[kCaptureRingLines][kRecordLineChars];
  uint32_t cycles[kCaptureRingLines];
  uint32_t kept;  // lines ever kept
  PendingCapture pending[kMaxTriggerRules];
  uint32_t pendingCount;
};

// Keeps cycle `cycle`'s record line (with its "\r\n") as the newest.
void KeepCaptureLine(CaptureRing* ring, uint32_t cycle, const char* line);

// A capture of the crossing at `cycle`; false when kMaxTriggerRules wait already.
bool AddPendingCapture(CaptureRing* ring, uint32_t cycle, const CaptureStamp& stamp, const char* rule);

// The first waiting capture whose last line is in by cycle `current`; false: none.
bool ReadyCapture(const CaptureRing& ring, uint32_t current, uint32_t* index);

// Capture `index` as a file's text: `header`, then the lines of its cycles
// that the ring holds, oldest first, into `out` (capacity in bytes). Returns
// the bytes written; `*first` takes the first line's cycle (0: none held).
size_t FormatCapture(const CaptureRing& ring, uint32_t index, const char* header, char* out, size_t capacity,
                     uint32_t* first);

// Forgets capture `index`; the later ones move up.
void DropCapture(CaptureRing* ring, uint32_t index);

// The file name of a capture, short and in time order:
// "cap-YYMMDD-HHMMSS-RULE.csv", the rule's '>' and '<' as "-gt-" and
// "-lt-", '.' as 'p', '-' as 'm', anything but letters, digits and '_' as
// '_', at most kCaptureRuleChars of it. Returns the characters written.
size_t FormatCaptureName(const CaptureStamp& stamp, const char* rule, wchar_t* out, size_t capacity);

// Whether `name` is one FormatCaptureName makes (the files the monitor may delete).
bool IsCaptureName(const wchar_t* name);

#endif
