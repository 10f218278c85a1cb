// No heap allocation in the sampling loop: after a warm-up, the pure work of
// 1000 cycles allocates nothing. The C library's allocator entry points are
// replaced here by counting wrappers around its own implementation, which is
// why this test has a binary of its own, built without AddressSanitizer (the
// sanitizer replaces the same entry points).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/pure_cycle.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_allocations{0};

void CountAllocation() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

// operator new and the C++ library allocate through malloc, so these cover them.
extern "C" {
void* malloc(size_t size) {
  CountAllocation();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  CountAllocation();
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
  CountAllocation();
  return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
  CountAllocation();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  CountAllocation();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, size_t alignment, size_t size) {
  CountAllocation();
  void* allocated = __libc_memalign(alignment, size);
  if (allocated == nullptr) return ENOMEM;
  *block = allocated;
  return 0;
}
void free(void* block) { __libc_free(block); }
}

namespace {

constexpr int kWarmUpCycles = 3;
constexpr int kCountedCycles = 1000;

// Allocations made while `work` runs.
template <typename Work>
uint64_t CountAllocations(Work work) {
  g_allocations.store(0);
  g_counting.store(true);
  work();
  g_counting.store(false);
  return g_allocations.load();
}

// The count must see allocations at all, or a zero below would prove nothing.
TEST(Allocations, CounterSeesTheLibrariesAllocations) {
  EXPECT_EQ(1u, CountAllocations([] { delete new int(1); }));
  EXPECT_GE(CountAllocations([] { std::string grown(1000, 'x'); }), 1u);
  EXPECT_GE(CountAllocations([] { std::FILE* file = std::tmpfile(); if (file) std::fclose(file); }), 1u);
}

TEST(Allocations, NoneInAThousandCyclesAfterWarmUp) {
  static PureCycle cycle;  // about a megabyte: kept off the stack
  const uint32_t kProcessors[] = {1, 2, 4};
  const uint32_t kProcesses[] = {32, kProcessCapacity};
  for (uint32_t processors : kProcessors) {
    for (uint32_t processes : kProcesses) {
      StartPureCycle(&cycle, processors, processes);
      for (int i = 0; i < kWarmUpCycles; ++i) RunPureCycle(&cycle);
      const uint64_t count = CountAllocations([] {
        for (int i = 0; i < kCountedCycles; ++i) RunPureCycle(&cycle);
      });
      std::printf("allocations in %d cycles, %u processors, %u processes: %llu\n", kCountedCycles,
                  static_cast<unsigned>(processors), static_cast<unsigned>(processes),
                  static_cast<unsigned long long>(count));
      EXPECT_EQ(0u, count) << processors << " processors, " << processes << " processes";
      EXPECT_GT(cycle.listOperations, static_cast<uint64_t>(kCountedCycles)) << "the passes did their work";
    }
  }
}

}  // namespace
