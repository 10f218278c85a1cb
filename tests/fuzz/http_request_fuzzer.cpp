// Any bytes as a request: the parser reads only what it is given, answers
// with one of the endpoint's statuses (a route only with 200), asks for more
// only while the head could still fit, and keeps a final verdict however the
// bytes after it go on (the server judges again as more arrive).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "remote/http_request.h"

static bool Known(uint32_t status) {
  switch (status) {
    case kHttpIncomplete: case kHttpOk: case kHttpBadRequest: case kHttpForbidden: case kHttpNotFound:
    case kHttpMethodNotAllowed: case kHttpUriTooLong: case kHttpHeadersTooLarge: return true;
    default: return false;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte splits the input into a prefix and the whole; exactly
  // sized copies, so that ASan reports any read past either.
  if (size == 0) return 0;
  const size_t whole = size - 1;
  const size_t prefix = whole == 0 ? 0 : data[0] % (whole + 1);
  char* bytes = static_cast<char*>(std::malloc(whole + 1));
  std::memcpy(bytes, data + 1, whole);
  char* start = static_cast<char*>(std::malloc(prefix + 1));
  std::memcpy(start, data + 1, prefix);

  const HttpVerdict full = JudgeHttpRequest(bytes, whole, "bench-7");
  const HttpVerdict early = JudgeHttpRequest(start, prefix, "bench-7");
  if (!Known(full.status) || (full.route != ROUTE_NONE) != (full.status == kHttpOk)) std::abort();
  if (full.status == kHttpIncomplete && whole >= kHttpHeadBytes) std::abort();
  if (early.status != kHttpIncomplete && (early.status != full.status || early.route != full.route)) std::abort();
  // A capture's name lies inside the request and holds no separator of a path.
  if (full.route == ROUTE_CAPTURE) {
    if (full.nameLength == 0 || full.nameStart + full.nameLength > whole) std::abort();
    for (size_t i = 0; i < full.nameLength; ++i) {
      const char c = bytes[full.nameStart + i];
      if (c == '/' || c == '\\' || c == ':' || c == '%') std::abort();
    }
  }
  std::free(bytes);
  std::free(start);
  return 0;
}
