// The process pass: once a second while the Processes page is active, the
// sampling thread brings the process table and the page's process list, and
// the thread table and the thread list of "Show Threads", into step with a
// fresh snapshot of the running processes and their threads. A pass reads,
// then reconciles, then presents: it reads the snapshot and every figure it
// needs outside any lock, updates the tables from that reading under
// processLock (pure code only), and sends the list messages after the lock.
#ifndef SELVANE_UI_PROCESSES_PROCESS_PASS_H
#define SELVANE_UI_PROCESSES_PROCESS_PASS_H

#include "platform/fixed_width.h"
#include "ui/processes/process_table.h"

// One pass: ReadProcessPass, the tables updated from the reading under
// processLock, PresentProcessPass. A snapshot that cannot be taken or walked
// changes nothing. The sampling cycle takes the same three steps, with the
// table update inside its own pure step.
void RunProcessPass();

// The read: takes up a "Show Threads" request, then reads a fresh snapshot
// into the sampling thread's reading. False (no pass this cycle) while the
// page has no list or when no snapshot could be taken.
bool ReadProcessPass(PassReading** reading);

// The present: the page takes the tables' recorded list steps into its lists.
void PresentProcessPass();

// The process list brought into step with the tables as the last pass left
// them, in the order and pause the page now asks for: a header click or a
// resume shown at once, with no snapshot (figures from so short a span would
// be noise). Nothing while the page has no list.
void RefreshProcessView();

// The processes and threads a fresh snapshot lists, counted without opening
// a process or touching a list (the Performance page's totals while the
// Processes page is not shown). False, outputs untouched, when no snapshot
// could be taken.
bool CountProcesses(uint32_t* processes, uint32_t* threads);

// The processor a process is bound to (0: any), through a handle opened for
// the read; 0 when it cannot be opened or read. Only with two or more
// processors, whose kernel extension set is bound.
uint32_t ReadProcessAffinity(uint32_t processId);

#endif
