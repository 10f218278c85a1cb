// The simulated chip itself: its records, targets, pools and temperatures.
#include <gtest/gtest.h>

#include <atomic>

#include "app/monitor_state.h"
#include "tests/wine/resource_manager_support.h"

namespace {

constexpr uint32_t kUnchanged = 0xFFFFFFFFu;

void ExpectConsistent(const ClockUsage& u, uint32_t domain) {
  SCOPED_TRACE(domain);
  EXPECT_LE(u.minimumKhz, u.lowCornerKhz);
  EXPECT_LE(u.lowCornerKhz, u.highCornerKhz);
  EXPECT_LE(u.highCornerKhz, u.maximumKhz);
  EXPECT_GE(u.currentKhz, u.minimumKhz);
  EXPECT_LE(u.currentKhz, u.maximumKhz);
  EXPECT_LE(u.averageKhz, u.currentKhz);
  EXPECT_GT(u.currentKhz, 0u);
}

TEST(SimulatedChip, StartsRunningWithConsistentRecords) {
  BindStandIn(L"libnvrm.dll");
  EXPECT_EQ(kDfsStateRunning, g_resourceManager.NvRmDfsGetState(g_state.rmHandle));
  for (uint32_t d = 1; d <= kClockDomainCount; ++d) ExpectConsistent(ReadClock(d), d);
  const ClockUsage cpu = ReadClock(kDomainCpu);
  EXPECT_EQ(216000u, cpu.lowCornerKhz);
  EXPECT_EQ(1000000u, cpu.highCornerKhz);
  const ClockUsage emc = ReadClock(kDomainEmc);
  EXPECT_EQ(333000u, emc.lowCornerKhz);
  EXPECT_EQ(667000u, emc.highCornerKhz);
}

TEST(SimulatedChip, TargetsApplyOnlyWhileStoppedAndWithinEachDomainsRange) {
  BindStandIn(L"libnvrm.dll");
  void* rm = g_state.rmHandle;
  const uint32_t sysBefore = ReadClock(3).currentKhz;
  uint32_t targets[8] = {5, 5000000, 0, kUnchanged, kUnchanged, kUnchanged, kUnchanged, 400000};
  EXPECT_NE(0u, g_resourceManager.NvRmDfsSetTarget(rm, 8, targets));  // running: the scaler decides

  ASSERT_EQ(0u, g_resourceManager.NvRmDfsSetState(rm, kDfsStateStopped));
  EXPECT_EQ(kDfsStateStopped, g_resourceManager.NvRmDfsGetState(rm));
  ASSERT_EQ(0u, g_resourceManager.NvRmDfsSetTarget(rm, 8, targets));
  EXPECT_EQ(1000000u, ReadClock(kDomainCpu).currentKhz);  // held at its maximum
  EXPECT_EQ(24000u, ReadClock(kDomainAvp).currentKhz);    // held at its minimum
  EXPECT_EQ(sysBefore, ReadClock(kDomainSys).currentKhz);  // unchanged
  EXPECT_EQ(400000u, ReadClock(kDomainEmc).currentKhz);
}

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
