#include "ui/performance/status_lines.h"

static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

size_t StatusDisplayText(const wchar_t* text, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  size_t length = 0;
  for (size_t i = 0; text[i] != L'\0';) {
    size_t end = i;
    bool tab = false;
    while (IsBlank(text[end])) tab |= text[end++] == L'\t';
    const wchar_t* piece = tab ? L"\r\n" : text + i;
    const size_t pieceLength = tab ? 2 : (end > i ? end - i : 1);
    if (length + pieceLength >= capacity) {
      out[0] = L'\0';
      return 0;
    }
    for (size_t k = 0; k < pieceLength; ++k) out[length++] = piece[k];
    i += end > i ? end - i : 1;
  }
  out[length] = L'\0';
  return length;
}
