// What the Performance page's four graphic controls show: the pictures the
// last drawing worked out, kept so that a control asked to repaint (the page
// shown again, the sheet uncovered) paints them again at once. The sampling
// thread writes them under the state lock; the main thread copies one under
// the same lock to repaint. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_PAGE_PICTURES_H
#define SELVANE_UI_PERFORMANCE_PAGE_PICTURES_H

#include "app/constants.h"
#include "app/state_lock.h"
#include "platform/fixed_width.h"
#include "ui/performance/gauge_geometry.h"
#include "ui/performance/history_marks.h"
#include "ui/performance/history_series.h"

struct PagePictures {
  uint32_t drawn;       // bit g: graphic control g (kGraph*) has a picture
  uint32_t generation;  // counts the drawings, so a repaint can tell it painted an old one
  GaugePicture cpuGauge;
  GaugePicture memGauge;
  const HistorySeries* cpuHistory;  // the histories themselves, kMaxProcessors series
  uint32_t cpuSeries;               // how many of them are drawn
  const HistorySeries* memHistory;
  const HistoryMarks* cpuMarks;  // their event marks
  const HistoryMarks* memMarks;
};

// One control's picture, copied out for a repaint.
struct KeptPicture {
  uint32_t drawn;  // 0: nothing drawn yet, the control shows its black background
  uint32_t generation;
  GaugePicture gauge;                    // the gauges'
  HistorySeries series[kMaxProcessors];  // the histories'
  uint32_t seriesCount;
  HistoryMarks marks;                    // and their event marks
};

// Records that graphic control `graph` was drawn from what `pictures` holds.
void MarkPictureDrawn(PagePictures* pictures, uint32_t graph);

// Copies graphic control `graph`'s picture under `lock`.
void CopyKeptPicture(const StateLock* lock, const PagePictures* pictures, uint32_t graph, KeptPicture* kept);

// The drawings so far, read under `lock`.
uint32_t PictureGeneration(const StateLock* lock, const PagePictures* pictures);

#endif
