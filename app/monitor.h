// Start-up, the property sheet and shutdown.
#ifndef SELVANE_APP_MONITOR_H
#define SELVANE_APP_MONITOR_H

#include "platform/win32.h"

// Applies /s, /d, /h and /l from `commandLine` (lower-cased in place) to the
// state and prints the usage text once per /h. Returns 1.
int ParseOptions(wchar_t* commandLine);

// Keeps the sheet above all other windows once it is initialised.
int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM parameter);

// The two-page sheet, topmost, on the Performance page, until the user
// closes it. Returns what PropertySheetW returned.
int RunPropertySheet(HINSTANCE instance);

// The whole program: binds the platform, starts the sampling thread, runs the
// sheet until the user closes it, then releases the icons. Returns 0.
int RunMonitor(HINSTANCE instance, wchar_t* commandLine);

#endif
