#include "remote/capture_files.h"

#include <wchar.h>

#include "app/constants.h"
#include "app/text_format.h"
#include "platform/win32.h"
#include "sampler/capture_ring.h"
#include "sampler/record_output.h"

static const uint32_t kListedCaptures = 2 * kMaxCaptures;  // the folder may hold a few more for a moment

void ListCaptureFiles(ByteText* out) {
  const wchar_t* folder = CaptureFolder();
  if (folder == NULL) return;
  wchar_t pattern[kPathChars + kCaptureNameChars];
  FormatWide(pattern, kPathChars + kCaptureNameChars, L"%lscap-*.csv", folder);
  wchar_t names[kListedCaptures][kCaptureNameChars];
  uint32_t count = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!IsCaptureName(found.cFileName) || count == kListedCaptures) continue;
    // In order as they come: the names sort by their time.
    uint32_t at = count++;
    for (; at > 0 && wcscmp(names[at - 1], found.cFileName) > 0; --at) {
      FormatWide(names[at], kCaptureNameChars, L"%ls", names[at - 1]);
    }
    FormatWide(names[at], kCaptureNameChars, L"%ls", found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (uint32_t i = 0; i < count; ++i) {
    for (const wchar_t* c = names[i]; *c != L'\0'; ++c) {
      const char narrow = static_cast<char>(*c);  // a capture's name is ASCII
      PutBytes(out, &narrow, 1);
    }
    PutText(out, "\n");
  }
}

size_t ReadCaptureFile(const char* name, size_t length, char* out, size_t capacity) {
  const wchar_t* folder = CaptureFolder();
  if (folder == NULL || length == 0 || length >= kCaptureNameChars) return 0;
  wchar_t wide[kCaptureNameChars];
  for (size_t i = 0; i < length; ++i) wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
  wide[length] = L'\0';
  if (!IsCaptureName(wide)) return 0;
  wchar_t path[kPathChars + kCaptureNameChars];
  FormatWide(path, kPathChars + kCaptureNameChars, L"%ls%ls", folder, wide);
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  size_t size = 0;
  bool whole = false;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, out + size, static_cast<DWORD>(capacity - size), &read, NULL)) break;
    if (read == 0) {
      whole = true;
      break;
    }
    size += read;
    if (size == capacity) break;  // a file that fills the buffer is too large to be a capture
  }
  CloseHandle(file);
  return whole ? size : 0;
}
