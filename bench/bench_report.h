// The main of the native benchmark programs: runs the benchmarks as Google
// Benchmark does, then prints a markdown table of the medians (of the
// repetitions, --benchmark_repetitions=N), every ratio of a benchmark at
// 1024 to the same at 256, and whether each goal is met.
#ifndef SELVANE_BENCH_BENCH_REPORT_H
#define SELVANE_BENCH_BENCH_REPORT_H

#include <cstddef>

// A goal: the benchmark's median wall time is at most `microseconds`.
struct BenchCeiling {
  const char* benchmark;  // as Google Benchmark names it, e.g. "PureCycle/32"
  double microseconds;
};

// Scaling is linear when pass(1024) / pass(256) stays at most this.
constexpr double kLinearRatioCeiling = 4.5;

int RunBenchmarksAndReport(int argc, char** argv, const BenchCeiling* ceilings, size_t ceilingCount);

#endif
