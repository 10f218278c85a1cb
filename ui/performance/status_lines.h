// The status block as the desktop draws it. Pure: no Windows header.
#ifndef SELVANE_UI_PERFORMANCE_STATUS_LINES_H
#define SELVANE_UI_PERFORMANCE_STATUS_LINES_H

#include <cstddef>

// The block's groups are set apart by runs of blanks and tabs too wide for
// the field, so the device's word wrap starts each group on a new line. The
// desktop's text drawing does not wrap after a tab (it runs the rest of the
// text off the right edge), so it draws the block with every such run
// replaced by a line break. Returns the characters written into `out`
// (capacity in characters, terminator included), or 0 and an empty text when
// they do not fit.
size_t StatusDisplayText(const wchar_t* text, wchar_t* out, size_t capacity);

#endif
