#include <gtest/gtest.h>

#include "ui/performance/dfs_targets.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

TEST(DfsTargets, OneDomainSetTheRestUnchanged) {
  uint32_t targets[kTargetListCount];
  ASSERT_TRUE(BuildTargetList(6, 400, targets));  // "EMC"
  for (int i = 0; i < 7; ++i) EXPECT_EQ(kNone, targets[i]) << i;
  EXPECT_EQ(400000u, targets[7]);

  // The start-up list is "CPU" at 1000 MHz, as "Set" sends the page's defaults.
  BuildStartupTargetList(targets);
  EXPECT_EQ(kNone, targets[0]);
  EXPECT_EQ(1000000u, targets[1]);
  for (int i = 2; i < 8; ++i) EXPECT_EQ(kNone, targets[i]) << i;

  ASSERT_TRUE(BuildTargetList(3, 0, targets));  // "AHB", empty field
  EXPECT_EQ(0u, targets[4]);
}

TEST(DfsTargets, OversizedFrequencyIsHeldAtTheLargestThatFits) {
  EXPECT_EQ(4294967000u, TargetKhzFromMhz(4294967));
  // 4294968 MHz x 1000 wraps to 704 kHz in 32 bits.
  EXPECT_EQ(4294967000u, TargetKhzFromMhz(4294968));
  EXPECT_EQ(4294967000u, TargetKhzFromMhz(0xFFFFFFFFu));  // never "unchanged"
  uint32_t targets[kTargetListCount];
  ASSERT_TRUE(BuildTargetList(1, 0xFFFFFFFFu, targets));
  EXPECT_EQ(4294967000u, targets[2]);
}

TEST(DfsTargets, NoSelectionSendsNothing) {
  uint32_t targets[kTargetListCount] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(BuildTargetList(-1, 400, targets));  // CB_ERR
  EXPECT_FALSE(BuildTargetList(7, 400, targets));   // past the list: would write past the array
  for (uint32_t i = 0; i < kTargetListCount; ++i) EXPECT_EQ(i + 1, targets[i]);
}

}  // namespace
