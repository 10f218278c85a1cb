// Stand-in for the device SDK's dbgapi.h.
#ifndef SELVANE_DEVICE_SDK_DBGAPI_H
#define SELVANE_DEVICE_SDK_DBGAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Prints to the debug output stream (the debug serial port or the attached
// debugger); the text must stay under 128 characters.
// learn.microsoft.com/en-us/previous-versions/windows/embedded/ee488771(v=winembedded.80)
void WINAPIV NKDbgPrintfW(LPCWSTR format, ...);

#ifdef __cplusplus
}
#endif

#endif
