// The hardware status report: the chip's clocks, temperatures and video-memory
// pools, read once a cycle and shown in the Performance page's status field.
#ifndef SELVANE_SAMPLER_HARDWARE_STATUS_H
#define SELVANE_SAMPLER_HARDWARE_STATUS_H

#include "platform/win32.h"
#include "sampler/status_format.h"

// Reads the library into `readings`, whose clock-usage records persist from
// cycle to cycle; with /s, echoes the two temperatures to the debug output.
// Called while rmAvailable is set.
void ReadHardware(HardwareReadings* readings);

// The status block as last written, and the page it went to: the chip's
// figures often repeat from one second to the next, and each write is a
// message to the main thread and a repaint of the whole field.
struct ShownStatus {
  HWND page;   // another page gets the block written
  HWND field;  // its status field, looked up once per page
  wchar_t text[kReportBufferChars];
};

// Writes the status block `text` (a copy of reportBuffer) into the status
// field while the Performance page is active, unless the field shows it.
void ReportHardwareStatus(ShownStatus* shown, const wchar_t* text);

#endif
