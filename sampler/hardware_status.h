// The hardware status report: the chip's clocks, temperatures and video-memory
// pools, read once a cycle and shown in the Performance page's status field.
#ifndef SELVANE_SAMPLER_HARDWARE_STATUS_H
#define SELVANE_SAMPLER_HARDWARE_STATUS_H

#include "sampler/status_format.h"

// Reads the library into `readings`, whose clock-usage records persist from
// cycle to cycle; with /s, echoes the two temperatures to the debug output.
// Called while rmAvailable is set.
void ReadHardware(HardwareReadings* readings);

// Writes the status block, formatted into reportBuffer, into the status
// field while the Performance page is active.
void ReportHardwareStatus();

#endif
