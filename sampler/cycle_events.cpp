#include "sampler/cycle_events.h"

#include "remote/byte_text.h"

static const char* const kEventDomains[kClockDomainCount] = {"CPU", "AVP", "SYS", "AHB", "APB", "VID", "EMC"};

void AddEvent(EventLog* log, uint32_t cycle, uint32_t kind, const char* text) {
  CycleEvent& event = log->events[log->added % kEventLogCapacity];
  event.cycle = cycle;
  event.kind = kind;
  size_t i = 0;
  for (; i + 1 < kEventTextChars && text[i] != '\0'; ++i) event.text[i] = text[i] == ',' || text[i] == ';' ? ' ' : text[i];
  event.text[i] = '\0';
  ++log->added;
}

static void AddClockEvent(EventLog* log, uint32_t cycle, uint32_t kind, uint32_t domain, uint32_t fromKhz,
                          uint32_t toKhz) {
  char text[kEventTextChars];
  ByteText out = MakeByteText(text, sizeof text - 1);
  PutText(&out, kEventDomains[domain - 1]);
  if (kind == EVENT_TARGET) {
    PutText(&out, " target ");
  } else {
    PutText(&out, " ");
    PutUnsigned(&out, fromKhz / kKhzPerMhz);
    PutText(&out, " to ");
  }
  PutUnsigned(&out, toKhz / kKhzPerMhz);
  PutText(&out, " MHz");
  text[out.length] = '\0';  // the longest text fits: a name, two 32-bit numbers and the words
  AddEvent(log, cycle, kind, text);
}

void WatchClocks(ClockWatch* watch, EventLog* log, uint32_t cycle, uint32_t dfsState, const ClockUsage* usage,
                 const TargetNote* notes, uint32_t noteCount) {
  if (watch->known && dfsState != watch->dfsState && dfsState != 0 && watch->dfsState != 0) {
    AddEvent(log, cycle, EVENT_DFS, dfsState == kDfsStateStopped ? "DFS stopped" : "DFS started");
    ++log->dfsTransitions;
  }
  for (uint32_t n = 0; n < noteCount; ++n) {
    const uint32_t domain = notes[n].domain;
    if (domain < 1 || domain > kClockDomainCount) continue;
    AddClockEvent(log, cycle, EVENT_TARGET, domain, 0, notes[n].khz);
    watch->noted[domain - 1] = cycle;
  }
  // A clock that moves while scaling is stopped was set by someone, also in
  // the cycle that stopped it.
  const bool stopped = dfsState == kDfsStateStopped;
  const bool running = dfsState == kDfsStateRunning && watch->dfsState == kDfsStateRunning;
  for (uint32_t d = 0; d < kClockDomainCount && usage != NULL; ++d) {
    const uint32_t from = watch->khz[d];
    const uint32_t to = usage[d].currentKhz;
    // A page target moves its clock at the cycle it was noted or the next.
    const bool targeted = watch->noted[d] != 0 && cycle - watch->noted[d] <= 1;
    if (!watch->known || from == to || targeted) continue;
    if (stopped) {
      AddClockEvent(log, cycle, EVENT_TARGET, d + 1, from, to);
    } else if (running) {
      const uint64_t step = from > to ? from - to : to - from;
      if (step * kPercent >= static_cast<uint64_t>(usage[d].highCornerKhz) * kStepEventPercent && step > 0) {
        AddClockEvent(log, cycle, EVENT_STEP, d + 1, from, to);
      }
    }
  }
  if (usage != NULL) {
    for (uint32_t d = 0; d < kClockDomainCount; ++d) watch->khz[d] = usage[d].currentKhz;
  }
  watch->dfsState = dfsState;
  watch->known = 1;
}

size_t JoinCycleEvents(const EventLog& log, uint32_t cycle, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  size_t length = 0;
  const uint32_t oldest = log.added > kEventLogCapacity ? log.added - kEventLogCapacity : 0;
  for (uint32_t sequence = oldest; sequence < log.added; ++sequence) {
    const CycleEvent& event = log.events[sequence % kEventLogCapacity];
    if (event.cycle != cycle) continue;
    size_t size = 0;
    while (event.text[size] != '\0') ++size;
    const size_t separator = length > 0 ? 1 : 0;
    if (length + separator + size + 1 > capacity) continue;
    if (separator) out[length++] = ';';
    for (size_t i = 0; i < size; ++i) out[length++] = event.text[i];
  }
  out[length] = '\0';
  return length;
}

uint32_t CopyEvents(const EventLog& log, uint32_t* from, CycleEvent* out, uint32_t capacity) {
  const uint32_t oldest = log.added > kEventLogCapacity ? log.added - kEventLogCapacity : 0;
  if (*from < oldest) *from = oldest;
  uint32_t count = 0;
  for (uint32_t sequence = *from; sequence < log.added && count < capacity; ++sequence) {
    out[count++] = log.events[sequence % kEventLogCapacity];
  }
  return count;
}
