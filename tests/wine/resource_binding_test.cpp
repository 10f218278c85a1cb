// The resource-manager library without its scaling calls. (Binding every
// variant is part of the fault matrix.)
#include <gtest/gtest.h>

#include "app/monitor_state.h"
#include "platform/resource_manager.h"
#include "tests/wine/resource_manager_support.h"

namespace {

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
