// The record lines waiting for the writer thread: a fixed ring of bytes the
// sampling thread appends whole lines to and the writer takes whole lines
// from, each under the writer's lock. Pure: no Windows header.
#ifndef SELVANE_SAMPLER_LINE_QUEUE_H
#define SELVANE_SAMPLER_LINE_QUEUE_H

#include <cstddef>

#include "app/constants.h"
#include "platform/fixed_width.h"

struct LineQueue {
  char bytes[kRecordQueueBytes];
  uint32_t start;  // the oldest byte
  uint32_t used;
  uint32_t lost;   // lines that found no room since the writer last took the count
};

// Appends `length` bytes (one or more whole lines), or nothing and counts a
// lost line when they do not fit.
bool QueueLine(LineQueue* queue, const char* line, size_t length);

// Takes the oldest whole lines that fit `capacity` into `out` (lines end in
// '\n'); returns the bytes taken.
size_t TakeLines(LineQueue* queue, char* out, size_t capacity);

#endif
