// The Processes page driven as a person drives it, on a virtual display: mouse
// clicks on the column headers and the Pause box, the space bar in the list,
// the marks of new and ended rows as the list paints them, and the keys that
// act on the selected row (the menu key, Shift+F10, Delete). Runs inside
// with_real_input.sh (the RealInput test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/wine/support.h"
#include "ui/processes/process_pass.h"

namespace {

// Has with_real_input.sh's loop run one xdotool command line; false when it
// was not run in time.
bool Xdotool(const std::string& command) {
  static int next = 0;
  std::string base = std::string("Z:") + std::getenv("SELVANE_INPUT_DIR") + "/input" + std::to_string(next++);
  std::replace(base.begin(), base.end(), '/', '\\');
  FILE* file = std::fopen((base + ".tmp").c_str(), "wb");
  if (file == nullptr) return false;
  std::fputs(command.c_str(), file);
  std::fclose(file);
  // Renamed once written: the loop never reads half a line.
  if (!MoveFileA((base + ".tmp").c_str(), (base + ".req").c_str())) return false;
  return WaitUntil([&] { return GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; });
}

// A left click (or `clicks`) at the centre of `rect`, in `window`'s client coordinates.
bool Click(HWND window, RECT rect, const std::string& clicks = "click 1") {
  POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(window, &point);
  return Xdotool("mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " " + clicks);
}

bool ClickHeader(HWND list, int column, const std::string& clicks = "click 1") {
  HWND header = ListView_GetHeader(list);
  RECT rect = {};
  Header_GetItemRect(header, column, &rect);
  return Click(header, rect, clicks);
}

std::wstring ColumnTitle(HWND list, int column) {
  wchar_t text[64] = {};
  LVCOLUMNW record = {};
  record.mask = LVCF_TEXT;
  record.pszText = text;
  record.cchTextMax = 64;
  ListView_GetColumn(list, column, &record);
  return text;
}

// The colour of `item`'s row as painted: the left of its CPU column, whose
// right-aligned figure leaves it bare.
uint32_t RowColour(HWND list, int item) {
  RECT row = {}, column = {};
  ListView_GetItemRect(list, item, &row, LVIR_BOUNDS);
  Header_GetItemRect(ListView_GetHeader(list), kColumnCpu, &column);
  return CaptureClient(list).At(column.left + 3, (row.top + row.bottom) / 2);
}

bool Becomes(const SharedWord<uint32_t>& word, uint32_t value) {
  return WaitUntil([&] { return LoadShared(word) == value; });
}

// The page, listing two helpers of its own.
class RealInput : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("SELVANE_INPUT_DIR") == nullptr) GTEST_SKIP() << "runs on the virtual display of with_real_input.sh";
    ASSERT_TRUE(first.Start(L"threads 2"));
    ASSERT_TRUE(second.Start(L"threads 1"));
    RunProcessPass();
    ASSERT_GE(ListView_GetItemCount(list), 3);
  }
  ProcessesPage page{""};
  HWND list = page.List();
  Helper first, second;
};

TEST_F(RealInput, HeaderClicksSortTheSpaceBarAndPauseBoxPauseAndMarksShow) {
  // PID sorts as a number, up, then down on the second click; its title says which.
  ASSERT_TRUE(ClickHeader(list, kColumnPid));
  ASSERT_TRUE(Becomes(g_state.listOrder, ListOrderWord(kColumnPid, false)));
  EXPECT_EQ(L"^ PID", ColumnTitle(list, kColumnPid));
  RunProcessPass();
  std::vector<unsigned long> pids = Pids(list);
  EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
  // A row chosen below the second keeps the selection and the focus through
  // the reversal, which moves the rows around it: Down then goes on from it.
  const int chosen = ListView_GetItemCount(list) / 2;
  const unsigned long chosenPid = pids[chosen];
  RECT row = {};
  ListView_GetItemRect(list, chosen, &row, LVIR_BOUNDS);
  ASSERT_TRUE(Click(list, row));
  ASSERT_TRUE(ClickHeader(list, kColumnPid));
  ASSERT_TRUE(Becomes(g_state.listOrder, ListOrderWord(kColumnPid, true)));
  EXPECT_EQ(L"v PID", ColumnTitle(list, kColumnPid));
  RunProcessPass();
  pids = Pids(list);
  EXPECT_TRUE(std::is_sorted(pids.rbegin(), pids.rend()));
  const int moved = static_cast<int>(std::find(pids.begin(), pids.end(), chosenPid) - pids.begin());
  EXPECT_EQ(moved, ListView_GetNextItem(list, -1, LVNI_SELECTED));
  ASSERT_TRUE(Xdotool("key Down"));
  EXPECT_TRUE(WaitUntil([&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) == moved + 1; }));
  // Another column takes the mark; a double click is two clicks.
  ASSERT_TRUE(ClickHeader(list, kColumnName, "click --repeat 2 --delay 100 1"));
  ASSERT_TRUE(Becomes(g_state.listOrder, ListOrderWord(kColumnName, true)));
  EXPECT_EQ(L"PID", ColumnTitle(list, kColumnPid));
  EXPECT_EQ(L"v Name", ColumnTitle(list, kColumnName));
  ASSERT_TRUE(ClickHeader(list, kColumnPid));
  ASSERT_TRUE(Becomes(g_state.listOrder, ListOrderWord(kColumnPid, false)));
  RunProcessPass();
  pids = Pids(list);

  // The space bar in the list pauses: nothing comes, goes or moves.
  RECT item = {};
  ListView_GetItemRect(list, 0, &item, LVIR_BOUNDS);
  ASSERT_TRUE(Click(list, item));
  ASSERT_TRUE(Xdotool("key space"));
  ASSERT_TRUE(Becomes(g_state.listsPaused, 1));
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page.Page(), IDC_PAUSE_LISTS));
  Helper third;
  ASSERT_TRUE(third.Start(L"threads 1"));
  ASSERT_EQ(kHelperExitCode, first.Exit());
  RunProcessPass();
  EXPECT_EQ(pids, Pids(list));
  EXPECT_EQ(-1, FindItem(list, third.Id()));
  // A header click sorts the rows as they stand: the same rows, reversed.
  ASSERT_TRUE(ClickHeader(list, kColumnPid));
  ASSERT_TRUE(Becomes(g_state.listOrder, ListOrderWord(kColumnPid, true)));
  RunProcessPass();
  EXPECT_EQ(std::vector<unsigned long>(pids.rbegin(), pids.rend()), Pids(list));

  // A click on the Pause box resumes, and one pass brings the list into
  // step: the newcomer marked new, the process that ended marked ended.
  HWND box = GetDlgItem(page.Page(), IDC_PAUSE_LISTS);
  RECT boxRect = {};
  GetClientRect(box, &boxRect);
  ASSERT_TRUE(Click(box, boxRect));
  ASSERT_TRUE(Becomes(g_state.listsPaused, 0));
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page.Page(), IDC_PAUSE_LISTS));
  RunProcessPass();
  EXPECT_EQ("", ListDiffersFromTable(list));
  pids = Pids(list);
  EXPECT_TRUE(std::is_sorted(pids.rbegin(), pids.rend()));
  const uint32_t fresh = RGB(kNewRowRed, kNewRowGreen, kNewRowBlue);
  const uint32_t ended = RGB(kEndedRowRed, kEndedRowGreen, kEndedRowBlue);
  EXPECT_TRUE(WaitUntil([&] { return RowColour(list, FindItem(list, third.Id())) == fresh; }));
  EXPECT_TRUE(WaitUntil([&] { return RowColour(list, FindItem(list, first.Id())) == ended; }));
  const uint32_t plain = RowColour(list, FindItem(list, second.Id()));
  EXPECT_NE(fresh, plain);
  EXPECT_NE(ended, plain);
}

// The menu key and Shift+F10 open the menu on the clicked row, whose keys
// choose "Show Threads"; Delete asks "Warning" and, confirmed, ends it.
TEST_F(RealInput, KeysOpenTheMenuAndEndTheSelectedProcess) {
  const char* const menuKeys[] = {"Menu", "shift+F10"};
  const Helper* const chosen[] = {&first, &second};
  for (int k = 0; k < 2; ++k) {
    RECT item = {};
    ListView_GetItemRect(list, FindItem(list, chosen[k]->Id()), &item, LVIR_BOUNDS);
    ASSERT_TRUE(Click(list, item));
    // Down twice: the second item, "Show Threads".
    ASSERT_TRUE(Xdotool(std::string("key ") + menuKeys[k] + " sleep 0.5 key Down Down Return"));
    RunProcessPass();
    EXPECT_EQ(chosen[k]->Id(), g_state.threadTable.ownerId) << menuKeys[k];
  }
  ASSERT_TRUE(Xdotool("key Delete sleep 0.5 key Return"));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.Process(), 5000));
  EXPECT_TRUE(first.Running());
  // Its row, still chosen in the focused list, keeps no selection: its mark shows.
  RunProcessPass();
  const uint32_t ended = RGB(kEndedRowRed, kEndedRowGreen, kEndedRowBlue);
  EXPECT_TRUE(WaitUntil([&] { return RowColour(list, FindItem(list, second.Id())) == ended; }));
}

// The whole monitor, scaling stopped (/d): Enter in the MHz field sends its
// target as "Set" does (the chip's clock follows), Enter on a process row
// shows its threads, and the sheet's default button, OK, closes nothing.
TEST(RealInputSheet, EnterSendsTheTargetOrShowsThreadsAndNeverCloses) {
  if (std::getenv("SELVANE_INPUT_DIR") == nullptr) GTEST_SKIP() << "runs on the virtual display of with_real_input.sh";
  BindPlatform();  // a state of its own, after the pages of the tests before
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start(L"/d"));
  HWND field = GetDlgItem(monitor.Page(), IDC_TARGET_MHZ);
  RECT rect = {};
  GetClientRect(field, &rect);
  // The sheet may take input a moment after it shows: clicked until focused.
  const auto focused = [&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(field, nullptr), &info) && info.hwndFocus == field;
  };
  for (int click = 0; click < 5 && !focused(); ++click) {
    ASSERT_TRUE(Click(field, rect));
    WaitUntil(focused, 1000);
  }
  ASSERT_TRUE(focused());
  ASSERT_TRUE(Xdotool("key ctrl+a type 400"));
  ASSERT_TRUE(Xdotool("key Return"));
  EXPECT_TRUE(WaitUntil([&] { return ControlText(monitor.Page(), IDC_STATUS_TEXT).find(L"CPU[400Mhz]") == 0; }));
  // Enter on a process row shows its threads, and leaves the monitor open too.
  SendMessageW(monitor.sheet, PSM_SETCURSEL, 0, 0);
  HWND list = GetDlgItem(monitor.Page(), IDC_PROCESS_LIST), threads = GetDlgItem(monitor.Page(), IDC_THREAD_LIST);
  ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(list) > 0; }));
  ListView_GetItemRect(list, 0, &rect, LVIR_BOUNDS);
  ASSERT_TRUE(Click(list, rect) && Xdotool("key Return"));
  ASSERT_TRUE(WaitUntil([&] { return ListView_GetItemCount(threads) > 0; }));
  ListView_GetItemRect(threads, 0, &rect, LVIR_BOUNDS);  // and Enter on a thread row does nothing
  ASSERT_TRUE(Click(threads, rect) && Xdotool("key Return"));
  Sleep(500);
  EXPECT_TRUE(IsWindow(monitor.sheet));
  EXPECT_EQ(0u, monitor.Close());
}

}  // namespace
