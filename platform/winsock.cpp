#include "platform/winsock.h"

#include "app/constants.h"

Winsock g_winsock;

// Looks up `name` into `slot`; a missing name is reported once, by the first.
template <typename Function>
static void BindSocketCall(HMODULE library, const wchar_t* name, const char* printable, Function* slot,
                           bool* whole) {
  *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddressW(library, name)));
  if (*slot == NULL && *whole) {
    WriteDiagnostic("remote: %s lacks %s; the endpoint is off\r\n", WINSOCK_LIBRARY_NAME, printable);
    *whole = false;
  }
}

#define BIND_SOCKET_CALL(entry) BindSocketCall(library, L## #entry, #entry, &bound.entry, &whole)

bool BindWinsock() {
  // Stays loaded for the life of the process.
  HMODULE library = LoadLibraryW(WINSOCK_LIBRARY);
  if (library == NULL) {
    WriteDiagnostic("remote: no networking library (%s); the endpoint is off\r\n", WINSOCK_LIBRARY_NAME);
    return false;
  }
  Winsock bound;
  bool whole = true;
  BIND_SOCKET_CALL(WSAStartup);
  BIND_SOCKET_CALL(WSAGetLastError);
  BIND_SOCKET_CALL(socket);
  BIND_SOCKET_CALL(bind);
  BIND_SOCKET_CALL(listen);
  BIND_SOCKET_CALL(accept);
  BIND_SOCKET_CALL(recv);
  BIND_SOCKET_CALL(send);
  BIND_SOCKET_CALL(select);
  BIND_SOCKET_CALL(ioctlsocket);
  BIND_SOCKET_CALL(setsockopt);
  BIND_SOCKET_CALL(shutdown);
  BIND_SOCKET_CALL(closesocket);
  BIND_SOCKET_CALL(gethostname);
  if (!whole) return false;
  WSADATA data;
  const int started = bound.WSAStartup(MAKEWORD(kWinsockMajor, kWinsockMinor), &data);
  if (started != 0) {
    WriteDiagnostic("remote: %s does not start (error %d); the endpoint is off\r\n", WINSOCK_LIBRARY_NAME, started);
    return false;
  }
  g_winsock = bound;
  return true;
}

#undef BIND_SOCKET_CALL
