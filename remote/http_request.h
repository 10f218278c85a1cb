// The remote endpoint's request parser: judges one request head (request
// line and headers) from the bytes received so far. Pure: no Windows header.
#ifndef SELVANE_REMOTE_HTTP_REQUEST_H
#define SELVANE_REMOTE_HTTP_REQUEST_H

#include <stddef.h>

#include "app/constants.h"

// What the endpoint serves.
enum HttpRoute { ROUTE_NONE, ROUTE_PAGE, ROUTE_EVENTS, ROUTE_METRICS, ROUTE_RECORD, ROUTE_CAPTURES, ROUTE_CAPTURE };

struct HttpVerdict {
  uint32_t status;  // kHttpIncomplete: read more; kHttpOk: serve `route`; else the error to answer
  uint32_t route;   // an HttpRoute, with kHttpOk only
  // ROUTE_CAPTURE: the file's name in `data`, after "/captures/": only
  // letters, digits, '_', '-' and '.', shorter than kCaptureNameChars.
  size_t nameStart;
  size_t nameLength;
};

// Judges `data` (`length` bytes, the request as received so far). Checks in
// this order: the request line's length (414) and the head's (431), the
// lines' syntax (400), the method (405: GET only, body or not), what a GET
// may carry (400: no body, HTTP/1.1 needs one Host), the Host (403 unless an
// IPv4 or bracketed IPv6 literal, "localhost" or `ownName`, each with an
// optional port) and the path (404; a query is ignored). `ownName` is the machine's name, NUL-terminated; empty matches
// nothing. Bytes after the head are not looked at.
HttpVerdict JudgeHttpRequest(const char* data, size_t length, const char* ownName);

// The reason phrase of a status the endpoint answers with ("" for others).
const char* HttpReason(uint32_t status);

#endif
