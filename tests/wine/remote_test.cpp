// The remote endpoint's start-up: Winsock loaded by name only with /r, and a
// monitor that carries on with one line when the port or the library is bad.
// What the endpoint serves is checked from outside (tests/remote/).
#include <gtest/gtest.h>

#include <string>

#include "app/monitor.h"
#include "tests/wine/support.h"

#include <psapi.h>

namespace {

bool HasModule(HANDLE process, const wchar_t* name) {
  HMODULE modules[256];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return false;
  for (DWORD i = 0; i < bytes / sizeof modules[0] && i < 256; ++i) {
    wchar_t found[MAX_PATH];
    if (GetModuleBaseNameW(process, modules[i], found, MAX_PATH) > 0 && _wcsicmp(found, name) == 0) return true;
  }
  return false;
}

TEST(RemoteOption, WinsockIsLoadedOnlyWithR) {
  for (const bool remote : {false, true}) {
    Child child;
    ASSERT_TRUE(child.Start(L"\"" + BinPath(L"selvane-monitor.exe") + (remote ? L"\" /l /r9319" : L"\" /l")));
    EXPECT_EQ(0u, child.ReadLine().find("seconds,"));  // the record's header: start-up is over
    EXPECT_EQ(remote, HasModule(child.Process(), L"ws2_32.dll"));
    TerminateProcess(child.Process(), 0);
  }
}

HMODULE(WINAPI* g_loadLibrary)(LPCWSTR);
HMODULE WINAPI LoadWithoutNetworking(LPCWSTR name) {
  return _wcsicmp(name, L"ws2_32.dll") == 0 ? nullptr : g_loadLibrary(name);
}

TEST(RemoteOption, ABadPortOrNoNetworkingIsOneLineAndTheMonitorCarriesOn) {
  {
    StdoutCapture capture;
    for (const wchar_t* option : {L"/r0", L"/r65536", L"/r12ab"}) {
      std::wstring line(option);
      ParseOptions(&line[0]);
      EXPECT_EQ(0u, g_state.remotePort) << option;
    }
    const std::string badPort =
        "remote: /r takes a port from 1 to 65535 right after the letter, as /r9231; the endpoint is off\r\n";
    EXPECT_EQ(badPort + badPort + badPort, capture.Text());
  }

  // A module image without networking: the library does not load.
  ImportPatch patch("LoadLibraryW", reinterpret_cast<void*>(LoadWithoutNetworking));
  g_loadLibrary = reinterpret_cast<HMODULE(WINAPI*)(LPCWSTR)>(patch.Original());
  StdoutCapture capture;
  InProcessMonitor monitor;
  ASSERT_TRUE(monitor.Start(L"/r /l"));
  Sleep(kSamplePeriodMs + kSamplePeriodMs / 2);
  EXPECT_EQ(0u, monitor.Close());
  const std::string output = capture.Text();
  EXPECT_EQ(0u, output.find("remote: no networking library (ws2_32.dll); the endpoint is off\r\nseconds,")) << output;
  EXPECT_LT(output.find(",events\r\n") + 9, output.size()) << output;  // a cycle's line after the header
}

}  // namespace
