#include "remote/http_request.h"

// A piece of the request; never NUL-terminated.
struct Span {
  const char* text;
  size_t length;
};

static Span MakeSpan(const char* text, size_t length) {
  Span span = {text, length};
  return span;
}

static char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

static bool IsHexDigit(char c) { return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f'); }

// RFC 9110 tchar: what a method or a header name is made of.
static bool IsTokenChar(char c) {
  if (IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z')) return true;
  const char* const others = "!#$%&'*+-.^_`|~";
  for (const char* other = others; *other != '\0'; ++other) {
    if (c == *other) return true;
  }
  return false;
}

// A header value's characters: visible ASCII, space, tab, and bytes >= 0x80.
static bool IsValueChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u == '\t' || (u >= ' ' && u != 0x7F);
}

// Whether `span` equals `word`, ASCII case ignored.
static bool SpanIs(Span span, const char* word, bool ignoreCase) {
  size_t i = 0;
  for (; i < span.length; ++i) {
    if (word[i] == '\0') return false;
    const char a = ignoreCase ? LowerAscii(span.text[i]) : span.text[i];
    const char b = ignoreCase ? LowerAscii(word[i]) : word[i];
    if (a != b) return false;
  }
  return word[i] == '\0';
}

// The index of the '\n' ending the line that starts at `from`, or `limit`.
static size_t LineEnd(const char* data, size_t from, size_t limit) {
  while (from < limit && data[from] != '\n') ++from;
  return from;
}

// 1 to 5 digits, at most the largest port; an empty span is no port.
static bool IsPort(Span span) {
  if (span.length == 0 || span.length > kRemotePortDigits) return false;
  uint32_t value = 0;
  for (size_t i = 0; i < span.length; ++i) {
    if (!IsDigit(span.text[i])) return false;
    value = value * 10 + static_cast<uint32_t>(span.text[i] - '0');
  }
  return value <= kRemotePortMax;
}

// Four dotted decimal parts of 1 to 3 digits, each at most 255.
static bool IsIpv4(Span span) {
  uint32_t parts = 0;
  size_t at = 0;
  while (parts < kIpv4Parts) {
    uint32_t value = 0;
    size_t digits = 0;
    while (at < span.length && IsDigit(span.text[at]) && digits < 3) {
      value = value * 10 + static_cast<uint32_t>(span.text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || value > kIpv4PartMax) return false;
    ++parts;
    if (parts < kIpv4Parts) {
      if (at >= span.length || span.text[at] != '.') return false;
      ++at;
    }
  }
  return at == span.length;
}

// What may stand inside the brackets of an IPv6 literal: hex digits, colons
// (at least two) and the dots of an embedded IPv4 address.
static bool IsIpv6(Span span) {
  if (span.length < 2 || span.length > kIpv6TextMax) return false;
  uint32_t colons = 0;
  for (size_t i = 0; i < span.length; ++i) {
    const char c = span.text[i];
    if (c == ':') {
      ++colons;
    } else if (!IsHexDigit(c) && c != '.') {
      return false;
    }
  }
  return colons >= 2;
}

// A Host that a page of another site cannot have made point here by DNS
// (rebinding): an address, this machine's name, or localhost; any port.
static bool HostAllowed(Span host, const char* ownName) {
  if (host.length == 0 || host.length > kHttpHostChars) return false;
  size_t nameEnd = 0;
  if (host.text[0] == '[') {
    while (nameEnd < host.length && host.text[nameEnd] != ']') ++nameEnd;
    if (nameEnd == host.length || !IsIpv6(MakeSpan(host.text + 1, nameEnd - 1))) return false;
    ++nameEnd;
  } else {
    while (nameEnd < host.length && host.text[nameEnd] != ':') ++nameEnd;
    const Span name = MakeSpan(host.text, nameEnd);
    if (!IsIpv4(name) && !SpanIs(name, "localhost", true) && (ownName[0] == '\0' || !SpanIs(name, ownName, true))) {
      return false;
    }
  }
  if (nameEnd == host.length) return true;
  return host.text[nameEnd] == ':' && IsPort(MakeSpan(host.text + nameEnd + 1, host.length - nameEnd - 1));
}

// The request line: method SP target SP version, with no other spaces.
struct RequestLine {
  Span method;
  Span path;  // the target up to its query
  bool http11;
};

static bool ParseRequestLine(Span line, RequestLine* parsed) {
  size_t at = 0;
  while (at < line.length && IsTokenChar(line.text[at])) ++at;
  if (at == 0 || at == line.length || line.text[at] != ' ') return false;
  parsed->method = MakeSpan(line.text, at);
  const size_t targetStart = ++at;
  size_t pathEnd = 0;
  for (; at < line.length && line.text[at] != ' '; ++at) {
    const char c = line.text[at];
    if (c <= ' ' || c == 0x7F || (c & 0x80) != 0) return false;
    if (c == '?' && pathEnd == 0) pathEnd = at;
  }
  if (at == targetStart || at == line.length || line.text[targetStart] != '/') return false;
  if (pathEnd == 0) pathEnd = at;
  parsed->path = MakeSpan(line.text + targetStart, pathEnd - targetStart);
  const Span version = MakeSpan(line.text + at + 1, line.length - at - 1);
  parsed->http11 = SpanIs(version, "HTTP/1.1", false);
  return parsed->http11 || SpanIs(version, "HTTP/1.0", false);
}

// What the headers say that the endpoint acts on.
struct HeaderFacts {
  uint32_t hosts;
  Span host;
  bool body;  // a body the endpoint would not read: malformed for a GET here
};

// One header line "name: value"; false when it is malformed.
static bool ReadHeader(Span line, HeaderFacts* facts) {
  size_t at = 0;
  while (at < line.length && IsTokenChar(line.text[at])) ++at;
  if (at == 0 || at == line.length || line.text[at] != ':') return false;  // a folded line starts with a space
  const Span name = MakeSpan(line.text, at);
  size_t start = at + 1;
  size_t end = line.length;
  for (size_t i = start; i < end; ++i) {
    if (!IsValueChar(line.text[i])) return false;
  }
  while (start < end && (line.text[start] == ' ' || line.text[start] == '\t')) ++start;
  while (end > start && (line.text[end - 1] == ' ' || line.text[end - 1] == '\t')) --end;
  const Span value = MakeSpan(line.text + start, end - start);
  if (SpanIs(name, "host", true)) {
    ++facts->hosts;
    facts->host = value;
  } else if (SpanIs(name, "transfer-encoding", true)) {
    facts->body = true;
  } else if (SpanIs(name, "content-length", true)) {
    if (value.length == 0) return false;
    for (size_t i = 0; i < value.length; ++i) {
      if (!IsDigit(value.text[i])) return false;
      if (value.text[i] != '0') facts->body = true;
    }
  }
  return true;
}

static const char kCapturesPath[] = "/captures";

// A capture's name as a path segment may hold: no '/', '\\', '%' or ':', so
// it names a file of the captures' folder and nothing else.
static bool IsCaptureSegment(Span name) {
  if (name.length == 0 || name.length >= kCaptureNameChars) return false;
  for (size_t i = 0; i < name.length; ++i) {
    const char c = name.text[i];
    if (!((c >= 'a' && c <= 'z') || IsDigit(c) || c == '_' || c == '-' || c == '.')) return false;
  }
  return true;
}

static uint32_t RouteOf(Span path, Span* captureName) {
  if (SpanIs(path, "/", false)) return ROUTE_PAGE;
  if (SpanIs(path, "/events", false)) return ROUTE_EVENTS;
  if (SpanIs(path, "/metrics", false)) return ROUTE_METRICS;
  if (SpanIs(path, "/record.csv", false)) return ROUTE_RECORD;
  if (SpanIs(path, kCapturesPath, false)) return ROUTE_CAPTURES;
  const size_t prefix = sizeof kCapturesPath;  // with its '/'
  if (path.length > prefix && SpanIs(MakeSpan(path.text, prefix - 1), kCapturesPath, false) &&
      path.text[prefix - 1] == '/') {
    *captureName = MakeSpan(path.text + prefix, path.length - prefix);
    if (IsCaptureSegment(*captureName)) return ROUTE_CAPTURE;
  }
  return ROUTE_NONE;
}

static HttpVerdict Verdict(uint32_t status, uint32_t route) {
  HttpVerdict verdict = {status, route, 0, 0};
  return verdict;
}

// The line [start, newline) without its "\r"; false when the "\r" is missing.
static bool LineContent(const char* data, size_t start, size_t newline, Span* line) {
  if (newline == start || data[newline - 1] != '\r') return false;
  *line = MakeSpan(data + start, newline - 1 - start);
  return true;
}

HttpVerdict JudgeHttpRequest(const char* data, size_t length, const char* ownName) {
  const size_t limit = length < kHttpHeadBytes ? length : kHttpHeadBytes;
  const size_t lineEnd = LineEnd(data, 0, limit);
  if (lineEnd == limit) {
    return Verdict(length >= kHttpRequestLineBytes ? kHttpUriTooLong : kHttpIncomplete, ROUTE_NONE);
  }
  if (lineEnd + 1 > kHttpRequestLineBytes) return Verdict(kHttpUriTooLong, ROUTE_NONE);

  // The head ends at the first empty line.
  size_t headerEnds = 0;
  for (size_t at = lineEnd + 1; at < limit; at = LineEnd(data, at, limit) + 1) {
    const size_t end = LineEnd(data, at, limit);
    if (end == limit) break;
    if (end == at || (end == at + 1 && data[at] == '\r')) {
      headerEnds = end;
      break;
    }
  }
  if (headerEnds == 0) return Verdict(length >= kHttpHeadBytes ? kHttpHeadersTooLarge : kHttpIncomplete, ROUTE_NONE);

  Span line;
  RequestLine request;
  if (!LineContent(data, 0, lineEnd, &line) || !ParseRequestLine(line, &request)) {
    return Verdict(kHttpBadRequest, ROUTE_NONE);
  }
  HeaderFacts facts = {0, MakeSpan(data, 0), false};
  for (size_t at = lineEnd + 1; at <= headerEnds; at = LineEnd(data, at, limit) + 1) {
    const size_t end = LineEnd(data, at, limit);
    if (!LineContent(data, at, end, &line)) return Verdict(kHttpBadRequest, ROUTE_NONE);
    if (end == headerEnds) break;  // the empty line
    if (!ReadHeader(line, &facts)) return Verdict(kHttpBadRequest, ROUTE_NONE);
  }
  // The method first of what a well-formed head can get wrong: a POST with a
  // body is wrong for its method, not for its body.
  if (!SpanIs(request.method, "GET", false)) return Verdict(kHttpMethodNotAllowed, ROUTE_NONE);
  if (facts.body || facts.hosts > 1 || (request.http11 && facts.hosts == 0)) return Verdict(kHttpBadRequest, ROUTE_NONE);
  if (facts.hosts == 1 && !HostAllowed(facts.host, ownName)) return Verdict(kHttpForbidden, ROUTE_NONE);
  Span name = MakeSpan(data, 0);
  const uint32_t route = RouteOf(request.path, &name);
  if (route == ROUTE_NONE) return Verdict(kHttpNotFound, ROUTE_NONE);
  HttpVerdict verdict = Verdict(kHttpOk, route);
  if (route == ROUTE_CAPTURE) {
    verdict.nameStart = static_cast<size_t>(name.text - data);
    verdict.nameLength = name.length;
  }
  return verdict;
}

const char* HttpReason(uint32_t status) {
  switch (status) {
    case kHttpOk: return "OK";
    case kHttpBadRequest: return "Bad Request";
    case kHttpForbidden: return "Forbidden";
    case kHttpNotFound: return "Not Found";
    case kHttpMethodNotAllowed: return "Method Not Allowed";
    case kHttpRequestTimeout: return "Request Timeout";
    case kHttpUriTooLong: return "URI Too Long";
    case kHttpHeadersTooLarge: return "Request Header Fields Too Large";
    case kHttpUnavailable: return "Service Unavailable";
    default: return "";
  }
}
