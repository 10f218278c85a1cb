// The last 10 minutes of the record's figures, for the remote endpoint. The
// sampling thread publishes each cycle's figures under the state lock; the
// endpoint's thread copies samples out under it. Pure: no Windows header.
#ifndef SELVANE_REMOTE_RECORD_RING_H
#define SELVANE_REMOTE_RECORD_RING_H

#include "app/constants.h"
#include "sampler/record_line.h"

// One cycle's figures with their hardware readings held by value.
struct RingSample {
  RecordFigures figures;  // figures.hardware is set by SampleFigures, never kept
  HardwareReadings hardware;
  uint32_t hasHardware;
};

struct RecordRing {
  RingSample samples[kRecordRingSamples];
  uint32_t published;  // samples ever published: the next one's sequence number
};

// Copies `figures` (and what its hardware pointer shows) in as the newest
// sample, over the oldest once the ring is full.
void PublishRecord(RecordRing* ring, const RecordFigures& figures);

// The oldest sequence number the ring still holds.
uint32_t OldestRecord(const RecordRing& ring);

// Copies up to `capacity` samples, oldest first, from sequence `*from` on (a
// sequence no longer held starts at the oldest). Sets `*from` to the first
// sequence copied. Returns how many were copied.
uint32_t CopyRecords(const RecordRing& ring, uint32_t* from, RingSample* out, uint32_t capacity);

// A copied sample's figures, its hardware pointer at the sample's own copy.
RecordFigures SampleFigures(const RingSample& sample);

#endif
