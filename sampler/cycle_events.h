// Events: what happened to the chip's clocks and to the triggers, noted by
// the sampling thread once a cycle into a fixed ring kept with the record.
// Scaling stopped or started; a target clock set (from the page, or seen as
// a clock that moved while scaling was stopped); a clock domain's step of at
// least kStepEventPercent of its high corner in one cycle while scaling ran;
// a trigger that fired. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_CYCLE_EVENTS_H
#define SELVANE_SAMPLER_CYCLE_EVENTS_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "platform/resource_manager_api.h"

struct CycleEvent {
  uint32_t cycle;  // the sampling cycle, counted from 1
  uint32_t kind;   // EventKind
  char text[kEventTextChars];  // ASCII without commas or ';': "DFS stopped", "EMC 667 to 333 MHz"
};

struct EventLog {
  CycleEvent events[kEventLogCapacity];
  uint32_t added;           // events ever added: the next one's sequence number
  uint32_t dfsTransitions;  // scaling stopped or started, ever
};

// A target the page sent, waiting for the next cycle.
struct TargetNote {
  uint32_t domain;  // 1..kClockDomainCount
  uint32_t khz;
};

// What the cycles before saw of the scaling state and the clocks.
struct ClockWatch {
  uint32_t known;  // a cycle has been seen
  uint32_t dfsState;
  uint32_t khz[kClockDomainCount];
  uint32_t noted[kClockDomainCount];  // the cycle a page target of the domain was noted: its move is that target
};

// Adds an event as the newest, over the oldest once the ring is full. Commas
// and ';' in `text` become blanks, so that the record's fields stay apart.
void AddEvent(EventLog* log, uint32_t cycle, uint32_t kind, const char* text);

// Notes this cycle's events: a change of the scaling state (`dfsState`, 0
// when the library does not say), the page's targets (`notes`), then what the
// clock records show against the cycle before.
void WatchClocks(ClockWatch* watch, EventLog* log, uint32_t cycle, uint32_t dfsState, const ClockUsage* usage,
                 const TargetNote* notes, uint32_t noteCount);

// The texts of cycle `cycle`'s events joined with ';' into `out` (capacity
// in bytes, terminator included); an event that does not fit is left out
// whole. Returns the bytes written.
size_t JoinCycleEvents(const EventLog& log, uint32_t cycle, char* out, size_t capacity);

// Copies up to `capacity` events, oldest first, from sequence `*from` on (a
// sequence no longer held starts at the oldest); sets `*from` to the first
// sequence copied. Returns how many were copied.
uint32_t CopyEvents(const EventLog& log, uint32_t* from, CycleEvent* out, uint32_t capacity);

#endif
