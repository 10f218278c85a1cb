#include "remote/metrics_text.h"

#include "ui/performance/pixel_math.h"

static const char* const kDomainLabels[kClockDomainCount] = {"cpu", "avp", "sys", "ahb", "apb", "vid", "emc"};
static const char* const kZoneLabels[kTemperatureZoneCount] = {"module", "cpu"};
static const char* const kPoolLabels[kPoolCount] = {"carveout", "gart"};

static void PutFamilyOfType(ByteText* out, const char* name, const char* help, const char* type) {
  PutText(out, "# HELP selvane_");
  PutText(out, name);
  PutText(out, " ");
  PutText(out, help);
  PutText(out, "\n# TYPE selvane_");
  PutText(out, name);
  PutText(out, " ");
  PutText(out, type);
  PutText(out, "\n");
}

static void PutFamily(ByteText* out, const char* name, const char* help) { PutFamilyOfType(out, name, help, "gauge"); }

// A label value with backslash, double quote and line feed escaped.
static void PutLabelValue(ByteText* out, const char* value) {
  for (; *value != '\0'; ++value) {
    if (*value == '\\' || *value == '"') PutBytes(out, "\\", 1);
    if (*value == '\n') {
      PutText(out, "\\n");
    } else {
      PutBytes(out, value, 1);
    }
  }
}

static void PutSampleName(ByteText* out, const char* name) {
  PutText(out, "selvane_");
  PutText(out, name);
  PutText(out, " ");
}

// "selvane_NAME{LABEL="VALUE"} "
static void PutLabelledName(ByteText* out, const char* name, const char* label, const char* value) {
  PutText(out, "selvane_");
  PutText(out, name);
  PutText(out, "{");
  PutText(out, label);
  PutText(out, "=\"");
  PutLabelValue(out, value);
  PutText(out, "\"} ");
}

static void PutRatio(ByteText* out, float fraction) {
  const float bounded = BoundFraction(fraction) * static_cast<float>(kRatioScale);
  // Bounded, so that it fits 32 bits (a 64-bit conversion is a run-time call on the device).
  PutScaled(out, static_cast<int32_t>(bounded < 0 ? bounded - 0.5f : bounded + 0.5f), kRatioDecimals);
  PutText(out, "\n");
}

static void PutWhole(ByteText* out, int64_t value) {
  PutScaled(out, value, 0);
  PutText(out, "\n");
}

// One family of per-processor ratios. A processor with no load this cycle
// has no sample (Prometheus reads a missing sample as no value, where a 0
// would be a reading); a family with no sample is left out whole.
static void PutProcessorFamily(ByteText* out, const RecordFigures& figures, const char* name, const char* help,
                               const float* values) {
  const uint32_t count = figures.processorCount < kMaxProcessors ? figures.processorCount : kMaxProcessors;
  const uint32_t processors = (1u << count) - 1;
  if ((figures.noLoad & processors) == processors) return;
  char label[2] = {'1', '\0'};  // processors 1..kMaxProcessors
  PutFamily(out, name, help);
  // cppcheck-suppress knownConditionTrueFalse ; cppcheck 2.10 misreads the const bound above
  for (uint32_t p = 0; p < count; ++p) {
    if ((figures.noLoad >> p) & 1u) continue;
    label[0] = static_cast<char>('1' + p);
    PutLabelledName(out, name, "processor", label);
    PutRatio(out, values[p]);
  }
}

static void PutProcessors(ByteText* out, const RecordFigures& figures) {
  PutProcessorFamily(out, figures, "processor_load_ratio",
                     "Each processor's load as the gauges show it: busy share scaled by the CPU clock.", figures.load);
  PutProcessorFamily(out, figures, "processor_busy_ratio", "Each processor's busy share of the last cycle.",
                     figures.busy);
}

static void PutHardware(ByteText* out, const HardwareReadings& hardware) {
  const ClockUsage& cpu = hardware.usage[kDomainCpu - 1];
  PutFamily(out, "cpu_clock_hertz", "The CPU clock.");
  PutSampleName(out, "cpu_clock_hertz");
  PutWhole(out, static_cast<int64_t>(cpu.currentKhz) * kHertzPerKhz);
  PutFamily(out, "cpu_high_corner_hertz", "The CPU clock's high corner, the most frequency scaling gives it.");
  PutSampleName(out, "cpu_high_corner_hertz");
  PutWhole(out, static_cast<int64_t>(cpu.highCornerKhz) * kHertzPerKhz);
  PutFamily(out, "clock_domain_hertz", "Each clock domain's current clock.");
  for (uint32_t d = 0; d < kClockDomainCount; ++d) {
    PutLabelledName(out, "clock_domain_hertz", "domain", kDomainLabels[d]);
    PutWhole(out, static_cast<int64_t>(hardware.usage[d].currentKhz) * kHertzPerKhz);
  }
  PutFamily(out, "clock_domain_activity_ratio", "Each clock domain's average activity as a share of its current clock.");
  for (uint32_t d = 0; d < kClockDomainCount; ++d) {
    const ClockUsage& usage = hardware.usage[d];
    PutLabelledName(out, "clock_domain_activity_ratio", "domain", kDomainLabels[d]);
    PutRatio(out, usage.currentKhz == 0 ? 0.0f
                                        : static_cast<float>(usage.averageKhz) / static_cast<float>(usage.currentKhz));
  }
  PutFamily(out, "temperature_celsius", "The module's and the CPU's temperature.");
  const int32_t temperatures[kTemperatureZoneCount] = {hardware.tModule, hardware.tCpu};
  for (uint32_t z = 0; z < kTemperatureZoneCount; ++z) {
    PutLabelledName(out, "temperature_celsius", "zone", kZoneLabels[z]);
    PutWhole(out, temperatures[z]);
  }
  const char* const names[kPoolFigureCount] = {"pool_size_bytes", "pool_used_bytes", "pool_largest_free_bytes"};
  const char* const helps[kPoolFigureCount] = {"Each video-memory pool's size.", "Each video-memory pool's bytes in use.",
                                               "Each video-memory pool's largest free block."};
  for (uint32_t f = 0; f < kPoolFigureCount; ++f) {
    PutFamily(out, names[f], helps[f]);
    for (uint32_t pool = 0; pool < kPoolCount; ++pool) {
      PutLabelledName(out, names[f], "pool", kPoolLabels[pool]);
      PutWhole(out, hardware.stat[pool * kPoolFigureCount + f]);
    }
  }
}

void FormatMetrics(ByteText* out, const RecordFigures* figures, const char* version, const char* module) {
  PutFamily(out, "info", "The monitor's version and the module's name; always 1.");
  PutText(out, "selvane_info{version=\"");
  PutLabelValue(out, version);
  PutText(out, "\",module=\"");
  PutLabelValue(out, module);
  PutText(out, "\"} 1\n");
  if (figures == NULL) return;
  PutFamily(out, "record_seconds", "Seconds from the sampler's start to the cycle these figures come from.");
  PutSampleName(out, "record_seconds");
  PutScaled(out, figures->elapsedMs, kMsDecimals);
  PutText(out, "\n");
  PutProcessors(out, *figures);
  PutFamily(out, "memory_load_ratio", "The share of physical memory in use.");
  PutSampleName(out, "memory_load_ratio");
  PutRatio(out, static_cast<float>(figures->memoryLoadPercent) * kFractionPerPercent);
  if (figures->hardware != NULL) PutHardware(out, *figures->hardware);
  if (!figures->countsKnown) return;
  PutFamily(out, "processes", "The processes running.");
  PutSampleName(out, "processes");
  PutWhole(out, figures->processCount);
  PutFamily(out, "threads", "The threads of every process.");
  PutSampleName(out, "threads");
  PutWhole(out, figures->threadTotal);
}

void FormatEventCounters(ByteText* out, const RecordFigures& figures, const TriggerRule* rules) {
  if (figures.hardware != NULL) {
    PutFamilyOfType(out, "dfs_transitions_total", "Times the chip's frequency scaling stopped or started.", "counter");
    PutSampleName(out, "dfs_transitions_total");
    PutWhole(out, figures.dfsTransitions);
  }
  if (figures.ruleCount == 0) return;
  PutFamilyOfType(out, "trigger_fires_total", "Times each trigger (/t) fired, by its rule.", "counter");
  for (uint32_t r = 0; r < figures.ruleCount && r < kMaxTriggerRules; ++r) {
    PutLabelledName(out, "trigger_fires_total", "rule", rules[r].text);
    PutWhole(out, figures.ruleFires[r]);
  }
}
