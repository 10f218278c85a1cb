#include "ui/performance/history_marks.h"

void StepHistoryMarks(HistoryMarks* marks, bool cycleHadEvent) {
  for (int k = 0; k < kHistoryPoints - 1; ++k) marks->marked[k] = marks->marked[k + 1];
  marks->marked[kHistoryPoints - 1] = cycleHadEvent || marks->pending ? 1 : 0;
  marks->pending = 0;
}

void HoldHistoryMark(HistoryMarks* marks, bool cycleHadEvent) {
  if (cycleHadEvent) marks->pending = 1;
}

uint32_t HistoryMarkLines(const HistorySeries* series, uint32_t count, const HistoryMarks& marks, int32_t height,
                          MarkLine* out) {
  uint32_t lines = 0;
  for (uint32_t k = 0; k < count && k < kMaxProcessors; ++k) {
    for (int j = 0; j < kHistoryPoints; ++j) {
      if (!marks.marked[j]) continue;
      // The area spans the client's height less the margins; its bottom is
      // where a load of 0 is drawn.
      const MarkLine line = {series[k].points[j].x, kHistoryMarginY, height - kHistoryMarginY};
      out[lines++] = line;
    }
  }
  return lines;
}
