#include "ui/performance/desktop_fields.h"

#include "app/constants.h"
#include "platform/ce_compat.h"
#include "resources/resource_ids.h"
#include "ui/performance/status_lines.h"

// Byte counts on the desktop run to 11 digits and more, wider than the
// template's fields: the two fields take the free space up to their labels,
// so that no digit is clipped.
static void WidenByteFields(HWND page) {
  RECT left = {static_cast<LONG>(kByteFieldLeftDlu), 0, 0, 0};
  MapDialogRect(page, &left);
  static const int kFields[] = {IDC_PHYS_TOTAL, IDC_PHYS_AVAILABLE};
  for (size_t f = 0; f < sizeof kFields / sizeof kFields[0]; ++f) {
    HWND field = GetDlgItem(page, kFields[f]);
    RECT rect;
    GetWindowRect(field, &rect);
    MapWindowPoints(NULL, page, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left <= left.left) continue;
    SetWindowPos(field, NULL, left.left, rect.top, rect.right - left.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The status field keeps the block's exact text; it is drawn with the
// device's line breaks, as the static control draws otherwise: the page's
// colours, the field's font, word wrap.
static void PaintStatusField(HWND field, HDC dc) {
  wchar_t text[kReportBufferChars];
  wchar_t lines[kReportBufferChars];
  GetWindowTextW(field, text, kReportBufferChars);
  StatusDisplayText(text, lines, kReportBufferChars);
  RECT client;
  GetClientRect(field, &client);
  HBRUSH brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(field), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  FillRect(dc, &client, brush != NULL ? brush : GetSysColorBrush(COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != NULL ? SelectObject(dc, font) : NULL;
  DrawTextW(dc, lines, -1, &client, DT_LEFT | DT_WORDBREAK);
  if (previous != NULL) SelectObject(dc, previous);
}

// The static control's own procedure. The field is wrapped by replacing its
// procedure, not with the common controls' subclassing, which looks the
// wrapper up in a window property (a server round trip under Wine) at every
// message the field gets.
static WNDPROC g_staticFieldProc;

static LRESULT CALLBACK StatusFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      // Stores the text without the control's own drawing and draws it at
      // once: under Wine an invalidation and the paint it brings (BeginPaint
      // alone is several server requests) cost twice the drawing itself.
      DefWindowProcW(field, message, wParam, lParam);
      HDC dc = GetDC(field);
      if (dc != NULL) {
        PaintStatusField(field, dc);
        ReleaseDC(field, dc);
      }
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(field, &paint);
      if (dc != NULL) PaintStatusField(field, dc);
      EndPaint(field, &paint);
      return 0;
    }
    case WM_ERASEBKGND: return TRUE;  // the paint fills the whole field
    default: break;
  }
  return CallWindowProcW(g_staticFieldProc, field, message, wParam, lParam);
}

void AdaptFieldsToDesktop(HWND page) {
  WidenByteFields(page);
  const WNDPROC previous = SetWindowProcedure(GetDlgItem(page, IDC_STATUS_TEXT), StatusFieldProc);
  if (previous != StatusFieldProc) g_staticFieldProc = previous;
}

namespace {

// The style's answer for one page, as it left the device context.
struct StaticColours {
  HWND page;
  HBRUSH brush;
  COLORREF text, background;
  int mode;
};

}  // namespace

static StaticColours g_staticColours;
static bool g_askingStyle;  // the question is on its way to the style: the dialog does not answer

INT_PTR AnswerStaticColours(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_THEMECHANGED || message == WM_SYSCOLORCHANGE) g_staticColours.page = NULL;
  if (message != WM_CTLCOLORSTATIC || g_askingStyle) return 0;
  HDC dc = reinterpret_cast<HDC>(wParam);
  if (g_staticColours.page != page) {
    g_askingStyle = true;
    const HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(page, WM_CTLCOLORSTATIC, wParam, lParam));
    g_askingStyle = false;
    if (brush == NULL) return 0;
    const StaticColours asked = {page, brush, GetTextColor(dc), GetBkColor(dc), GetBkMode(dc)};
    g_staticColours = asked;
    return reinterpret_cast<INT_PTR>(brush);
  }
  SetTextColor(dc, g_staticColours.text);
  SetBkColor(dc, g_staticColours.background);
  SetBkMode(dc, g_staticColours.mode);
  // The style's brush is the page's background: aligned with the page.
  POINT origin = {0, 0};
  MapWindowPoints(reinterpret_cast<HWND>(lParam), page, &origin, 1);
  SetBrushOrgEx(dc, -origin.x, -origin.y, NULL);
  return reinterpret_cast<INT_PTR>(g_staticColours.brush);
}
