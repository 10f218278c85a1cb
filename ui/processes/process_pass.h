// The process pass: once a second while the Processes page is active, the
// sampling thread brings the process table and the page's process list, and
// the thread table and the thread list of "Show Threads", into step with a
// fresh snapshot of the running processes and their threads.
#ifndef SELVANE_UI_PROCESSES_PROCESS_PASS_H
#define SELVANE_UI_PROCESSES_PROCESS_PASS_H

#include <cstdint>

#include "ui/processes/process_table.h"

// One pass. A snapshot that cannot be taken or walked changes nothing.
void RunProcessPass();

// Everything a pass reads of one process: its CPU time and working set from
// the pass's reading (TakeProcessFigures), and its affinity through a handle
// (only when `wanted` asks, with two or more processors). Fields that cannot
// be read are left out of `figures->figures`.
void ReadProcessFigures(uint32_t processId, uint32_t wanted, ProcessFigures* figures);

#endif
