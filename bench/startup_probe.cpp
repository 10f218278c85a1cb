// Start-up time to the first painted CPU gauge. This program is the monitor
// itself (its entry calls RunMonitor, as the monitor's does) plus one watch
// thread, started first, that reads the CPU gauge's pixels through the
// control's own DC every millisecond until its bars appear. Another process
// cannot read them: under Wine's headless driver a window's pixels live in
// the process that owns it. Prints
//   since-creation-ms  from the process's creation (GetProcessTimes)
//   paint-unix-us      the wall-clock time of the paint, for the caller's own start time
//   entry-ms, sheet-ms the program's entry and the sheet's window, from creation
// then closes the sheet.
#include <cstdio>
#include <cstring>

#include "app/monitor.h"
#include "app/monitor_state.h"

namespace {

constexpr DWORD kPollMs = 1;
constexpr DWORD kGiveUpMs = 10000;
constexpr ULONGLONG kUnixEpochIn100ns = 116444736000000000ull;  // 1601 to 1970
constexpr ULONGLONG kHundredNsPerMicrosecond = 10;
constexpr double kHundredNsPerMs = 10000.0;

HWND g_gauge;
ULONGLONG g_entry;  // when the program's entry ran

BOOL CALLBACK FindGauge(HWND window, LPARAM) {
  wchar_t className[16];
  GetClassNameW(window, className, 16);
  if (GetDlgCtrlID(window) == IDC_CPU_GAUGE && lstrcmpiW(className, L"Static") == 0) {
    g_gauge = window;
    return FALSE;
  }
  return TRUE;
}

// True once the gauge shows a bar: a pixel in the trough's or the level's colour.
bool GaugePainted(HWND gauge) {
  RECT client;
  GetClientRect(gauge, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(gauge);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  bool painted = false;
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  for (int i = 0; bits != nullptr && i < width * height && !painted; ++i) {
    // A DIB holds 0x00RRGGBB; both colours are pure green, the same either way.
    const uint32_t colour = pixels[i] & 0x00FFFFFFu;
    painted = colour == kColourTrough || colour == kColourLevel;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(gauge, screen);
  return painted;
}

ULONGLONG Now100ns() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

ULONGLONG CreationTime() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

double MsSince(ULONGLONG from, ULONGLONG to) { return static_cast<double>(to - from) / kHundredNsPerMs; }

DWORD WINAPI Watch(LPVOID) {
  const DWORD start = GetTickCount();
  HWND sheet = nullptr;
  ULONGLONG sheetSeen = 0;
  while (GetTickCount() - start < kGiveUpMs) {
    if (sheet == nullptr) {
      HWND found = FindWindowW(nullptr, SELVANE_CAPTION);
      DWORD owner = 0;
      if (found != nullptr) GetWindowThreadProcessId(found, &owner);
      if (owner == GetCurrentProcessId()) {
        sheet = found;
        sheetSeen = Now100ns();
      }
    }
    if (sheet != nullptr && g_gauge == nullptr) EnumChildWindows(sheet, FindGauge, 0);
    if (g_gauge != nullptr && GaugePainted(g_gauge)) {
      const ULONGLONG painted = Now100ns();
      const ULONGLONG creation = CreationTime();
      std::printf("since-creation-ms %.1f\nentry-ms %.1f\nsheet-ms %.1f\npaint-unix-us %llu\n",
                  MsSince(creation, painted), MsSince(creation, g_entry), MsSince(creation, sheetSeen),
                  (painted - kUnixEpochIn100ns) / kHundredNsPerMicrosecond);
      std::fflush(stdout);
      break;
    }
    Sleep(kPollMs);
  }
  if (sheet != nullptr) PostMessageW(sheet, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  g_entry = Now100ns();
  HANDLE watch = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
  if (watch != nullptr) CloseHandle(watch);
  return RunMonitor(instance, commandLine);
}
