// Event marks on the history graphs: a thin vertical line at the point of
// each cycle that had an event, scrolling with the history. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_HISTORY_MARKS_H
#define SELVANE_UI_PERFORMANCE_HISTORY_MARKS_H

#include "app/constants.h"
#include "platform/fixed_width.h"
#include "ui/performance/history_series.h"

// Point j of a history is marked when marked[j] is set; the newest is last.
struct HistoryMarks {
  uint8_t marked[kHistoryPoints];
  uint32_t pending;  // an event came while the history did not step: it marks the next point
};

// One mark: a vertical line at x from top to bottom, both included.
struct MarkLine {
  int32_t x;
  int32_t top;
  int32_t bottom;
};

const uint32_t kMaxMarkLines = kMaxProcessors * kHistoryPoints;

// One step with the history's: the marks move one point toward the oldest
// and the newest point is marked when the cycle had an event (or one was pending).
void StepHistoryMarks(HistoryMarks* marks, bool cycleHadEvent);

// Notes an event of a cycle in which the history did not step.
void HoldHistoryMark(HistoryMarks* marks, bool cycleHadEvent);

// The lines of the marks over `count` series in a client `height` high: in
// each series' area, at its marked points' x. Returns how many (at most kMaxMarkLines).
uint32_t HistoryMarkLines(const HistorySeries* series, uint32_t count, const HistoryMarks& marks, int32_t height,
                          MarkLine* out);

#endif
