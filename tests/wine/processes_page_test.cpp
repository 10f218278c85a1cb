// The Processes page, its process list and its context menu, with real
// helper processes. The page runs on a thread of its own, as in the sheet;
// the test thread plays the sampling thread and the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/monitor_state.h"
#include "platform/kernel_extensions.h"
#include "tests/wine/fault_support.h"
#include "tests/wine/process_support.h"
#include "tests/wine/wine_support.h"
#include "ui/processes/process_pass.h"
#include "ui/processes/processes_page.h"

namespace {

std::string ReadLinuxFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0) text.append(buffer, count);
  CloseHandle(file);
  return text;
}

// "Cpus_allowed_list" of the helper's Linux process, found through Wine's Z:
// drive by its command line, which carries the helper's tag.
std::string LinuxCpusAllowed(const HelperProcess& sleeper) {
  std::string tag(sleeper.Tag().begin(), sleeper.Tag().end());
  const std::string needle = std::string(".exe") + '\0' + tag + '\0';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return "";
  std::string result;
  do {
    const std::wstring folder = std::wstring(L"Z:\\proc\\") + found.cFileName;
    if (ReadLinuxFile(folder + L"\\cmdline").find(needle) == std::string::npos) continue;
    const std::string status = ReadLinuxFile(folder + L"\\status");
    const std::string key = "Cpus_allowed_list:\t";
    const size_t at = status.find(key);
    if (at != std::string::npos) result = status.substr(at + key.size(), status.find('\n', at) - at - key.size());
    break;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return result;
}

// Item i shows row i. Called on the thread that runs the passes.
void ExpectListShowsTable(HWND list) {
  const ProcessTable& table = g_state.processTable;
  ASSERT_EQ(static_cast<int>(table.processCount), ItemCount(list));
  uint32_t threads = 0;
  for (uint32_t i = 0; i < table.processCount; ++i) {
    EXPECT_EQ(table.rows[i].name, ItemText(list, i, kColumnName));
    EXPECT_EQ(Hex8(table.rows[i].processId), ItemText(list, i, kColumnPid));
    EXPECT_EQ(std::to_wstring(table.rows[i].threadCount), ItemText(list, i, kColumnThreads));
    threads += table.rows[i].threadCount;
  }
  EXPECT_EQ(threads, table.threadTotal);
}

bool AffinityMarked(uint32_t position) { return Checked(g_state.affinityMenu, position); }

// Each column as "title alignment width".
std::vector<std::wstring> Columns(HWND list) {
  std::vector<std::wstring> columns;
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t title[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 64;
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    columns.push_back(std::wstring(title) + (column.fmt & LVCFMT_RIGHT ? L" right " : L" left ") +
                      std::to_wstring(column.cx));
  }
  return columns;
}

TEST(ProcessesPage, ColumnsAndMenuFollowTheProcessorCount) {
  const std::vector<std::wstring> processColumns = {L"Name left 80",      L"ID right 35",
                                                    L"PID left 70",       L"CPU right 35",
                                                    L"CPU Time right 65", L"Mem Usage right 70",
                                                    L"Threads right 60"};
  const std::vector<std::wstring> threadColumns = {L"TID left 70", L"Priority left 70", L"CPU right 40"};
  struct Case {
    const wchar_t* variant;
    bool multi, cpu3And4;
  } cases[] = {{L"coredll_count1.dll", false, false},
               {L"coredll_count2.dll", true, false},
               {L"coredll_count4.dll", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.variant);
    BindProcessors(c.variant);
    HWND page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROCESSES), nullptr,
                                   ProcessesPageProc, 0);
    ASSERT_NE(nullptr, page);
    HWND processList = GetDlgItem(page, IDC_PROCESS_LIST), threadList = GetDlgItem(page, IDC_THREAD_LIST);
    std::vector<std::wstring> processExpected = processColumns, threadExpected = threadColumns;
    if (c.multi) {
      processExpected.push_back(L"Affinity right 60");
      threadExpected.push_back(L"Affinity right 60");
    }
    EXPECT_EQ(processExpected, Columns(processList));
    EXPECT_EQ(threadExpected, Columns(threadList));
    EXPECT_EQ(LVS_EX_FULLROWSELECT, SendMessageW(processList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(0, SendMessageW(threadList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));

    ASSERT_NE(nullptr, g_state.contextMenu);
    EXPECT_EQ(g_state.affinityMenu, GetSubMenu(g_state.contextMenu, kMenuPositionAffinity));
    EXPECT_FALSE(Greyed(g_state.contextMenu, 0));  // Kill Process
    EXPECT_EQ(!c.multi, Greyed(g_state.contextMenu, kMenuPositionAffinity));
    for (UINT position = 0; position <= 2; ++position) EXPECT_FALSE(Greyed(g_state.affinityMenu, position));
    EXPECT_EQ(!c.cpu3And4, Greyed(g_state.affinityMenu, 3));
    EXPECT_EQ(!c.cpu3And4, Greyed(g_state.affinityMenu, 4));
    DestroyWindow(page);
    EXPECT_EQ(nullptr, g_state.processList.load());  // the list went with its page
  }
}

TEST(ProcessPass, ListsAHelperAndFollowsItsThreadsAndItsExit) {
  BindProcessors(L"coredll_count1.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess sleeper;
  ASSERT_TRUE(sleeper.Start(BinPath(L"sleeper.exe"), L"3"));

  RunProcessPass();
  ExpectListShowsTable(list);
  const int item = FindItem(list, sleeper.Id());
  ASSERT_GE(item, 0);
  EXPECT_EQ(L"sleeper.exe", ItemText(list, item, kColumnName));
  EXPECT_EQ(std::to_wstring(item), ItemText(list, item, kColumnId));
  EXPECT_EQ(L"3", ItemText(list, item, kColumnThreads));
  EXPECT_EQ(L"0", ItemText(list, item, kColumnCpu));  // first seen
  EXPECT_EQ(L"", ItemText(list, item, kColumnAffinity));  // no such column with one processor

  ASSERT_TRUE(sleeper.More());
  RunProcessPass();
  EXPECT_EQ(L"5", ItemText(list, item, kColumnThreads));
  ExpectListShowsTable(list);

  // The page stops being active: the pass still keeps its list in step.
  g_state.processesPage.store(nullptr);
  ASSERT_EQ(kHelperExitCode, sleeper.Exit());
  RunProcessPass();
  EXPECT_EQ(-1, FindItem(list, sleeper.Id()));
  EXPECT_EQ(kNoProcessRow, FindProcessRow(&g_state.processTable, sleeper.Id()));
  ExpectListShowsTable(list);
}

TEST(ProcessMenu, OpensOnItemsOfTheProcessListOnly) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  RunProcessPass();
  const int count = ItemCount(list);
  ASSERT_GT(count, 0);

  // Below the last item, and on the (empty) thread list.
  RECT client;
  GetClientRect(list, &client);
  const POINT last = ItemCentre(list, count - 1);
  const POINT empty = {last.x, last.y + 40};  // some three items' height below
  ASSERT_LT(empty.y, client.bottom) << "the list is full: no empty space to press on";
  RightClick(list, empty);
  EXPECT_EQ(nullptr, WaitForMenu(300));
  RightClick(GetDlgItem(page.Page(), IDC_THREAD_LIST), POINT{20, 20});
  EXPECT_EQ(nullptr, WaitForMenu(300));

  // Tap-and-hold on an item opens it, with the mark on the row's affinity.
  POINT centre = ItemCentre(list, 0);
  ClientToScreen(list, &centre);
  SetCursorPos(centre.x, centre.y);
  static NMHDR gesture;
  gesture = NMHDR{list, IDC_PROCESS_LIST, kGestureContextMenu};
  PostMessageW(page.Page(), WM_NOTIFY, IDC_PROCESS_LIST, reinterpret_cast<LPARAM>(&gesture));
  ASSERT_NE(nullptr, WaitForMenu());
  EXPECT_TRUE(AffinityMarked(g_state.processTable.rows[0].affinity));
  EXPECT_TRUE(EndMenu());
  EXPECT_TRUE(WaitForMenuClosed());
}

TEST(ProcessMenu, SetAffinityBindsTheProcessAndTheNextPassShowsIt) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess sleeper;
  ASSERT_TRUE(sleeper.Start(BinPath(L"sleeper.exe"), L"2"));
  RunProcessPass();
  const int item = FindItem(list, sleeper.Id());
  ASSERT_GE(item, 0);
  EXPECT_EQ(L"0", ItemText(list, item, kColumnAffinity));
  EXPECT_EQ("0-1", LinuxCpusAllowed(sleeper));

  HWND menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN});  // Set Affinity, CPU2
  ASSERT_TRUE(WaitForMenuClosed());
  // The page runs the command once the menu has returned it.
  DWORD_PTR mask = 0, system = 0;
  EXPECT_TRUE(WaitUntil([&] { return GetProcessAffinityMask(sleeper.Process(), &mask, &system) && mask == 2; }));
  EXPECT_EQ("1", LinuxCpusAllowed(sleeper));  // Linux numbers processors from 0
  RunProcessPass();
  EXPECT_EQ(L"2", ItemText(list, item, kColumnAffinity));

  menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  EXPECT_TRUE(AffinityMarked(2));
  EXPECT_FALSE(AffinityMarked(0));
  Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN});  // Set Affinity, None
  ASSERT_TRUE(WaitForMenuClosed());
  EXPECT_TRUE(WaitUntil([&] { return LinuxCpusAllowed(sleeper) == "0-1"; }));
  RunProcessPass();
  EXPECT_EQ(L"0", ItemText(list, item, kColumnAffinity));
}

// sleeper.exe copied into the temporary folder under another name, so that
// a newcomer shows a name of its own; removed again at the end.
class SleeperCopy {
 public:
  explicit SleeperCopy(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + name;
    made_ = CopyFileW(BinPath(L"sleeper.exe").c_str(), path_.c_str(), FALSE) != FALSE;
  }
  ~SleeperCopy() { DeleteFileW(path_.c_str()); }
  bool Made() const { return made_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool made_;
};

HWND WarningBox(HWND page, DWORD ms = kWaitMs) {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindWindowW(L"#32770", L"Warning")) != nullptr && GetWindow(box, GW_OWNER) == page; },
            ms);
  return box;
}

// Chooses "Kill Process" in `menu`; returns the confirmation box, which must
// name `name`.
HWND ChooseKill(HWND page, HWND menu, const wchar_t* name) {
  if (menu == nullptr) return nullptr;
  Keys(menu, {VK_DOWN, VK_RETURN});
  HWND box = WarningBox(page);
  if (box == nullptr) return nullptr;
  EXPECT_EQ(name, WindowText(GetDlgItem(box, 0xFFFF)));
  EXPECT_TRUE(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) != nullptr);
  return box;
}

// Chooses "Kill Process" in `menu` and answers the confirmation, which must
// name `name`.
void Kill(HWND page, HWND menu, const wchar_t* name, int answer) {
  HWND box = ChooseKill(page, menu, name);
  ASSERT_NE(nullptr, box);
  SendMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
  EXPECT_TRUE(WaitForMenuClosed());
}

TEST(ProcessMenu, KillConfirmsAndActsOnTheProcessTheMenuOpenedOn) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  const SleeperCopy otherExe(L"other_sleeper.exe");
  ASSERT_TRUE(otherExe.Made());
  HelperProcess first, second;
  ASSERT_TRUE(first.Start(BinPath(L"sleeper.exe"), L"1"));
  RunProcessPass();
  const int item = FindItem(list, first.Id());
  ASSERT_GE(item, 0);

  Kill(page.Page(), OpenMenuOn(list, item), L"sleeper.exe", IDCANCEL);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first.Process(), 300));

  // While the menu is open the process exits and a pass gives its list item
  // to a newcomer: the kill still names the first and leaves the newcomer be.
  HWND menu = OpenMenuOn(list, item);
  ASSERT_EQ(kHelperExitCode, first.Exit());
  ASSERT_TRUE(second.Start(otherExe.Path(), L"1"));
  RunProcessPass();
  ASSERT_EQ(item, FindItem(list, second.Id()));
  Kill(page.Page(), menu, L"sleeper.exe", IDOK);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second.Process(), 300));

  Kill(page.Page(), OpenMenuOn(list, item), L"other_sleeper.exe", IDOK);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.Process(), kWaitMs));
  EXPECT_EQ(0u, second.ExitCode());
  RunProcessPass();
  EXPECT_EQ(-1, FindItem(list, second.Id()));
}

TEST(ProcessesPage, TheRunningMonitorListsTheLiveProcesses) {
  InProcessMonitor monitor;
  ASSERT_TRUE(StartInProcess(&monitor, L""));
  SendMessageW(monitor.sheet, PSM_SETCURSEL, 0, 0);
  HWND page = reinterpret_cast<HWND>(SendMessageW(monitor.sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  HWND list = GetDlgItem(page, IDC_PROCESS_LIST);
  const DWORD start = GetTickCount();
  while (FindItem(list, GetCurrentProcessId()) < 0 && GetTickCount() - start < 3 * kSamplePeriodMs) Sleep(50);
  const int self = FindItem(list, GetCurrentProcessId());
  ASSERT_GE(self, 0);
  EXPECT_EQ(L"wine_tests.exe", ItemText(list, self, kColumnName));

  uint32_t rows = 0;
  WithStateLock(&g_stateLock, [&] { rows = g_state.processTable.processCount; });
  EXPECT_EQ(static_cast<int>(rows), ItemCount(list));
  EXPECT_EQ(0u, CloseInProcess(&monitor));
}

// The process exits while its confirmation box is open and a newcomer takes
// its list item. The handle the menu opened still holds the exited process:
// its id names it and nothing else until the command is over, so it cannot
// have been given to the newcomer, and OK ends nobody.
TEST(ProcessMenu, KillConfirmedAfterTheProcessExitedEndsNobody) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  const SleeperCopy otherExe(L"idle_newcomer.exe");
  ASSERT_TRUE(otherExe.Made());
  IdleHelper first, second;
  ASSERT_TRUE(first.Start(BinPath(L"sleeper.exe")));
  const DWORD firstId = first.Id();
  RunProcessPass();
  const int item = FindItem(list, firstId);
  ASSERT_GE(item, 0);

  HWND box = ChooseKill(page.Page(), OpenMenuOn(list, item), L"sleeper.exe");
  ASSERT_NE(nullptr, box);
  first.End(5);  // this test's handle is closed too
  HANDLE byId = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, firstId);
  ASSERT_NE(nullptr, byId) << "the id no longer names the exited process";
  DWORD code = 0;
  GetExitCodeProcess(byId, &code);
  CloseHandle(byId);
  EXPECT_EQ(5u, code);
  ASSERT_TRUE(second.Start(otherExe.Path()));
  RunProcessPass();
  ASSERT_EQ(item, FindItem(list, second.Id()));

  SendMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
  SendMessageW(page.Page(), WM_NULL, 0, 0);  // the command is over
  EXPECT_TRUE(second.Running());
  // Released now: the id names nothing and may be given out again.
  EXPECT_TRUE(WaitUntil([&] {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, firstId);
    if (process != nullptr) CloseHandle(process);
    return process == nullptr;
  }));
  RunProcessPass();
  EXPECT_EQ(L"", ListDiffersFromTable(list));
  second.End(0);
}

// A process the monitor cannot open (its security descriptor lets others only
// wait for it): the menu opens with every command on it greyed, and leaves
// the process, the list and the page as they were. The next process's menu
// offers them again.
TEST(ProcessMenu, CommandsOnAProcessThatCannotBeOpenedAreGreyed) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  IdleHelper guarded;
  ASSERT_TRUE(guarded.Start(BinPath(L"sleeper.exe"), true));
  HelperProcess open;
  ASSERT_TRUE(open.Start(BinPath(L"sleeper.exe"), L"1"));
  RunProcessPass();
  const int item = FindItem(list, guarded.Id());
  ASSERT_GE(item, 0);

  HWND menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  for (UINT position = 0; position <= kMenuPositionAffinity; ++position) {
    EXPECT_TRUE(Greyed(g_state.contextMenu, position)) << position;
  }
  Keys(menu, {VK_ESCAPE});
  ASSERT_TRUE(WaitForMenuClosed());
  EXPECT_TRUE(guarded.Running());
  DWORD_PTR answer = 0;
  EXPECT_TRUE(SendMessageTimeoutW(page.Page(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &answer));
  RunProcessPass();
  EXPECT_EQ(item, FindItem(list, guarded.Id()));
  EXPECT_EQ(L"", ListDiffersFromTable(list));

  menu = OpenMenuOn(list, FindItem(list, open.Id()));
  ASSERT_NE(nullptr, menu);
  for (UINT position = 0; position <= kMenuPositionAffinity; ++position) {
    EXPECT_FALSE(Greyed(g_state.contextMenu, position)) << position;
  }
  Keys(menu, {VK_ESCAPE});
  ASSERT_TRUE(WaitForMenuClosed());
}

// TerminateProcess refused, as the platform refuses it for a process it will
// not end: after the confirmation a box on the page says so in the
// platform's words, and the process stays.
BOOL WINAPI RefuseTermination(HANDLE, UINT) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
extern "C" void* g_importTerminateProcess __asm__(IMPORT_SLOT(TerminateProcess, 8));

TEST(ProcessMenu, ARefusedKillShowsThePlatformsText) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess sleeper;
  ASSERT_TRUE(sleeper.Start(BinPath(L"sleeper.exe"), L"1"));
  RunProcessPass();
  const int item = FindItem(list, sleeper.Id());
  ASSERT_GE(item, 0);

  ImportPatch patch(&g_importTerminateProcess, reinterpret_cast<void*>(RefuseTermination));
  HWND box = ChooseKill(page.Page(), OpenMenuOn(list, item), L"sleeper.exe");
  ASSERT_NE(nullptr, box);
  SendMessageW(box, WM_COMMAND, IDOK, 0);
  HWND refusal = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    refusal = FindWindowW(L"#32770", L"Kill Process");
    return refusal != nullptr && GetWindow(refusal, GW_OWNER) == page.Page();
  }));
  wchar_t expected[256] = {};
  ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED,
                           0, expected, 256, nullptr),
            0u);
  EXPECT_EQ(expected, WindowText(GetDlgItem(refusal, 0xFFFF)));
  SendMessageW(refusal, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(sleeper.Process(), 0));
  RunProcessPass();
  EXPECT_EQ(item, FindItem(list, sleeper.Id()));
}

// A row whose affinity no item stands for (a processor above 4) shows no
// radio mark, not the mark of the row the menu opened on before.
TEST(ProcessMenu, AffinityAboveFourMarksNoItem) {
  BindProcessors(L"coredll_count2.dll");
  PageThread page;
  ASSERT_TRUE(page.Start());
  HWND list = page.List();
  HelperProcess sleeper;
  ASSERT_TRUE(sleeper.Start(BinPath(L"sleeper.exe"), L"1"));
  RunProcessPass();
  const int item = FindItem(list, sleeper.Id());
  ASSERT_GE(item, 0);
  HWND menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  EXPECT_TRUE(AffinityMarked(0));
  Keys(menu, {VK_ESCAPE});
  ASSERT_TRUE(WaitForMenuClosed());

  WithStateLock(&g_stateLock, [&] {
    g_state.processTable.rows[FindProcessRow(&g_state.processTable, sleeper.Id())].affinity = kMaxProcessors + 1;
  });
  menu = OpenMenuOn(list, item);
  ASSERT_NE(nullptr, menu);
  for (UINT position = 0; position <= kMaxProcessors; ++position) EXPECT_FALSE(AffinityMarked(position)) << position;
  Keys(menu, {VK_ESCAPE});
  ASSERT_TRUE(WaitForMenuClosed());
}

}  // namespace
