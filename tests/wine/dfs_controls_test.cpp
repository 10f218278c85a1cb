// The Performance page's frequency-scaling controls against the recording simulator.
#include <gtest/gtest.h>

#include <string>

#include "app/monitor_state.h"
#include "sampler/sampling_loop.h"
#include "tests/wine/resource_manager_support.h"
#include "tests/wine/wine_support.h"

namespace {

const wchar_t kRecorder[] = L"libnvrm_record.dll";
const char kStartupTargets[] =
    "NvRmDfsSetTarget h 8 4294967295 1000000 4294967295 4294967295 4294967295 4294967295 4294967295 "
    "4294967295\n";

// Binds the recorder (which starts running), stops scaling if `state` asks
// it, sets /d or not, and starts the log afresh.
void Prepare(uint32_t state, uint32_t dfsOffAtStart) {
  BindStandIn(kRecorder);
  g_state.dfsOffAtStart = dfsOffAtStart;
  if (state == kDfsStateStopped) g_resourceManager.NvRmDfsSetState(g_state.rmHandle, state);
  TakeCallLog(kRecorder);
}

void ExpectTargetControls(HWND page, bool shown) {
  EXPECT_EQ(shown, IsShown(page, IDC_DOMAIN_LIST));
  EXPECT_EQ(shown, IsShown(page, IDC_TARGET_MHZ));
  EXPECT_EQ(shown, IsShown(page, IDC_SET_TARGET));
}

void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }

// A clock read by the test itself, kept out of the log.
uint32_t CurrentKhz(uint32_t domain) {
  const uint32_t khz = ReadClock(domain).currentKhz;
  TakeCallLog(kRecorder);
  return khz;
}

TEST(DfsControls, UnavailableLibraryHidesAllFourAndTheStatusStaysEmpty) {
  BindStandIn(L"no-such-library.dll");
  g_state.dfsOffAtStart = 1;  // changes nothing without the library
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  EXPECT_FALSE(IsShown(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, false);
  EXPECT_FALSE(IsChecked(page, IDC_DISABLE_DFS));
  EXPECT_EQ(0, SendDlgItemMessageW(page, IDC_DOMAIN_LIST, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(L"", ControlText(page, IDC_TARGET_MHZ));
  // The graphs are tagged on every path: 0 for the CPU, 1 for memory.
  EXPECT_EQ(0, GetWindowLongPtrW(GetDlgItem(page, IDC_CPU_GAUGE), GWLP_USERDATA));
  EXPECT_EQ(1, GetWindowLongPtrW(GetDlgItem(page, IDC_MEM_GAUGE), GWLP_USERDATA));
  EXPECT_EQ(0, GetWindowLongPtrW(GetDlgItem(page, IDC_CPU_HISTORY), GWLP_USERDATA));
  EXPECT_EQ(1, GetWindowLongPtrW(GetDlgItem(page, IDC_MEM_HISTORY), GWLP_USERDATA));

  // The sampler leaves the status field and the frequency scale alone.
  g_state.performancePage.store(page);
  SamplerContext context = {};
  StartSampling(&context);
  Sleep(20);
  RunSamplingCycle(&context);
  EXPECT_EQ(L"", ControlText(page, IDC_STATUS_TEXT));
  EXPECT_EQ(1.0f, g_state.frequencyScale.load());
  DestroyWindow(page);
}

TEST(DfsControls, RunningScalingShowsTheBoxUncheckedAndOnlyAsksTheState) {
  Prepare(kDfsStateRunning, 0);
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  EXPECT_EQ("NvRmDfsGetState h\n", TakeCallLog(kRecorder));
  EXPECT_TRUE(IsShown(page, IDC_DISABLE_DFS));
  EXPECT_FALSE(IsChecked(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, false);
  // The hidden controls already hold their defaults: seven domains, "CPU" chosen, 1000.
  HWND domains = GetDlgItem(page, IDC_DOMAIN_LIST);
  EXPECT_EQ(7, SendMessageW(domains, CB_GETCOUNT, 0, 0));
  EXPECT_EQ(0, SendMessageW(domains, CB_GETCURSEL, 0, 0));
  EXPECT_EQ(L"1000", ControlText(page, IDC_TARGET_MHZ));
  DestroyWindow(page);
}

TEST(DfsControls, StoppedScalingChecksTheBoxAndSendsNothing) {
  Prepare(kDfsStateStopped, 0);
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  EXPECT_EQ("NvRmDfsGetState h\n", TakeCallLog(kRecorder));
  EXPECT_TRUE(IsChecked(page, IDC_DISABLE_DFS));
  EXPECT_TRUE(IsShown(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, true);
  DestroyWindow(page);
}

TEST(DfsControls, OptionDStopsScalingOnceAndTheTargetReachesTheCpu) {
  for (uint32_t state : {kDfsStateRunning, kDfsStateStopped}) {
    SCOPED_TRACE(state);
    Prepare(state, 1);
    HWND page = CreatePerformancePage();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(std::string("NvRmDfsGetState h\nNvRmDfsSetState h 2\n") + kStartupTargets, TakeCallLog(kRecorder));
    EXPECT_TRUE(IsChecked(page, IDC_DISABLE_DFS));
    ExpectTargetControls(page, true);
    EXPECT_EQ(kDfsStateStopped, g_resourceManager.NvRmDfsGetState(g_state.rmHandle));
    EXPECT_EQ(1000000u, CurrentKhz(kDomainCpu));
    DestroyWindow(page);
  }
}

TEST(DfsControls, ClickingTheBoxStopsAndRestartsScaling) {
  Prepare(kDfsStateRunning, 0);
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  TakeCallLog(kRecorder);

  Click(page, IDC_DISABLE_DFS);
  EXPECT_EQ("NvRmDfsSetState h 2\n", TakeCallLog(kRecorder));
  EXPECT_TRUE(IsChecked(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, true);

  Click(page, IDC_DISABLE_DFS);
  EXPECT_EQ("NvRmDfsSetState h 3\n", TakeCallLog(kRecorder));
  EXPECT_FALSE(IsChecked(page, IDC_DISABLE_DFS));
  ExpectTargetControls(page, false);
  EXPECT_EQ(kDfsStateRunning, g_resourceManager.NvRmDfsGetState(g_state.rmHandle));
  DestroyWindow(page);
}

TEST(DfsControls, SetSendsTheChosenDomainsTarget) {
  Prepare(kDfsStateStopped, 0);
  HWND page = CreatePerformancePage();
  ASSERT_NE(nullptr, page);
  TakeCallLog(kRecorder);
  HWND domains = GetDlgItem(page, IDC_DOMAIN_LIST);
  const char* none = " 4294967295";

  SendMessageW(domains, CB_SETCURSEL, 6, 0);  // "EMC"
  SetDlgItemTextW(page, IDC_TARGET_MHZ, L"400");
  Click(page, IDC_SET_TARGET);
  std::string expected = "NvRmDfsSetTarget h 8";
  for (int i = 0; i < 7; ++i) expected += none;
  EXPECT_EQ(expected + " 400000\n", TakeCallLog(kRecorder));
  EXPECT_EQ(400000u, CurrentKhz(kDomainEmc));

  // An empty field sends 0; the library holds the clock at its minimum.
  SendMessageW(domains, CB_SETCURSEL, 0, 0);  // "CPU"
  SetDlgItemTextW(page, IDC_TARGET_MHZ, L"");
  Click(page, IDC_SET_TARGET);
  expected = std::string("NvRmDfsSetTarget h 8") + none + " 0";
  for (int i = 2; i < 8; ++i) expected += none;
  EXPECT_EQ(expected + "\n", TakeCallLog(kRecorder));
  EXPECT_EQ(216000u, CurrentKhz(kDomainCpu));

  DestroyWindow(page);
}

}  // namespace
