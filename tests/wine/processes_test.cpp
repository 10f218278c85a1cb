// The Processes page: the process pass over real helper processes, and every
// command of the context menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "sampler/sampling_loop.h"
#include "standins/standin_counts.h"
#include "tests/wine/support.h"
#include "ui/processes/process_pass.h"

namespace {

// ---- The context menu, driven by a right press and keys ----

// Puts the cursor on `point` of `window`: a menu takes its position from the message's.
void MoveCursor(HWND window, POINT point) {
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
}

// A right press; the menu it opens, or null.
HWND PressAt(HWND window, POINT point, DWORD waitMs = kWaitMs) {
  MoveCursor(window, point);
  PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
  PostMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  WaitUntil([] { return VisibleMenu() != nullptr; }, waitMs);
  return VisibleMenu();
}

POINT ItemCentre(HWND list, int item) {
  RECT rect = {};
  ListView_GetItemRect(list, item, &rect, LVIR_BOUNDS);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND OpenMenuOn(HWND list, int item) { return PressAt(list, ItemCentre(list, item)); }

void Keys(HWND menu, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) PostMessageW(menu, WM_KEYDOWN, key, 0);
}

// The last keys of a choice: true once the menu has closed.
bool Choose(HWND menu, std::initializer_list<WPARAM> keys) {
  Keys(menu, keys);
  return WaitUntil([] { return VisibleMenu() == nullptr; });
}

bool Checked(HMENU menu, UINT position) { return (GetMenuState(menu, position, MF_BYPOSITION) & MF_CHECKED) != 0; }

// Message boxes the program asks for on the page's thread, answered without
// showing them; the test thread reads a box once the count says it is there.
struct AskedBox {
  HWND owner;
  std::wstring text, caption;
  UINT style;
};
AskedBox g_asked[4];
std::atomic<int> g_askedCount;
int g_answer;
int WINAPI AnswerBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  const int n = g_askedCount.load();
  if (n < 4) g_asked[n] = {owner, text, caption, style};
  g_askedCount.store(n + 1);
  return g_answer;
}
struct BoxAnswers {
  explicit BoxAnswers(int answer) {
    g_askedCount.store(0);
    g_answer = answer;
  }
  bool Asked(int count) const {
    return WaitUntil([=] { return g_askedCount.load() == count; });
  }
  ImportPatch patch{"MessageBoxW", reinterpret_cast<void*>(AnswerBox)};
};

// ---- The page over the platform as bound with `settings`, helpers listed ----

// The menus are driven by posted keys alone. A mouse move the system makes
// meanwhile (a window appearing or going under the pointer) would take the
// menu's selection off its item half-way through the keys: the menu loop's
// filter drops it.
LRESULT CALLBACK DropMenuMouseMoves(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_MENU && reinterpret_cast<const MSG*>(lParam)->message == WM_MOUSEMOVE) return TRUE;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct BoundPage : ProcessesPage {
  // The filter goes with the page's thread.
  explicit BoundPage(const char* settings = "") : ProcessesPage(settings) {
    SetWindowsHookExW(WH_MSGFILTER, DropMenuMouseMoves, nullptr, ThreadId());
  }
  // Starts `helper` with `arguments` and makes a pass: its item, or -1.
  int Listed(Helper* helper, const wchar_t* arguments) {
    if (!helper->Start(arguments)) return -1;
    RunProcessPass();
    return FindItem(List(), helper->Id());
  }
  // Passes until the thread list holds `count` threads; false if it never does.
  bool PassesUntilThreads(int count) {
    return WaitUntil([&] { return RunProcessPass(), ListView_GetItemCount(ThreadList()) == count; });
  }
};

// The mark of the item that shows `processId`.
uint32_t MarkOf(HWND list, DWORD processId) {
  LVITEMW record = {};
  record.mask = LVIF_PARAM;
  record.iItem = FindItem(list, processId);
  if (record.iItem < 0 || !ListView_GetItem(list, &record)) return kMarkNone;
  return ListedMark(nullptr, &g_state.processView, static_cast<uint32_t>(record.lParam));
}

std::wstring Text(HWND list, DWORD processId, int column) {
  const int item = FindItem(list, processId);
  return item < 0 ? L"(not listed)" : ItemText(list, item, column);
}

// A helper's name, ID text and threads as they change until it exits (the
// page no longer active: the list still follows it); a burner's share of the
// machine and its own CPU time, an idle helper's none; the memory a toucher
// touched.
TEST(ProcessPass, ListsRealProcessesAndTheirFiguresUntilTheyExit) {
  BoundPage page;
  ASSERT_EQ(2u, g_state.processorCount);
  HWND list = page.List();
  Helper idle, burner, toucher;
  ASSERT_TRUE(toucher.Start(L"touch 64"));
  ASSERT_TRUE(burner.Start(L"burn"));
  const std::string burnerOnHost = HostProcessId(burner.Tag());
  ASSERT_NE("", burnerOnHost) << "the burner's host process was not found";
  // Two passes a second apart, within the burner's 3 s on one of two processors.
  const int item = page.Listed(&idle, L"threads 3");
  ASSERT_GE(item, 0);
  EXPECT_EQ(L"worker.exe", ItemText(list, item, kColumnName));
  EXPECT_EQ(std::to_wstring(item), ItemText(list, item, kColumnId));
  EXPECT_EQ(L"3", ItemText(list, item, kColumnThreads));
  EXPECT_EQ(L"0", Text(list, burner.Id(), kColumnCpu));  // first seen
  // Its share is what the host gave it over the same second, of both
  // processors, however busy the host is otherwise.
  const long long ticksBefore = HostProcessTicks(burnerOnHost);
  const DWORD passBefore = GetTickCount();
  Sleep(kSamplePeriodMs);
  RunProcessPass();
  const double given = 100.0 * (HostProcessTicks(burnerOnHost) - ticksBefore) / kHostTicksPerSecond /
                       ((GetTickCount() - passBefore) / 1000.0) / 2;
  const int share = std::stoi(Text(list, burner.Id(), kColumnCpu));
  EXPECT_NEAR(given, share, 8.0);
  EXPECT_EQ(L"0", Text(list, idle.Id(), kColumnCpu));

  std::wstring memory = Text(list, toucher.Id(), kColumnMemUsage);
#ifdef SELVANE_DEVICE
  EXPECT_EQ(L"", memory);  // the device's toolhelp record carries no memory figure
#else
  ASSERT_EQ(L" K", memory.substr(memory.size() - 2));
  memory.erase(std::remove(memory.begin(), memory.end(), L','), memory.end());
  EXPECT_GE(std::stoll(memory), 64000);
#endif

  // Once it has stopped, its CPU Time ("h:mm:ss") is the time it counted itself.
  const unsigned long long own = std::stoull(burner.ReadLine());
  ASSERT_TRUE(idle.More());  // one of its threads exits
  RunProcessPass();
  unsigned hours = 9, minutes = 9, seconds = 9;
  ASSERT_EQ(3, swscanf(Text(list, burner.Id(), kColumnCpuTime).c_str(), L"%u:%2u:%2u", &hours, &minutes, &seconds));
  EXPECT_NEAR(static_cast<double>(own / kTicksPerSecond), hours * 3600.0 + minutes * 60 + seconds, 1.0);
  EXPECT_EQ(L"2", Text(list, idle.Id(), kColumnThreads));

  // Once it has exited its item stays a while, marked ended, then goes.
  StoreShared(&g_state.processesPage, nullptr);
  ASSERT_EQ(kHelperExitCode, idle.Exit());
  RunProcessPass();
  EXPECT_EQ(static_cast<uint32_t>(kMarkEnded), MarkOf(list, idle.Id()));
  Sleep(kEndedRowMs);
  RunProcessPass();
  EXPECT_EQ(-1, FindItem(list, idle.Id()));
  EXPECT_EQ("", ListDiffersFromTable(list));
}

// A header click shows in the list at once, while the sampling thread's wait
// for its next cycle goes on for its whole second; the end of a pause wakes
// it too.
TEST(ListRefresh, AHeaderClickShowsAtOnceAndTheCycleKeepsItsSecond) {
  BoundPage page;
  HWND list = page.List();
  RunProcessPass();
  std::vector<unsigned long> ids = Pids(list);
  ASSERT_FALSE(std::is_sorted(ids.rbegin(), ids.rend()));
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  StoreShared(&g_state.listsWake, wake);
  StoreShared(&g_state.processesPage, page.Page());
  const DWORD start = GetTickCount();
  std::atomic<DWORD> waitedMs{0};
  std::thread waiter([&] {
    WaitForNextCycle();
    waitedMs = std::max<DWORD>(1, GetTickCount() - start);
  });
  NMLISTVIEW click = {{list, IDC_PROCESS_LIST, static_cast<UINT>(LVN_COLUMNCLICK)}, -1, kColumnPid, 0, 0, 0, {}, 0};
  for (int i = 0; i < 2; ++i) SendMessageW(page.Page(), WM_NOTIFY, IDC_PROCESS_LIST, reinterpret_cast<LPARAM>(&click));
  EXPECT_TRUE(WaitUntil([&] { return ids = Pids(list), std::is_sorted(ids.rbegin(), ids.rend()); }, kSamplePeriodMs / 2));
  EXPECT_EQ(0u, waitedMs.load()) << "the list was sorted only once the wait had ended";
  waiter.join();
  EXPECT_GE(waitedMs.load(), kSamplePeriodMs);

  ResetEvent(wake);
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);  // paused: nothing to show
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(wake, 0));
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(wake, 0));
  StoreShared(&g_state.processesPage, nullptr);
  StoreShared(&g_state.listsWake, nullptr);
  CloseHandle(wake);
}

TEST(ShowThreads, ListsExactlyTheHelpersThreads) {
#ifdef SELVANE_DEVICE
  BoundPage page("thread-rights");  // a thread's handle does only what it was opened for
#else
  BoundPage page;
#endif
  Helper worker;
  const int item = page.Listed(&worker, L"threads 3");
  std::istringstream line(worker.ReadLine());
  std::vector<std::wstring> expected;
  for (DWORD id = 0; line >> id;) expected.push_back(Hex8(id));
  ASSERT_EQ(3u, expected.size());
  ASSERT_TRUE(Choose(OpenMenuOn(page.List(), item), {VK_DOWN, VK_DOWN, VK_RETURN}));  // Show Threads
  // The page hands the process over once the menu has returned: the next pass lists its threads.
  ASSERT_TRUE(page.PassesUntilThreads(3));
  std::vector<std::wstring> shown;
  for (int i = 0; i < ListView_GetItemCount(page.ThreadList()); ++i) {
    shown.push_back(ItemText(page.ThreadList(), i, kThreadColumnTid));
#ifdef SELVANE_DEVICE
    EXPECT_EQ(L"251", ItemText(page.ThreadList(), i, kThreadColumnPriority));  // the device's level of a normal thread
#else
    EXPECT_EQ(L"0", ItemText(page.ThreadList(), i, kThreadColumnPriority));
#endif
    for (int column : {kThreadColumnCpu, kThreadColumnAffinity}) {  // idle, no affinity set
      EXPECT_EQ(L"0", ItemText(page.ThreadList(), i, column));
    }
  }
  std::sort(expected.begin(), expected.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(expected, shown);
}

TEST(SetPriority, HighAndLowSetTheClassTheMenuMarksItAndDismissingChangesNothing) {
#ifdef SELVANE_DEVICE
  GTEST_SKIP() << "the device has no priority classes (DeviceCommands.SetPriorityLevelsMarks...)";
#endif
  BoundPage page("processors=1");
  Helper sleeper;
  const int item = page.Listed(&sleeper, L"threads 1");
  HMENU priority = GetSubMenu(g_state.contextMenu, kMenuPositionPriority);
  const struct {
    uint32_t marked;
    std::initializer_list<WPARAM> keys;
    DWORD after;
  } steps[] = {{kPriorityNormal, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, HIGH_PRIORITY_CLASS},
               {kPriorityHigh, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN}, IDLE_PRIORITY_CLASS},
               {kPriorityLow, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}, IDLE_PRIORITY_CLASS}};
  for (const auto& step : steps) {
    HWND menu = OpenMenuOn(page.List(), item);
    ASSERT_NE(nullptr, menu);
    for (uint32_t level = 0; level < kPriorityLevelCount; ++level)
      EXPECT_EQ(level == step.marked, Checked(priority, level));
    ASSERT_TRUE(Choose(menu, step.keys));
    EXPECT_TRUE(WaitUntil([&] { return GetPriorityClass(sleeper.Process()) == step.after; }));
  }
}

DWORD_PTR AffinityMask(const Child& process) {
  DWORD_PTR mask = 0, system = 0;
  GetProcessAffinityMask(process.Process(), &mask, &system);
  return mask;
}

const std::initializer_list<WPARAM> kToAffinity = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT};

void ChooseAffinity(HWND list, int item, int downs) {
  HWND menu = OpenMenuOn(list, item);
  Keys(menu, kToAffinity);
  for (int i = 0; i < downs; ++i) Keys(menu, {VK_DOWN});
  Choose(menu, {VK_RETURN});
}

// "CPU2" binds the process to the second processor, the next pass shows it and
// the next menu marks it; "None" releases it; a row above 4 marks nothing;
// "CPU4", which this machine refuses, says so.
TEST(SetAffinity, BindsReleasesAndSaysWhenRefused) {
  DWORD_PTR own = 0, host = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &own, &host);
  if ((host & 2) == 0) GTEST_SKIP() << "the host offers no second processor to bind to";
  // Every box answered from the start, so that an unexpected refusal fails
  // the test instead of waiting for a click.
  BoxAnswers boxes(IDOK);
  BoundPage page("processors=4");
  Helper sleeper;
  const int item = page.Listed(&sleeper, L"threads 2");
  EXPECT_EQ(L"0", ItemText(page.List(), item, kColumnAffinity));
  ChooseAffinity(page.List(), item, 2);
  EXPECT_TRUE(WaitUntil([&] { return AffinityMask(sleeper) == 2; }));
  RunProcessPass();
  EXPECT_EQ(L"2", ItemText(page.List(), item, kColumnAffinity));
  const auto marksOnOpening = [&](int marked) {
    const bool opened = OpenMenuOn(page.List(), item) != nullptr;
    bool marks = true;  // `marked` only
    for (UINT at = 0; at <= kMaxProcessors; ++at) {
      marks &= Checked(g_state.affinityMenu, at) == (at == static_cast<UINT>(marked));
    }
    return CloseMenu() && opened && marks;
  };
  EXPECT_TRUE(marksOnOpening(2));
  EnterStateLock(&g_stateLock);
  g_state.processTable.rows[FindProcessRow(&g_state.processTable, sleeper.Id())].affinity = kMaxProcessors + 1;
  LeaveStateLock(&g_stateLock);
  EXPECT_TRUE(marksOnOpening(-1));
  ChooseAffinity(page.List(), item, 0);
  EXPECT_TRUE(WaitUntil([&] { return AffinityMask(sleeper) == 3; }));

  EXPECT_EQ(0, g_askedCount.load());
  ChooseAffinity(page.List(), item, 4);
  ASSERT_TRUE(boxes.Asked(1));
  EXPECT_EQ(L"Set Affinity", g_asked[0].caption);
  EXPECT_EQ(page.Page(), g_asked[0].owner);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), g_asked[0].style);
}

// The menu opens on the process list's items only: not below them, not on
// the thread list; tap-and-hold opens it too.
TEST(ProcessMenu, OpensOnTheProcessListsItemsOnly) {
  BoundPage page;
  RunProcessPass();
  const POINT last = ItemCentre(page.List(), ListView_GetItemCount(page.List()) - 1);
  EXPECT_EQ(nullptr, PressAt(page.List(), {20, last.y + 40}, 300));
  EXPECT_EQ(nullptr, PressAt(page.ThreadList(), {20, 20}, 300));
  // A tap-and-hold names the place of the message that brought it: item 0.
  MoveCursor(page.List(), ItemCentre(page.List(), 0));
  static NMHDR gesture;
  gesture = NMHDR{page.List(), IDC_PROCESS_LIST, kGestureContextMenu};
  PostMessageW(page.Page(), WM_NOTIFY, IDC_PROCESS_LIST, reinterpret_cast<LPARAM>(&gesture));
  EXPECT_TRUE(WaitUntil([] { return VisibleMenu() != nullptr; }));
  EXPECT_TRUE(CloseMenu());
}

void ChooseKill(HWND list, int item) { Choose(OpenMenuOn(list, item), {VK_DOWN, VK_RETURN}); }

// The confirmation names the process alone, as a question with OK and
// Cancel; Cancel leaves it, OK ends it with exit code 0 and the next pass
// marks its row ended. A process that exits while its menu is open: the kill
// still names it and ends nobody, and a command on its row, still shown,
// says that it has ended and ends nobody either.
TEST(KillProcess, ConfirmsAndEndsTheProcessTheMenuOpenedOn) {
  BoundPage page;
  HWND list = page.List();
  Helper first, second;
  const int item = page.Listed(&first, L"threads 1");
  {
    BoxAnswers boxes(IDCANCEL);
    ChooseKill(list, item);
    ASSERT_TRUE(boxes.Asked(1));
    const AskedBox asked = g_asked[0];
    EXPECT_EQ(page.Page(), asked.owner);
    EXPECT_EQ(L"worker.exe", asked.text);
    EXPECT_EQ(L"Warning", asked.caption);
    EXPECT_EQ(0x21u, asked.style);  // MB_OKCANCEL | MB_ICONQUESTION
  }
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(first.Process(), 300));

  HWND menu = OpenMenuOn(list, item);
  ASSERT_EQ(kHelperExitCode, first.Exit());
  const int newcomer = page.Listed(&second, L"threads 1");
  ASSERT_GE(newcomer, 0);
  EXPECT_EQ(item, FindItem(list, first.Id()));
  {
    BoxAnswers boxes(IDOK);
    ASSERT_TRUE(Choose(menu, {VK_DOWN, VK_RETURN}));
    EXPECT_TRUE(boxes.Asked(1));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(second.Process(), 300));
    ChooseKill(list, item);
    ASSERT_TRUE(boxes.Asked(2));
    EXPECT_EQ(L"worker.exe has ended: nothing was done.", g_asked[1].text);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(second.Process(), 300));
    ChooseKill(list, newcomer);
    EXPECT_TRUE(WaitUntil([&] { return !second.Running(); }));
  }
  EXPECT_EQ(0u, second.Wait());
  RunProcessPass();
  EXPECT_EQ(static_cast<uint32_t>(kMarkEnded), MarkOf(list, second.Id()));
}

BOOL WINAPI RefuseTermination(HANDLE, UINT) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

// A process the monitor cannot open: affinity 0 whatever its binding, its
// commands greyed and the next process's not. A kill the platform refuses:
// a box in its words.
TEST(KillProcess, CommandsThatCannotActSaySo) {
  BoundPage page;
  HWND list = page.List();
  Helper guarded, open;
  ASSERT_TRUE(guarded.Start(L"threads 1", true));
  ASSERT_TRUE(SetProcessAffinityMask(guarded.Process(), 2));  // through its creator's handle
  ASSERT_GE(page.Listed(&open, L"threads 1"), 0);
  EXPECT_EQ(L"0", ItemText(list, FindItem(list, guarded.Id()), kColumnAffinity));
  for (const Helper* helper : {&guarded, &open}) {
    ASSERT_NE(nullptr, OpenMenuOn(list, FindItem(list, helper->Id())));
    for (UINT position = 0; position <= kMenuPositionAffinity; ++position) {
      EXPECT_EQ(helper == &guarded, Greyed(g_state.contextMenu, position)) << position;
    }
    ASSERT_TRUE(CloseMenu());
  }
  EXPECT_TRUE(guarded.Running());

  ImportPatch refuse("TerminateProcess", reinterpret_cast<void*>(RefuseTermination));
  BoxAnswers boxes(IDOK);
  ChooseKill(list, FindItem(list, open.Id()));
  ASSERT_TRUE(boxes.Asked(2));
  wchar_t expected[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, expected,
                 256, nullptr);
  EXPECT_EQ(L"Kill Process", g_asked[1].caption);
  EXPECT_EQ(expected, g_asked[1].text);
  EXPECT_TRUE(open.Running());
  RunProcessPass();
  EXPECT_EQ("", ListDiffersFromTable(list));
}

#ifdef SELVANE_DEVICE
// ---- The device's commands: what each opens, asks for and sets ----

// The rights the program asks for, at its imports: every right asked for, or-ed.
ImportPatch* g_openPatches[2];
DWORD g_processRights, g_threadRights;
HANDLE WINAPI NoteOpenProcess(DWORD access, BOOL inherit, DWORD id) {
  g_processRights |= access;
  return reinterpret_cast<decltype(&OpenProcess)>(g_openPatches[0]->Original())(access, inherit, id);
}
HANDLE WINAPI NoteOpenThread(DWORD access, BOOL inherit, DWORD id) {
  g_threadRights |= access;
  return reinterpret_cast<decltype(&OpenThread)>(g_openPatches[1]->Original())(access, inherit, id);
}

int Level(DWORD threadId) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
  const int level = CeGetThreadPriority(thread);
  CloseHandle(thread);
  return level;
}

void SetLevel(DWORD threadId, int level) {
  HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, threadId);
  ASSERT_TRUE(CeSetThreadPriority(thread, level));
  CloseHandle(thread);
}

// Each command, many times over, on a helper of two threads: what it opens
// (one process handle at the menu, a snapshot and one handle a thread to read
// the level, again to set one) it closes, and it asks the device only for
// the rights it may: no process right (not supported, set to zero), a
// thread's query right to read and its set right to set. The stand-in grants
// a thread handle only what was asked (`thread-rights`).
TEST(DeviceCommands, EachCommandClosesWhatItOpensAndAsksOnlyForItsRights) {
  BoundPage page("processors=2 thread-rights");
  Helper worker;
  const int item = page.Listed(&worker, L"threads 2");
  ASSERT_GE(item, 0);
  std::istringstream line(worker.ReadLine());
  DWORD first = 0, second = 0;
  ASSERT_TRUE(line >> first >> second);
  SetLevel(first, 250);
  ASSERT_NE(nullptr, OpenMenuOn(page.List(), item));  // the first menu's own objects, made once
  ASSERT_TRUE(CloseMenu());
  SendMessageW(page.Page(), WM_NULL, 0, 0);
  const ULONG handlesBefore = KernelHandleCount(GetCurrentProcessId());
  const int kRepeats = 6;
  const struct {
    const char* name;
    std::initializer_list<WPARAM> keys;
    uint32_t snapshots, threadHandles;  // each time
    DWORD threadRights;
  } commands[] = {
      {"Kill, cancelled", {VK_DOWN, VK_RETURN}, 1, 2, THREAD_QUERY_INFORMATION},
      {"Set Priority Normal", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}, 2, 4,
       THREAD_QUERY_INFORMATION | THREAD_SET_INFORMATION},
      {"Set Affinity CPU1", {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}, 1, 2,
       THREAD_QUERY_INFORMATION},
      {"Dismissed", {VK_ESCAPE}, 1, 2, THREAD_QUERY_INFORMATION},
  };
  ImportPatch processes("OpenProcess", reinterpret_cast<void*>(NoteOpenProcess));
  ImportPatch threads("OpenThread", reinterpret_cast<void*>(NoteOpenThread));
  g_openPatches[0] = &processes;
  g_openPatches[1] = &threads;
  for (const auto& command : commands) {
    BoxAnswers boxes(IDCANCEL);
    TakeStandinCounts();
    g_processRights = g_threadRights = 0;
    for (int i = 0; i < kRepeats; ++i) {
      ASSERT_TRUE(Choose(OpenMenuOn(page.List(), item), command.keys)) << command.name;
      SendMessageW(page.Page(), WM_NULL, 0, 0);  // the page's thread has carried the command out
    }
    const StandinCounts counts = TakeStandinCounts();
    EXPECT_EQ(kRepeats * command.snapshots, counts.snapshots) << command.name;
    EXPECT_EQ(static_cast<uint32_t>(kRepeats), counts.processHandles) << command.name;
    EXPECT_EQ(kRepeats * command.threadHandles, counts.threadHandles) << command.name;
    EXPECT_EQ(counts.processHandles + counts.threadHandles, counts.handlesClosed) << command.name;
    EXPECT_EQ(0u, g_processRights) << command.name;
    EXPECT_EQ(command.threadRights, g_threadRights) << command.name;
    EXPECT_EQ(0, g_askedCount.load() - (std::string(command.name) == "Kill, cancelled" ? kRepeats : 0))
        << command.name << ": no refusal";
  }
  EXPECT_EQ(251, Level(first));  // the set went through with the rights it asked for
  EXPECT_EQ(251, Level(second));

  // Show Threads keeps its handle until the thread list lets the process go:
  // each choice hands one over, a pass takes it and closes the one before.
  TakeStandinCounts();
  for (int i = 0; i < kRepeats; ++i) {
    ASSERT_TRUE(Choose(OpenMenuOn(page.List(), item), {VK_DOWN, VK_DOWN, VK_RETURN}));
    SendMessageW(page.Page(), WM_NULL, 0, 0);
    ASSERT_TRUE(page.PassesUntilThreads(2));
  }
  ASSERT_EQ(kHelperExitCode, worker.Exit());
  RunProcessPass();  // the process has exited: its handle goes
  const StandinCounts counts = TakeStandinCounts();
  EXPECT_EQ(counts.processHandles + counts.threadHandles, counts.handlesClosed);
  EXPECT_EQ(handlesBefore, KernelHandleCount(GetCurrentProcessId()));
}

// High, Normal and Low set levels 249, 251 and 255 on every application
// thread (248-255), the menu marks the level they share, and a thread one
// level above the legacy range (247) is left and counted; a thread at either
// edge of the range (248, 255) moves.
TEST(DeviceCommands, SetPriorityLevelsMarksAndTheLegacyRangesEdges) {
  BoundPage page("processors=1 thread-rights");
  Helper worker;
  const int item = page.Listed(&worker, L"threads 3");
  std::istringstream line(worker.ReadLine());
  DWORD top = 0, bottom = 0, realTime = 0;
  ASSERT_TRUE(line >> top >> bottom >> realTime);
  SetLevel(top, 248);
  SetLevel(bottom, 255);
  SetLevel(realTime, 247);
  HMENU priority = GetSubMenu(g_state.contextMenu, kMenuPositionPriority);
  const struct {
    uint32_t chosen;
    int level;
  } steps[] = {{kPriorityNormal, 251}, {kPriorityHigh, 249}, {kPriorityLow, 255}};  // NORMAL, HIGHEST, IDLE
  uint32_t marked = kPriorityUnknown;  // 248 and 255 differ: no mark
  for (const auto& step : steps) {
    BoxAnswers boxes(IDOK);
    HWND menu = OpenMenuOn(page.List(), item);
    ASSERT_NE(nullptr, menu);
    for (uint32_t level = 0; level < kPriorityLevelCount; ++level) {
      EXPECT_EQ(level == marked, Checked(priority, level)) << step.level << " " << level;
    }
    Keys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT});
    for (uint32_t i = 0; i < step.chosen; ++i) Keys(menu, {VK_DOWN});
    ASSERT_TRUE(Choose(menu, {VK_RETURN}));
    ASSERT_TRUE(boxes.Asked(1));
    EXPECT_EQ(L"1 thread(s) at a real-time priority kept their level.", g_asked[0].text);
    EXPECT_EQ(L"Set Priority", g_asked[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), g_asked[0].style);
    EXPECT_EQ(step.level, Level(top));
    EXPECT_EQ(step.level, Level(bottom));
    EXPECT_EQ(247, Level(realTime));
    marked = step.chosen;
  }
  ASSERT_NE(nullptr, OpenMenuOn(page.List(), item));
  for (uint32_t level = 0; level < kPriorityLevelCount; ++level) EXPECT_EQ(level == marked, Checked(priority, level));
  EXPECT_TRUE(CloseMenu());
}
#endif

}  // namespace
