#include "bench/bench_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Median {
  std::string name;
  double wallMicroseconds;
  double microseconds;  // CPU time: what the goals judge, steadier on a shared machine
};

double Microseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond: return value / 1e3;
    case benchmark::kMillisecond: return value * 1e3;
    case benchmark::kSecond: return value * 1e6;
    default: return value;
  }
}

// The console output as usual, and each benchmark's median kept: the median
// aggregate with repetitions, the one run without.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!run.error_occurred && (single || median)) {
        medians.push_back({run.run_name.str(), Microseconds(run.GetAdjustedRealTime(), run.time_unit),
                           Microseconds(run.GetAdjustedCPUTime(), run.time_unit)});
      }
    }
  }
  std::vector<Median> medians;
};

const Median* Find(const std::vector<Median>& medians, const std::string& name) {
  for (const Median& median : medians) {
    if (median.name == name) return &median;
  }
  return nullptr;
}

const char* Verdict(bool met) { return met ? "met" : "NOT met"; }

}  // namespace

int RunBenchmarksAndReport(int argc, char** argv, const BenchCeiling* ceilings, size_t ceilingCount) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n| benchmark | median CPU time | median wall time | goal (on CPU time) |\n|---|---|---|---|\n");
  for (const Median& median : reporter.medians) {
    std::string goal;
    for (size_t i = 0; i < ceilingCount; ++i) {
      if (median.name != ceilings[i].benchmark) continue;
      const bool met = median.microseconds <= ceilings[i].microseconds;
      goal = "<= " + std::to_string(static_cast<int>(ceilings[i].microseconds)) + " us: " + Verdict(met);
    }
    std::printf("| %s | %.3f us | %.3f us | %s |\n", median.name.c_str(), median.microseconds,
                median.wallMicroseconds, goal.c_str());
  }
  const std::string large = "/1024";
  for (const Median& median : reporter.medians) {
    const std::string& name = median.name;
    if (name.size() <= large.size() || name.compare(name.size() - large.size(), large.size(), large) != 0) continue;
    const std::string family = name.substr(0, name.size() - large.size());
    const Median* base = Find(reporter.medians, family + "/256");
    if (base == nullptr || base->microseconds <= 0) continue;
    const double ratio = median.microseconds / base->microseconds;
    const bool met = ratio <= kLinearRatioCeiling;
    std::printf("| ratio %s(1024)/%s(256) | %.2f | %.2f | <= %.1f: %s |\n", family.c_str(), family.c_str(),
                ratio, median.wallMicroseconds / base->wallMicroseconds, kLinearRatioCeiling, Verdict(met));
  }
  std::fflush(stdout);
  // A missed goal is a finding to report, not a failure of the program.
  return 0;
}
