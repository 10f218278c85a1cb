// The process pass: once a second while the Processes page is active, the
// sampling thread brings the process table and the page's list into step
// with a fresh snapshot of the running processes.
#ifndef SELVANE_UI_PROCESSES_PROCESS_PASS_H
#define SELVANE_UI_PROCESSES_PROCESS_PASS_H

#include <cstdint>

// One pass. A snapshot that cannot be taken or walked changes nothing.
void RunProcessPass();

// The process's affinity (0 = any processor, n = processor n); 0 when it
// cannot be opened or read. Only with two or more processors.
uint32_t ReadProcessAffinity(uint32_t processId);

#endif
