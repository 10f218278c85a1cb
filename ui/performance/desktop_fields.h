// The two places where the desktop shows the Performance page differently
// from the device: byte counts too wide for their fields, and a status block
// the desktop's text drawing cannot wrap. The template and the texts stay as
// designed; only the desktop adjusts how they are shown.
#ifndef SELVANE_UI_PERFORMANCE_DESKTOP_FIELDS_H
#define SELVANE_UI_PERFORMANCE_DESKTOP_FIELDS_H

#include "platform/win32.h"

#ifdef SELVANE_DEVICE
inline void AdaptFieldsToDesktop(HWND) {}  // the device's fields fit their figures
inline INT_PTR AnswerStaticColours(HWND, UINT, WPARAM, LPARAM) { return 0; }
#else
// Widens the two byte-count fields to the free space up to their labels, and
// draws the status field with the device's line breaks (StatusDisplayText).
void AdaptFieldsToDesktop(HWND page);

// The page's answer to `message` when it is WM_CTLCOLORSTATIC, else 0 (the
// dialog's own handling): the visual style's answer, asked once a page and
// given again, since the style reads two window properties (two server
// requests under Wine) for every field repainted.
INT_PTR AnswerStaticColours(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
#endif

#endif
