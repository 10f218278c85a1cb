#include "sampler/line_queue.h"

bool QueueLine(LineQueue* queue, const char* line, size_t length) {
  if (length > kRecordQueueBytes - queue->used) {
    ++queue->lost;
    return false;
  }
  for (size_t i = 0; i < length; ++i) queue->bytes[(queue->start + queue->used + i) % kRecordQueueBytes] = line[i];
  queue->used += static_cast<uint32_t>(length);
  return true;
}

size_t TakeLines(LineQueue* queue, char* out, size_t capacity) {
  size_t whole = 0;
  for (size_t i = 0; i < queue->used && i < capacity; ++i) {
    out[i] = queue->bytes[(queue->start + i) % kRecordQueueBytes];
    if (out[i] == '\n') whole = i + 1;
  }
  queue->start = static_cast<uint32_t>((queue->start + whole) % kRecordQueueBytes);
  queue->used -= static_cast<uint32_t>(whole);
  return whole;
}
