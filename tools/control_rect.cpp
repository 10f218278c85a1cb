// Prints where a control of the running monitor's active page lies within the
// sheet's window, as an ImageMagick crop geometry (WxH+X+Y): the run command
// uses it to compare screenshots area by area.
//   control_rect ID
#include <windows.h>
#include <prsht.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  HWND sheet = FindWindowW(nullptr, L"Selvane Monitor 1.2");
  if (sheet == nullptr) return 1;
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  HWND control = page != nullptr ? GetDlgItem(page, _wtoi(argv[1])) : nullptr;
  if (control == nullptr) return 1;
  RECT window, rect;
  GetWindowRect(sheet, &window);
  GetWindowRect(control, &rect);
  printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left - window.left,
         rect.top - window.top);
  return 0;
}
