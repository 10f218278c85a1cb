#include <gtest/gtest.h>

#include "ui/performance/dfs_targets.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Position 0 is never a domain's; domain item i is position i + 1.
TEST(DfsTargets, OneDomainSetTheRestUnchanged) {
  uint32_t targets[kTargetListCount];
  ASSERT_TRUE(BuildTargetList(6, 400, targets));  // "EMC"
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i == 7 ? 400000u : kNone, targets[i]) << i;
  // The start-up list is "CPU" at 1000 MHz, as "Set" sends the page's defaults.
  BuildStartupTargetList(targets);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i == 1 ? 1000000u : kNone, targets[i]) << i;
}

TEST(DfsTargets, OversizedFrequencyIsHeldAtTheLargestThatFits) {
  EXPECT_EQ(4294967000u, TargetKhzFromMhz(4294968));  // x 1000 would wrap to 704 kHz
  uint32_t targets[kTargetListCount];
  ASSERT_TRUE(BuildTargetList(0, 0xFFFFFFFFu, targets));
  EXPECT_EQ(4294967000u, targets[1]);  // never "unchanged"
}

TEST(DfsTargets, NoSelectionSendsNothing) {
  uint32_t targets[kTargetListCount] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(BuildTargetList(-1, 400, targets));  // CB_ERR
  EXPECT_FALSE(BuildTargetList(7, 400, targets));   // past the list: would write past the array
  for (uint32_t i = 0; i < kTargetListCount; ++i) EXPECT_EQ(i + 1, targets[i]);
}

}  // namespace
