// Drives the running monitor's sheet from outside; used by the run command
// for its screenshots and by the package test.
//   sheet_control select N   show page N (0 Processes, 1 Performance)
//   sheet_control close      close the sheet
//   sheet_control probe MS   wait up to MS ms for the status text, then print
//                            "status: <text>" and "process-columns: <n>"
//   sheet_control taskmgr N  show tab N of Wine's Task Manager (1 Processes,
//                            2 Performance), for the overhead bench
//   sheet_control dfs MHZ    on the Performance page as a user would: tick
//                            "Disable DFS" (when it is not) and set the CPU
//                            to MHZ (the screenshots' event marks)
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cwchar>

static const int kStatusText = 4001;
static const int kProcessList = 1023;
static const int kDisableDfs = 4002;
static const int kSetTarget = 4003;
static const int kDomainList = 4004;
static const int kTargetMhz = 4005;

static int StopAndTarget(HWND sheet, const wchar_t* mhz) {
  HWND performance = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0));
  if (performance == nullptr) return 1;
  if (SendDlgItemMessageW(performance, kDisableDfs, BM_GETCHECK, 0, 0) != BST_CHECKED) {
    SendMessageW(GetDlgItem(performance, kDisableDfs), BM_CLICK, 0, 0);
  }
  SendDlgItemMessageW(performance, kDomainList, CB_SETCURSEL, 0, 0);
  SetDlgItemTextW(performance, kTargetMhz, mhz);
  SendMessageW(GetDlgItem(performance, kSetTarget), BM_CLICK, 0, 0);
  return 0;
}

static HWND FindSheet() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    HWND sheet = FindWindowW(nullptr, L"Selvane Monitor 1.2");
    if (sheet != nullptr) return sheet;
    Sleep(100);
  }
  return nullptr;
}

static int Probe(HWND sheet, DWORD waitMs) {
  HWND performance = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0));
  wchar_t status[512] = {};
  const DWORD start = GetTickCount();
  do {
    GetDlgItemTextW(performance, kStatusText, status, 512);
    if (status[0] != L'\0') break;
    Sleep(100);
  } while (GetTickCount() - start < waitMs);
  for (wchar_t* c = status; *c != L'\0'; ++c) {
    if (*c == L'\r' || *c == L'\n' || *c == L'\t') *c = L' ';
  }
  SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
  HWND processes = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendDlgItemMessageW(processes, kProcessList, LVM_GETHEADER, 0, 0));
  const LRESULT columns = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
  wprintf(L"status: %ls\nprocess-columns: %d\n", status, static_cast<int>(columns));
  fflush(stdout);
  return 0;
}

static BOOL CALLBACK FindTabs(HWND window, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (wcscmp(name, L"SysTabControl32") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Its tab control takes the tab as a click would: the Task Manager hears of it.
static int SelectTaskManagerTab(int tab) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    HWND manager = FindWindowW(nullptr, L"Task Manager");
    HWND tabs = nullptr;
    if (manager != nullptr) EnumChildWindows(manager, FindTabs, reinterpret_cast<LPARAM>(&tabs));
    if (tabs != nullptr) {
      SendMessageW(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(tab), 0);
      return SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == tab ? 0 : 1;
    }
    Sleep(100);
  }
  return 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && wcscmp(argv[1], L"taskmgr") == 0) return SelectTaskManagerTab(_wtoi(argv[2]));
  HWND sheet = FindSheet();
  if (sheet == nullptr || argc < 2) return 1;
  if (wcscmp(argv[1], L"select") == 0 && argc == 3) {
    SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(_wtoi(argv[2])), 0);
    return 0;
  }
  if (wcscmp(argv[1], L"close") == 0) {
    PostMessageW(sheet, WM_CLOSE, 0, 0);
    return 0;
  }
  if (wcscmp(argv[1], L"probe") == 0 && argc == 3) return Probe(sheet, static_cast<DWORD>(_wtoi(argv[2])));
  if (wcscmp(argv[1], L"dfs") == 0 && argc == 3) return StopAndTarget(sheet, argv[2]);
  return 1;
}
