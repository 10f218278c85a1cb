// Drives the running monitor's sheet from outside: used by the run command
// for its screenshots.
//   sheet_control select N   show page N (0 Processes, 1 Performance)
//   sheet_control close      close the sheet
#include <windows.h>
#include <prsht.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  HWND sheet = nullptr;
  for (int attempt = 0; attempt < 100 && sheet == nullptr; ++attempt) {
    sheet = FindWindowW(nullptr, L"Selvane Monitor 1.2");
    if (sheet == nullptr) Sleep(100);
  }
  if (sheet == nullptr || argc < 2) return 1;
  if (wcscmp(argv[1], L"select") == 0 && argc == 3) {
    SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(_wtoi(argv[2])), 0);
    return 0;
  }
  if (wcscmp(argv[1], L"close") == 0) {
    PostMessageW(sheet, WM_CLOSE, 0, 0);
    return 0;
  }
  return 1;
}
