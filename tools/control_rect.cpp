// Prints where a control of the running monitor's active page lies within the
// sheet's window, as an ImageMagick crop geometry (WxH+X+Y): the run command
// uses it to compare screenshots area by area. With a column, the screen
// point ("X Y") at the middle of that column's header in list view ID, where
// the run command clicks to sort the process list.
//   control_rect ID [COLUMN]
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cwchar>

// Only messages without pointers: they cross into the monitor's process.
static int PrintHeaderPoint(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT rect;
  if (header == nullptr || !GetWindowRect(header, &rect)) return 1;
  long x = rect.left;
  for (int c = 0; c < column; ++c) x += static_cast<long>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
  x += static_cast<long>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2;
  printf("%ld %ld\n", x, (rect.top + rect.bottom) / 2);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 3) return 1;
  HWND sheet = FindWindowW(nullptr, L"Selvane Monitor 1.2");
  if (sheet == nullptr) return 1;
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  HWND control = page != nullptr ? GetDlgItem(page, _wtoi(argv[1])) : nullptr;
  if (control == nullptr) return 1;
  if (argc == 3) return PrintHeaderPoint(control, _wtoi(argv[2]));
  RECT window, rect;
  GetWindowRect(sheet, &window);
  GetWindowRect(control, &rect);
  printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left - window.left,
         rect.top - window.top);
  return 0;
}
