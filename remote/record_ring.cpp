#include "remote/record_ring.h"

void PublishRecord(RecordRing* ring, const RecordFigures& figures) {
  RingSample& sample = ring->samples[ring->published % kRecordRingSamples];
  sample.figures = figures;
  sample.figures.hardware = NULL;
  sample.hasHardware = figures.hardware != NULL ? 1 : 0;
  if (figures.hardware != NULL) sample.hardware = *figures.hardware;
  ++ring->published;
}

uint32_t OldestRecord(const RecordRing& ring) {
  return ring.published > kRecordRingSamples ? ring.published - kRecordRingSamples : 0;
}

uint32_t CopyRecords(const RecordRing& ring, uint32_t* from, RingSample* out, uint32_t capacity) {
  const uint32_t oldest = OldestRecord(ring);
  if (*from < oldest) *from = oldest;
  uint32_t count = 0;
  for (uint32_t sequence = *from; sequence < ring.published && count < capacity; ++sequence) {
    out[count++] = ring.samples[sequence % kRecordRingSamples];
  }
  return count;
}

RecordFigures SampleFigures(const RingSample& sample) {
  RecordFigures figures = sample.figures;
  figures.hardware = sample.hasHardware ? &sample.hardware : NULL;
  return figures;
}
