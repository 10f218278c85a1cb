// The two places where the desktop shows the Performance page differently
// from the device: byte counts too wide for their fields, and a status block
// the desktop's text drawing cannot wrap. The template and the texts stay as
// designed; only the desktop adjusts how they are shown.
#ifndef SELVANE_UI_PERFORMANCE_DESKTOP_FIELDS_H
#define SELVANE_UI_PERFORMANCE_DESKTOP_FIELDS_H

#include "platform/win32.h"

#ifdef SELVANE_DEVICE
inline void AdaptFieldsToDesktop(HWND) {}  // the device's fields fit their figures
#else
// Widens the two byte-count fields to the free space up to their labels, and
// draws the status field with the device's line breaks (StatusDisplayText).
void AdaptFieldsToDesktop(HWND page);
#endif

#endif
