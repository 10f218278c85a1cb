// The record's figures as metrics for Prometheus, in its text exposition
// format 0.0.4: every metric a gauge in base units, with HELP and TYPE lines.
// Pure: no Windows header.
#ifndef SELVANE_REMOTE_METRICS_TEXT_H
#define SELVANE_REMOTE_METRICS_TEXT_H

#include "remote/byte_text.h"
#include "sampler/record_line.h"
#include "sampler/trigger_rules.h"

// The newest cycle's metrics into `out`; `figures` null (no cycle yet) gives
// only the info metric. A figure the platform lacks is left out, as the
// record leaves its field empty. `module` is the machine's name.
void FormatMetrics(ByteText* out, const RecordFigures* figures, const char* version, const char* module);

// The event counters, as Prometheus counters (_total): scaling stopped or
// started since the start (with the chip's library), and each trigger's
// firings by its rule as written (`rules`, figures.ruleCount of them).
void FormatEventCounters(ByteText* out, const RecordFigures& figures, const TriggerRule* rules);

#endif
