// The one way Win32 code includes the platform headers.
#ifndef SELVANE_PLATFORM_WIN32_H
#define SELVANE_PLATFORM_WIN32_H

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "platform/ce_compat.h"

#endif
