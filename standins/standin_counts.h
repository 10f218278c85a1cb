// What the device's platform calls cost, counted by the stand-ins that serve
// them: toolhelp.dll counts snapshots, records and heaps; coredll.dll counts
// the handles its OpenProcess and OpenThread give, and the debug prints its
// kernel's formatter refused. Always counted; a test
// takes the counts of one stretch (one cycle, one pass) and compares.
#ifndef SELVANE_STANDINS_STANDIN_COUNTS_H
#define SELVANE_STANDINS_STANDIN_COUNTS_H

#include <windows.h>

#include <cstdint>

// What the debug print writes in place of a message it could not format.
constexpr wchar_t kBadFormatMarker[] = L"NKDbgPrintfW: unsupported conversion in: ";

struct StandinCounts {
  uint32_t snapshots;        // toolhelp: snapshots taken
  uint32_t heapSnapshots;    // toolhelp: of them, process snapshots asked without TH32CS_SNAPNOHEAPS
  uint32_t threadSnapshots;  // toolhelp: of them, snapshots that hold the threads too
  uint32_t heapsAsked;       // toolhelp: process heap lists gathered for those snapshots
  uint32_t processRecords;   // toolhelp: process records delivered by Process32First/Next
  uint32_t threadRecords;    // toolhelp: thread records delivered by Thread32First/Next
  uint32_t processHandles;   // coredll: process handles opened
  uint32_t threadHandles;    // coredll: thread handles opened
  uint32_t handlesClosed;    // coredll: of the handles it opened, those closed
  uint32_t badFormats;       // coredll: debug prints with a conversion the kernel's formatter lacks
};

// Exported by both libraries as "StandinTakeCounts": adds the library's
// counts since its last take to `counts` (its own fields only) and clears
// them. A test zeroes a record and calls both.
typedef void(WINAPI* StandinTakeCountsFunction)(StandinCounts* counts);

#endif
