// The process list's view: what the Processes page's list shows, item by item
// in list order, and the fewest list steps that bring it into step with the
// process table after a pass. Items are in first-seen order or sorted by one
// column either way, stably (a row moves only when its key passes another's);
// a new process is marked new for kNewRowMs and an ended one stays, marked
// ended, for kEndedRowMs. While paused no item comes, goes or changes, but a new
// order still sorts the items as they stand.
// An item carries its row's serial, which names one process for the
// monitor's life, where a process id can be reused. Pure: no Windows header.
#ifndef SELVANE_UI_PROCESSES_PROCESS_VIEW_H
#define SELVANE_UI_PROCESSES_PROCESS_VIEW_H

#include <cstddef>

#include "app/constants.h"
#include "app/state_lock.h"
#include "platform/fixed_width.h"
#include "ui/processes/list_model.h"
#include "ui/processes/process_table.h"

enum ListMark { kMarkNone = 0, kMarkNew, kMarkEnded };

struct ViewItem {
  uint32_t serial;     // the row's (ProcessEntry::serial)
  uint32_t processId;
  uint32_t mark;       // ListMark
  uint32_t markEndMs;  // when the mark ends: a new row turns plain, an ended one leaves
  // What each column shows (the name apart); kNoFigure is an empty text.
  uint64_t values[kProcessColumnCount];
  wchar_t name[kProcessNameChars + 1];
};

struct ProcessView {
  ViewItem items[kViewCapacity];  // items[i] is what list item i shows
  uint32_t count;
  uint32_t filled;  // the list has had its first pass: what it lists then is not new
  uint16_t index[kViewIndexSlots];  // by serial
  uint32_t stepCount;
  ListStep steps[kViewStepCapacity];  // the last pass's, in the order the list must take them
  // A pass's work space: the items' sorted order, their texts to write, the
  // longest run that keeps its order (those items stay), and the moving
  // items' selection and focus by their new index.
  uint16_t order[kViewCapacity];
  uint16_t scratch[kViewCapacity];
  uint32_t texts[kViewCapacity];
  uint16_t sequence[kViewCapacity];
  uint16_t tails[kViewCapacity];
  uint16_t previous[kViewCapacity];
  uint32_t movedState[kViewCapacity];
};

// The order word the page stores and a pass reads: 0 is first-seen order,
// else the column plus one, with kOrderDescending for the reverse.
const uint32_t kOrderDescending = 0x100u;
uint32_t ListOrderWord(int column, bool descending);
// The column a word sorts by (-1: first-seen order).
int ListOrderColumn(uint32_t word);
// The word after a click on `column`: that column ascending, or the same
// column reversed.
uint32_t ClickedListOrder(uint32_t word, int column);

// Brings the view into step with `table` at `settings->nowMs` in
// `settings->listOrder` (while `settings->listsPaused`, into that order
// alone), recording the steps: first the
// deletions (ended rows leaving, moving rows), then the insertions (new and
// moving rows), then the text rewrites and redraws of rows that stay.
void UpdateProcessView(ProcessView* view, const ProcessTable* table, const PassSettings* settings);

// Sends the last pass's steps to `ops`, formatting each text into `text`
// (`textChars` characters). The list then shows view item i as item i. Its
// work space takes the moving items' states.
void SyncProcessView(ProcessView* view, const ListOps* ops, wchar_t* text, size_t textChars);

// The item of `serial`, or kNoProcessRow.
uint32_t FindViewItem(const ProcessView* view, uint32_t serial);

// The mark of the item of `serial` (kMarkNone for none), under `lock`.
uint32_t ListedMark(const StateLock* lock, const ProcessView* view, uint32_t serial);

enum ListedProcess {
  kListedLive = 0,  // `row` holds the process's row
  kListedEnded,     // the item shows a process that has ended (`name` holds its name)
  kListedUnknown    // no item has that serial
};
// What list item `serial` shows, under `lock`: a live process's row copied
// into `row`, or that its process has ended (its item marked ended, or,
// while paused, its id gone from the table or taken by another process), its
// name copied into `name` (kProcessNameChars + 1).
ListedProcess CopyListedProcess(const StateLock* lock, const ProcessView* view, const ProcessTable* table,
                                uint32_t serial, ProcessEntry* row, wchar_t* name);

#endif
