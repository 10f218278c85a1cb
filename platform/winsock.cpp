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

#define BIND_ENTRY(library, entry) BindSocketCall(library, L## #entry, #entry, &bound.entry, &whole)

bool BindWinsock() {
  // Stays loaded for the life of the process.
  HMODULE library = LoadLibraryW(WINSOCK_LIBRARY);
  if (library == NULL) {
    WriteDiagnostic("remote: no networking library (%s); the endpoint is off\r\n", WINSOCK_LIBRARY_NAME);
    return false;
  }
  Winsock bound;
  bool whole = true;
  BIND_ENTRY(library, WSAStartup);
  BIND_ENTRY(library, WSAGetLastError);
  BIND_ENTRY(library, socket);
  BIND_ENTRY(library, bind);
  BIND_ENTRY(library, listen);
  BIND_ENTRY(library, accept);
  BIND_ENTRY(library, recv);
  BIND_ENTRY(library, send);
  BIND_ENTRY(library, WSAEventSelect);
  BIND_ENTRY(library, setsockopt);
  BIND_ENTRY(library, shutdown);
  BIND_ENTRY(library, closesocket);
  BIND_ENTRY(library, gethostname);
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

#undef BIND_ENTRY
