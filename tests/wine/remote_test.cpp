// The remote endpoint's start-up: Winsock loaded by name only with /r, and a
// monitor that carries on with one line when the port or the library is bad.
// What the endpoint serves is checked from outside (tests/remote/); the ten
// minutes of the record, which a run would take ten minutes to fill, here.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "app/monitor.h"
#include "remote/http_server.h"
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

unsigned short FreePort();

TEST(RemoteOption, WinsockIsLoadedOnlyWithR) {
  WSADATA data;
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
  for (const bool remote : {false, true}) {
    Child child;
    const std::wstring option = remote ? L" /r" + std::to_wstring(FreePort()) : L"";
    ASSERT_TRUE(child.Start(L"\"" + BinPath(L"selvane-monitor.exe") + L"\" /l" + option));
    EXPECT_EQ(0u, child.ReadLine().find("seconds,"));  // the record's header: start-up is over
    EXPECT_EQ(remote, HasModule(child.Process(), L"ws2_32.dll"));
    TerminateProcess(child.Process(), 0);
  }
  WSACleanup();
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

// This machine's loopback address at `port`.
sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port nobody listens on now, as the system chooses it.
unsigned short FreePort() {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(0);
  int length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(probe);
  return ntohs(address.sin_port);
}

SOCKET Request(unsigned short port, const char* path, DWORD timeoutMs = 5000) {
  SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(port);
  // No read waits longer.
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
  if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return connection;
  const std::string request = std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(connection, request.data(), static_cast<int>(request.size()), 0);
  return connection;
}

// Everything until the server closes (or a read times out).
std::string ReadAll(SOCKET connection) {
  std::string text;
  char buffer[16384];
  for (int got; (got = recv(connection, buffer, sizeof buffer, 0)) > 0;) text.append(buffer, got);
  closesocket(connection);
  return text;
}

// The ten minutes of the record go out as fast as the socket takes them, with
// no other client and beside an event stream: not a buffer every idle tick.
TEST(RemoteRecord, TenMinutesArriveWithinASecondWithOrWithoutAStream) {
  WSADATA data;
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
  g_state.processorCount = 2;
  const unsigned short port = FreePort();
  ASSERT_TRUE(StartRemoteEndpoint(port));
  for (uint32_t i = 0; i < kRecordRingSamples + 10; ++i) {
    const RecordFigures figures = {i * kSamplePeriodMs, 2, {0.25f, 0.5f}, {0.5f, 1.0f}, 0, nullptr, 40, 1, 12, 140, "", 0, 0, {}};
    PublishRemoteRecord(figures);
  }
  SOCKET stream = INVALID_SOCKET;
  for (const bool withStream : {false, true}) {
    if (withStream) {
      stream = Request(port, "/events");
      char head[512];
      ASSERT_GT(recv(stream, head, sizeof head, 0), 0);
    }
    const DWORD start = GetTickCount();
    const std::string answer = ReadAll(Request(port, "/record.csv"));
    const DWORD tookMs = GetTickCount() - start;
    const std::string body = answer.substr(answer.find("\r\n\r\n") + 4);
    size_t lines = 0;
    for (size_t at = body.find("\r\n"); at != std::string::npos; at = body.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << withStream;
    EXPECT_EQ(kRecordRingSamples + 1, lines) << withStream;  // the header and the ten minutes
    EXPECT_EQ(0u, body.find("seconds,")) << withStream;
    EXPECT_NE(std::string::npos, body.find("\r\n609.000,")) << withStream;  // the newest
    EXPECT_LT(tookMs, 1000u) << withStream << ": " << body.size() << " bytes";
  }
  closesocket(stream);
}

// The listener's notice spent with nothing taken (under Wine a failed accept
// can leave it so, and no later connection is then signalled): the endpoint's
// accept, as it looks it up, fails twice without taking the connection that
// waits. It is still answered, at the wait's next timeout. The endpoint is
// the same code in the device's branch: checked once, here.
ImportPatch* g_lookup;
void* g_accept;
std::atomic<int> g_accepts;

SOCKET WSAAPI AcceptAfterTwoFailures(SOCKET listener, sockaddr* address, int* length) {
  const int call = g_accepts.fetch_add(1);
  if (call >= 2) return reinterpret_cast<decltype(&accept)>(g_accept)(listener, address, length);
  WSASetLastError(call == 0 ? WSAECONNABORTED : WSAEWOULDBLOCK);
  return INVALID_SOCKET;
}

FARPROC WINAPI LookUpAccept(HMODULE module, LPCSTR name) {
  const FARPROC found = reinterpret_cast<decltype(&LookUpAccept)>(g_lookup->Original())(module, name);
  if (IS_INTRESOURCE(name) || std::string(name) != "accept") return found;
  g_accept = reinterpret_cast<void*>(found);
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(AcceptAfterTwoFailures));
}

TEST(RemoteListener, AConnectionWhoseNoticeWasSpentIsAnsweredAtTheNextTimeout) {
#ifdef SELVANE_DEVICE
  GTEST_SKIP() << "the desktop's suite checks it";
#endif
  WSADATA data;
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
  const unsigned short port = FreePort();
  {
    ImportPatch lookup("GetProcAddress", reinterpret_cast<void*>(LookUpAccept));
    g_lookup = &lookup;
    ASSERT_TRUE(StartRemoteEndpoint(port));
  }
  const DWORD start = GetTickCount();
  const std::string answer = ReadAll(Request(port, "/metrics", kRemoteIdleTickMs + 3000));
  const DWORD tookMs = GetTickCount() - start;
  EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << tookMs << " ms";
  EXPECT_LT(tookMs, kRemoteIdleTickMs + 2000);
  EXPECT_LE(3, g_accepts.load());  // both failures were met
}

}  // namespace
