#include "ui/performance/page_pictures.h"

void MarkPictureDrawn(PagePictures* pictures, uint32_t graph) {
  pictures->drawn |= 1u << graph;
  ++pictures->generation;
}

void CopyKeptPicture(const StateLock* lock, const PagePictures* pictures, uint32_t graph, KeptPicture* kept) {
  EnterStateLock(lock);
  kept->drawn = (pictures->drawn >> graph) & 1u;
  kept->generation = pictures->generation;
  kept->seriesCount = 0;
  kept->marks = HistoryMarks();
  if (graph == kGraphCpuGauge) kept->gauge = pictures->cpuGauge;
  if (graph == kGraphMemGauge) kept->gauge = pictures->memGauge;
  if (graph == kGraphCpuHistory) {
    kept->seriesCount = pictures->cpuSeries;
    for (uint32_t k = 0; k < pictures->cpuSeries; ++k) kept->series[k] = pictures->cpuHistory[k];
    if (pictures->cpuMarks != NULL) kept->marks = *pictures->cpuMarks;
  }
  if (graph == kGraphMemHistory) {
    kept->seriesCount = 1;
    kept->series[0] = *pictures->memHistory;
    if (pictures->memMarks != NULL) kept->marks = *pictures->memMarks;
  }
  LeaveStateLock(lock);
}

uint32_t PictureGeneration(const StateLock* lock, const PagePictures* pictures) {
  EnterStateLock(lock);
  const uint32_t generation = pictures->generation;
  LeaveStateLock(lock);
  return generation;
}
