#include "ui/performance/dfs_targets.h"

const wchar_t* const kDomainLabels[kClockDomainCount] = {L"CPU", L"AVP", L"SYS", L"AHB",
                                                         L"APB", L"VID", L"EMC"};

uint32_t TargetKhzFromMhz(uint32_t mhz) {
  const uint64_t khz = static_cast<uint64_t>(mhz) * kKhzPerMhz;
  return khz > kMaxTargetKhz ? kMaxTargetKhz : static_cast<uint32_t>(khz);
}

bool BuildTargetList(int32_t listIndex, uint32_t mhz, uint32_t targets[kTargetListCount]) {
  if (listIndex < 0 || listIndex >= static_cast<int32_t>(kClockDomainCount)) return false;
  for (uint32_t i = 0; i < kTargetListCount; ++i) targets[i] = kTargetUnchanged;
  targets[listIndex + 1] = TargetKhzFromMhz(mhz);
  return true;
}

void BuildStartupTargetList(uint32_t targets[kTargetListCount]) {
  BuildTargetList(static_cast<int32_t>(kDomainCpu - 1), kDefaultTargetMhz, targets);
}
