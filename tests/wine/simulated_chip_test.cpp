// The simulated chip itself: its pools and temperatures, and calls from two threads.
// (Its clocks and targets are tested through the page and the sampler.)
#include <gtest/gtest.h>

#include <atomic>

#include "app/monitor_state.h"
#include "tests/wine/resource_manager_support.h"

namespace {

constexpr uint32_t kUnchanged = 0xFFFFFFFFu;

TEST(SimulatedChip, PoolsAndTemperaturesArePlausible) {
  BindStandIn(L"libnvrm.dll");
  int32_t stat[7] = {};
  for (uint32_t s = 1; s <= 6; ++s) ASSERT_EQ(0u, g_resourceManager.NvRmMemGetStat(s, &stat[s]));
  for (int pool : {0, 3}) {  // carveout (1..3), GART (4..6)
    const int32_t total = stat[pool + 1], used = stat[pool + 2], largestFree = stat[pool + 3];
    EXPECT_GT(used, 0);
    EXPECT_LE(used, total);
    EXPECT_GT(largestFree, 0);
    EXPECT_LE(largestFree, total - used);
  }
  int32_t module = 0, cpu = 0;
  g_resourceManager.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureModule, &module);
  g_resourceManager.NvRmDiagGetTemperature(g_state.rmHandle, kTemperatureCpu, &cpu);
  EXPECT_GE(module, 30);  // ambient
  EXPECT_GE(cpu, module);
  EXPECT_LE(cpu, 75);
}

struct Steering {
  std::atomic<bool> stop{false};
  std::atomic<int> steps{0};
};

// Stops and restarts scaling and moves the CPU target, as fast as it can.
DWORD WINAPI Steer(LPVOID parameter) {
  Steering* steering = static_cast<Steering*>(parameter);
  uint32_t targets[8] = {kUnchanged, 0, kUnchanged, kUnchanged, kUnchanged, kUnchanged, kUnchanged, kUnchanged};
  for (uint32_t i = 0; !steering->stop.load(); ++i) {
    g_resourceManager.NvRmDfsSetState(g_state.rmHandle, i % 2 ? kDfsStateRunning : kDfsStateStopped);
    targets[1] = 216000 + (i * 7919) % 784001;
    g_resourceManager.NvRmDfsSetTarget(g_state.rmHandle, 8, targets);
    steering->steps.fetch_add(1);
  }
  return 0;
}

// The sampler reads while the page steers: the records stay whole.
TEST(SimulatedChip, SafeFromTwoThreads) {
  BindStandIn(L"libnvrm.dll");
  Steering shared;
  HANDLE steering = CreateThread(nullptr, 0, Steer, &shared, 0, nullptr);
  ASSERT_NE(nullptr, steering);
  const DWORD start = GetTickCount();
  int reads = 0;
  while (GetTickCount() - start < 300) {
    const ClockUsage cpu = ReadClock(kDomainCpu);
    ASSERT_GE(cpu.currentKhz, 216000u);
    ASSERT_LE(cpu.currentKhz, 1000000u);
    ASSERT_LE(cpu.averageKhz, cpu.currentKhz);
    ++reads;
  }
  shared.stop.store(true);
  WaitForSingleObject(steering, 5000);
  CloseHandle(steering);
  EXPECT_GT(reads, 100);
  EXPECT_GT(shared.steps.load(), 100);
}

}  // namespace
