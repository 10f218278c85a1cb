#include "sampler/capture_ring.h"

#include <cstring>

static const uint32_t kCaptureRuleChars = 24;  // of the rule in a file name
static const wchar_t kCapturePrefix[] = L"cap-";
static const wchar_t kCaptureSuffix[] = L".csv";

void KeepCaptureLine(CaptureRing* ring, uint32_t cycle, const char* line) {
  const uint32_t slot = ring->kept % kCaptureRingLines;
  size_t i = 0;
  for (; i + 1 < kRecordLineChars && line[i] != '\0'; ++i) ring->lines[slot][i] = line[i];
  ring->lines[slot][i] = '\0';
  ring->cycles[slot] = cycle;
  ++ring->kept;
}

bool AddPendingCapture(CaptureRing* ring, uint32_t cycle, const CaptureStamp& stamp, const char* rule) {
  if (ring->pendingCount == kMaxTriggerRules) return false;
  PendingCapture& capture = ring->pending[ring->pendingCount++];
  capture.cycle = cycle;
  capture.stamp = stamp;
  size_t i = 0;
  for (; i + 1 < kRuleTextChars && rule[i] != '\0'; ++i) capture.rule[i] = rule[i];
  capture.rule[i] = '\0';
  return true;
}

bool ReadyCapture(const CaptureRing& ring, uint32_t current, uint32_t* index) {
  for (uint32_t i = 0; i < ring.pendingCount; ++i) {
    if (current - ring.pending[i].cycle >= kCaptureCyclesAfter) {
      *index = i;
      return true;
    }
  }
  return false;
}

static bool Put(char* out, size_t capacity, size_t* length, const char* text) {
  const size_t size = std::strlen(text);
  if (*length + size > capacity) return false;
  std::memcpy(out + *length, text, size);
  *length += size;
  return true;
}

size_t FormatCapture(const CaptureRing& ring, uint32_t index, const char* header, char* out, size_t capacity,
                     uint32_t* first) {
  const uint32_t crossing = ring.pending[index].cycle;
  size_t length = 0;
  *first = 0;
  if (!Put(out, capacity, &length, header)) return 0;
  const uint32_t oldest = ring.kept > kCaptureRingLines ? ring.kept - kCaptureRingLines : 0;
  for (uint32_t sequence = oldest; sequence < ring.kept; ++sequence) {
    const uint32_t slot = sequence % kCaptureRingLines;
    const uint32_t cycle = ring.cycles[slot];
    // Cycles from crossing - before to crossing + after, in 32-bit arithmetic
    // relative to the crossing, so the first cycles of a run need no care.
    const bool before = crossing - cycle <= kCaptureCyclesBefore;
    const bool after = cycle - crossing <= kCaptureCyclesAfter;
    if (!before && !after) continue;
    if (!Put(out, capacity, &length, ring.lines[slot])) break;
    if (*first == 0) *first = cycle;
  }
  return length;
}

void DropCapture(CaptureRing* ring, uint32_t index) {
  for (uint32_t i = index; i + 1 < ring->pendingCount; ++i) ring->pending[i] = ring->pending[i + 1];
  --ring->pendingCount;
}

static void PutTwo(wchar_t* out, size_t* length, uint32_t value) {
  out[(*length)++] = static_cast<wchar_t>(L'0' + value / 10 % 10);
  out[(*length)++] = static_cast<wchar_t>(L'0' + value % 10);
}

size_t FormatCaptureName(const CaptureStamp& stamp, const char* rule, wchar_t* out, size_t capacity) {
  // "cap-", the stamp and its dashes: 18 characters; then the rule while a
  // piece of it (at most 4), ".csv" and the terminator fit.
  const size_t kStampChars = 18;
  const size_t kTailChars = 4 + 4 + 1;
  if (capacity < kStampChars + kTailChars) return 0;
  size_t length = 0;
  for (size_t i = 0; kCapturePrefix[i] != L'\0'; ++i) out[length++] = kCapturePrefix[i];
  PutTwo(out, &length, stamp.year);
  PutTwo(out, &length, stamp.month);
  PutTwo(out, &length, stamp.day);
  out[length++] = L'-';
  PutTwo(out, &length, stamp.hour);
  PutTwo(out, &length, stamp.minute);
  PutTwo(out, &length, stamp.second);
  out[length++] = L'-';
  for (uint32_t i = 0; i < kCaptureRuleChars && rule[i] != '\0' && length + kTailChars <= capacity; ++i) {
    const char c = rule[i];
    if (c == '>' || c == '<') {
      out[length++] = L'-';
      out[length++] = c == '>' ? L'g' : L'l';
      out[length++] = L't';
      out[length++] = L'-';
    } else if (c == '.') {
      out[length++] = L'p';
    } else if (c == '-') {
      out[length++] = L'm';
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
      out[length++] = static_cast<wchar_t>(c);
    } else {
      out[length++] = L'_';
    }
  }
  for (size_t i = 0; kCaptureSuffix[i] != L'\0'; ++i) out[length++] = kCaptureSuffix[i];
  out[length] = L'\0';
  return length;
}

bool IsCaptureName(const wchar_t* name) {
  size_t length = 0;
  while (name[length] != L'\0') ++length;
  const size_t prefix = 4;
  const size_t suffix = 4;
  if (length < prefix + suffix || length >= kCaptureNameChars) return false;
  for (size_t i = 0; i < prefix; ++i) {
    if (name[i] != kCapturePrefix[i]) return false;
  }
  // Only what FormatCaptureName writes: a name from outside (a request) can
  // then name no other file and no other folder.
  for (size_t i = prefix; i < length - suffix; ++i) {
    const wchar_t c = name[i];
    if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L'-')) return false;
  }
  for (size_t i = 0; i < suffix; ++i) {
    if (name[length - suffix + i] != kCaptureSuffix[i]) return false;
  }
  return true;
}
