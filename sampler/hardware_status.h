// The hardware status report: the chip's clocks, temperatures and video-memory
// pools, read once a cycle and shown in the Performance page's status field.
#ifndef SELVANE_SAMPLER_HARDWARE_STATUS_H
#define SELVANE_SAMPLER_HARDWARE_STATUS_H

#include "sampler/status_format.h"

// Reads the library into `readings` (whose clock-usage records persist from
// cycle to cycle), formats the status block into reportBuffer and writes it
// into the status field while the Performance page is active; with /s, echoes
// the two temperatures to the debug output. Called while rmAvailable is set.
void ReportHardwareStatus(HardwareReadings* readings);

#endif
