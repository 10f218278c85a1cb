// Where the record goes: standard output, or with /lPATH a file, and with
// /t the capture files. A writer thread does every file write, so a slow,
// full or removed store never holds up the sampling cycle; the sampling
// thread only copies into fixed buffers under the writer's own lock.
#ifndef SELVANE_SAMPLER_RECORD_OUTPUT_H
#define SELVANE_SAMPLER_RECORD_OUTPUT_H

#include "platform/fixed_width.h"
#include "platform/win32.h"

// After the kernel binding (the record's header depends on the processor
// count): compiles the /t rules (one line for each bad one, which is left
// out), opens the /l file (one line when it cannot be made: the record goes
// to standard output) and starts the writer thread when there is a file or a
// rule.
void StartRecordOutputs();

// One record line, the header or a cycle's, with its "\r\n": into the file's
// queue with /lPATH, else as a diagnostic line.
void WriteRecordLine(const char* line);

// With triggers: keeps cycle `cycle`'s line for the captures, notes a
// capture for each rule fired (bit r of `fired`), and hands the writer a
// capture whose last line is in.
void KeepForCaptures(uint32_t cycle, const char* line, uint32_t fired);

// The captures' folder, ending in '\' (or empty: the current folder); null
// without a trigger. Fixed once the outputs have started.
const wchar_t* CaptureFolder();

#endif
