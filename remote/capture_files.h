// The capture files for GET /captures and GET /captures/NAME, read on the
// endpoint's thread: only names the captures are written under, only in the
// captures' folder.
#ifndef SELVANE_REMOTE_CAPTURE_FILES_H
#define SELVANE_REMOTE_CAPTURE_FILES_H

#include <stddef.h>

#include "remote/byte_text.h"

// The captures' names, oldest first, one a line ("\n"); nothing without a
// trigger (no folder).
void ListCaptureFiles(ByteText* out);

// Capture `name` (`length` 8-bit characters) into `out`; its bytes, or 0 for
// a name no capture has, a file that is missing or unreadable, or one larger
// than `capacity`.
size_t ReadCaptureFile(const char* name, size_t length, char* out, size_t capacity);

#endif
