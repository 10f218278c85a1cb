// The resource-manager library, bound from the simulator and its variants.
#include <gtest/gtest.h>

#include <cstring>

#include "app/monitor_state.h"
#include "platform/resource_manager.h"
#include "tests/wine/resource_manager_support.h"
#include "tests/wine/wine_support.h"

namespace {

constexpr size_t kEntryCount = 13;
static_assert(sizeof(ResourceManager) == kEntryCount * sizeof(void*), "thirteen entry points");

// How many of the thirteen entry points are bound.
size_t BoundEntries() {
  void* entries[kEntryCount];
  std::memcpy(entries, &g_resourceManager, sizeof entries);
  size_t bound = 0;
  for (void* entry : entries) bound += entry != nullptr;
  return bound;
}

std::string BindCapturing(const wchar_t* library) {
  StdoutCapture capture;
  BindStandIn(library);
  return capture.Text();
}

TEST(ResourceBinding, AbsentLibraryLeavesEverythingOffSilently) {
  BindStandIn(L"libnvrm_record.dll");  // a previous binding must not linger
  EXPECT_EQ("", BindCapturing(L"no-such-library.dll"));
  EXPECT_EQ(0u, g_state.rmAvailable);
  EXPECT_EQ(nullptr, g_state.rmHandle);
  EXPECT_EQ(0u, BoundEntries());
  EXPECT_FALSE(DfsControlsAvailable());
}

TEST(ResourceBinding, MissingEntryIsReportedAloneAndTheRestBound) {
  EXPECT_EQ("NvRmClose\r\n", BindCapturing(L"libnvrm_no_close.dll"));
  EXPECT_EQ(1u, g_state.rmAvailable);
  EXPECT_NE(nullptr, g_state.rmHandle);
  EXPECT_EQ(nullptr, g_resourceManager.NvRmClose);
  EXPECT_EQ(kEntryCount - 1, BoundEntries());

  EXPECT_EQ("NvRmDfsGetState\r\nNvRmDfsSetState\r\nNvRmDfsSetTarget\r\n", BindCapturing(L"libnvrm_no_dfs.dll"));
  EXPECT_EQ(1u, g_state.rmAvailable);
  EXPECT_EQ(kEntryCount - 3, BoundEntries());
  EXPECT_FALSE(DfsControlsAvailable());
}

TEST(ResourceBinding, OpenWithoutHandleIsReportedAndTheLibraryStillAvailable) {
  EXPECT_EQ("g_rm\r\n", BindCapturing(L"libnvrm_null_open.dll"));
  EXPECT_EQ(1u, g_state.rmAvailable);
  EXPECT_EQ(nullptr, g_state.rmHandle);
  EXPECT_EQ(kEntryCount, BoundEntries());
}

// Without its state and target calls the page offers no control and calls nothing.
TEST(ResourceBinding, MissingDfsCallsHideTheControlsAndCallNothing) {
  TakeCallLog(L"libnvrm_no_dfs.dll");
  BindStandIn(L"libnvrm_no_dfs.dll");
  g_state.dfsOffAtStart = 1;
  EXPECT_EQ("NvRmOpen 0\n", TakeCallLog(L"libnvrm_no_dfs.dll"));
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page) << GetLastError();
  for (int id : {IDC_DISABLE_DFS, IDC_DOMAIN_LIST, IDC_TARGET_MHZ, IDC_SET_TARGET}) {
    EXPECT_FALSE(IsShown(page, id)) << id;
  }
  // Commands that reach the page anyway do nothing.
  SendMessageW(page, WM_COMMAND, IDC_DISABLE_DFS, 0);
  SendMessageW(page, WM_COMMAND, IDC_SET_TARGET, 0);
  EXPECT_EQ("", TakeCallLog(L"libnvrm_no_dfs.dll"));
  DestroyWindow(page);
}

}  // namespace
