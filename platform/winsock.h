// Winsock, bound by name at start-up and only with /r, so that a module image
// without networking still runs the monitor: ws2.dll on the device,
// ws2_32.dll on the desktop. Only the remote endpoint calls it.
#ifndef SELVANE_PLATFORM_WINSOCK_H
#define SELVANE_PLATFORM_WINSOCK_H

#include <winsock2.h>

#include "platform/win32.h"

// The library is the system's, not the program's branch: the device's
// branch run on the desktop (SELVANE_DEVICE without _WIN32_WCE) has ws2_32.
#ifdef _WIN32_WCE
#define WINSOCK_LIBRARY L"ws2.dll"
#define WINSOCK_LIBRARY_NAME "ws2.dll"
#else
#define WINSOCK_LIBRARY L"ws2_32.dll"
#define WINSOCK_LIBRARY_NAME "ws2_32.dll"
#endif

typedef int(WSAAPI* PFN_WSAStartup)(WORD version, WSADATA* data);
typedef int(WSAAPI* PFN_WSAGetLastError)();
typedef SOCKET(WSAAPI* PFN_socket)(int family, int type, int protocol);
typedef int(WSAAPI* PFN_bind)(SOCKET socket, const sockaddr* address, int length);
typedef int(WSAAPI* PFN_listen)(SOCKET socket, int backlog);
typedef SOCKET(WSAAPI* PFN_accept)(SOCKET socket, sockaddr* address, int* length);
typedef int(WSAAPI* PFN_recv)(SOCKET socket, char* buffer, int length, int flags);
typedef int(WSAAPI* PFN_send)(SOCKET socket, const char* buffer, int length, int flags);
typedef int(WSAAPI* PFN_WSAEventSelect)(SOCKET socket, WSAEVENT event, long networkEvents);
typedef int(WSAAPI* PFN_setsockopt)(SOCKET socket, int level, int name, const char* value, int length);
typedef int(WSAAPI* PFN_shutdown)(SOCKET socket, int how);
typedef int(WSAAPI* PFN_closesocket)(SOCKET socket);
typedef int(WSAAPI* PFN_gethostname)(char* name, int length);

// Null until bound; bound all or nothing.
struct Winsock {
  PFN_WSAStartup WSAStartup;
  PFN_WSAGetLastError WSAGetLastError;
  PFN_socket socket;
  PFN_bind bind;
  PFN_listen listen;
  PFN_accept accept;
  PFN_recv recv;
  PFN_send send;
  PFN_WSAEventSelect WSAEventSelect;
  PFN_setsockopt setsockopt;
  PFN_shutdown shutdown;
  PFN_closesocket closesocket;
  PFN_gethostname gethostname;
};

extern Winsock g_winsock;

// Loads the library, binds every entry point and starts Winsock 2.2. Returns
// false, with one diagnostic line saying what is missing, when any of it fails.
bool BindWinsock();

#endif
