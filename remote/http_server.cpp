#include "remote/http_server.h"

#include <string.h>

#include "app/monitor_state.h"
#include "platform/winsock.h"
#include "remote/http_request.h"
#include "remote/metrics_text.h"
#include "remote/record_ring.h"
#include "remote/byte_text.h"

enum ClientState {
  CLIENT_FREE,
  CLIENT_READING,  // the request, until it is whole
  CLIENT_SENDING,  // the answer; an event stream stays here
  CLIENT_CLOSING   // every byte sent and the sending side shut: reading what still comes, then closed
};

struct RemoteClient {
  SOCKET socket;
  uint32_t state;
  uint32_t route;    // an HttpRoute; ROUTE_NONE for an error's answer
  uint32_t sinceMs;  // accepted; then the last progress
  uint32_t received;
  uint32_t outLength;
  uint32_t outSent;
  const char* body;  // the page, sent from the resource itself
  uint32_t bodyLeft;
  uint32_t nextSequence;  // the next ring sample owed
  uint32_t endSequence;   // one past the last one owed
  char request[kHttpHeadBytes];
  char out[kRemoteSendBytes];
};

struct RemoteServer {
  SOCKET listener;
  HANDLE listenerEvent;  // auto-reset events, made once
  HANDLE clientEvents[kRemoteSlotCount];
  const char* page;
  uint32_t pageBytes;
  char hostName[kHostNameBytes];  // the module's name; empty when unknown
  RemoteClient clients[kRemoteSlotCount];  // the first kRemoteClientSlots serve; the rest only answer 503
  RingSample batch[kRemoteCopyBatch];
  char line[kRecordLineChars];
};

// Set at start-up, before the sampling thread exists.
static uint32_t g_endpointOn;
// Written by the sampling thread and copied out by the endpoint's, both under
// the state lock and around pure code only.
static RecordRing g_recordRing;
static uint32_t g_publishedMs;  // the tick count of the newest sample's publication
// The endpoint's thread's alone once it runs.
static RemoteServer g_server;

static const char kVersion[] = SELVANE_VERSION_TEXT;

bool RemoteEndpointOn() { return g_endpointOn != 0; }

void PublishRemoteRecord(const RecordFigures& figures) {
  if (!g_endpointOn) return;
  const uint32_t now = GetTickCount();
  EnterStateLock(&g_stateLock);
  PublishRecord(&g_recordRing, figures);
  g_publishedMs = now;
  LeaveStateLock(&g_stateLock);
}

static uint32_t PublishedSamples(uint32_t* publishedMs) {
  EnterStateLock(&g_stateLock);
  const uint32_t published = g_recordRing.published;
  *publishedMs = g_publishedMs;
  LeaveStateLock(&g_stateLock);
  return published;
}

// Copies up to `capacity` samples from `*from` on into the batch, under the
// lock. Returns how many; `*published` takes the ring's count.
static uint32_t CopySamples(uint32_t* from, uint32_t capacity, uint32_t* published) {
  EnterStateLock(&g_stateLock);
  const uint32_t count = CopyRecords(g_recordRing, from, g_server.batch, capacity);
  *published = g_recordRing.published;
  LeaveStateLock(&g_stateLock);
  return count;
}

static void CloseClient(RemoteClient* client) {
  g_winsock.closesocket(client->socket);
  client->state = CLIENT_FREE;
}

// Every byte is out: shut the sending side, and read until the client closes
// (closing with its bytes unread could reset the connection before it has
// read the answer).
static void FinishClient(RemoteClient* client, uint32_t now) {
  g_winsock.shutdown(client->socket, SD_SEND);
  client->state = CLIENT_CLOSING;
  client->sinceMs = now;
}

static void PutHeadLine(ByteText* out, const char* name, const char* value) {
  PutText(out, name);
  PutText(out, ": ");
  PutText(out, value);
  PutText(out, "\r\n");
}

static void PutStatusLine(ByteText* out, uint32_t status) {
  PutText(out, "HTTP/1.1 ");
  PutUnsigned(out, status);
  PutText(out, " ");
  PutText(out, HttpReason(status));
  PutText(out, "\r\n");
}

// The error's short answer; the connection closes after it.
static void AnswerError(RemoteClient* client, uint32_t status) {
  ByteText out = MakeByteText(client->out, kRemoteSendBytes);
  PutStatusLine(&out, status);
  PutHeadLine(&out, "Content-Type", "text/plain");
  PutText(&out, "Content-Length: ");
  PutUnsigned(&out, static_cast<uint32_t>(strlen(HttpReason(status))) + 1);
  PutText(&out, "\r\n");
  if (status == kHttpMethodNotAllowed) PutHeadLine(&out, "Allow", "GET");
  PutHeadLine(&out, "Connection", "close");
  PutText(&out, "\r\n");
  PutText(&out, HttpReason(status));
  PutText(&out, "\n");
  client->state = CLIENT_SENDING;
  client->route = ROUTE_NONE;
  client->outLength = static_cast<uint32_t>(out.length);
  client->outSent = 0;
  client->bodyLeft = 0;
  client->nextSequence = client->endSequence = 0;
}

// A record line (ending "\r\n") as one event, or as it is for the CSV.
static void PutRecordText(ByteText* out, const char* line, bool event) {
  if (!event) {
    PutText(out, line);
    return;
  }
  size_t length = strlen(line);
  while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) --length;
  PutText(out, "data: ");
  PutBytes(out, line, length);
  PutText(out, "\n\n");
}

static void AnswerRoute(RemoteClient* client, uint32_t route) {
  if (route == ROUTE_PAGE && g_server.page == NULL) {
    AnswerError(client, kHttpNotFound);
    return;
  }
  static const char* const kTypes[] = {"", "text/html; charset=utf-8", "text/event-stream",
                                       "text/plain; version=0.0.4; charset=utf-8", "text/csv"};
  ByteText out = MakeByteText(client->out, kRemoteSendBytes);
  PutStatusLine(&out, kHttpOk);
  PutHeadLine(&out, "Content-Type", kTypes[route]);
  if (route == ROUTE_PAGE) {
    PutText(&out, "Content-Length: ");
    PutUnsigned(&out, g_server.pageBytes);
    PutText(&out, "\r\n");
  }
  PutHeadLine(&out, "Cache-Control", "no-store");
  PutHeadLine(&out, "Connection", "close");
  PutHeadLine(&out, "X-Selvane-Module", g_server.hostName);
  PutHeadLine(&out, "X-Selvane-Version", kVersion);
  PutText(&out, "\r\n");

  uint32_t publishedMs = 0;
  uint32_t published = PublishedSamples(&publishedMs);
  client->nextSequence = 0;  // the CSV: from the oldest held to the newest now; the rest owe none
  client->endSequence = route == ROUTE_RECORD ? published : 0;
  if (route == ROUTE_EVENTS || route == ROUTE_RECORD) {
    if (FormatRecordHeader(g_server.line, kRecordLineChars, g_state.processorCount) == 0) g_server.line[0] = '\0';
    if (route == ROUTE_EVENTS) {
      PutText(&out, "retry: ");
      PutUnsigned(&out, kRemoteRetryMs);
      PutText(&out, "\nevent: header\n");
      client->nextSequence = published > 0 ? published - 1 : 0;  // the newest at once, then each new one
      client->endSequence = kNoSequenceEnd;
    }
    PutRecordText(&out, g_server.line, route == ROUTE_EVENTS);
  } else if (route == ROUTE_METRICS) {
    uint32_t from = published > 0 ? published - 1 : 0;
    const bool copied = published > 0 && CopySamples(&from, 1, &published) == 1;
    const RecordFigures figures = SampleFigures(g_server.batch[0]);
    FormatMetrics(&out, copied ? &figures : NULL, kVersion, g_server.hostName);
  }
  if (out.full) {
    AnswerError(client, kHttpUnavailable);
    return;
  }
  client->state = CLIENT_SENDING;
  client->route = route;
  client->outLength = static_cast<uint32_t>(out.length);
  client->outSent = 0;
  client->body = g_server.page;
  client->bodyLeft = route == ROUTE_PAGE ? g_server.pageBytes : 0;
}

// Moves what is still unsent to the front of the buffer.
static void CompactOut(RemoteClient* client) {
  const uint32_t left = client->outLength - client->outSent;
  if (client->outSent > 0 && left > 0) memmove(client->out, client->out + client->outSent, left);
  client->outLength = left;
  client->outSent = 0;
}

// Formats the samples the client is owed into its buffer while they fit.
// Returns false for an event stream whose next event does not fit: its
// client has stopped reading, and it is dropped rather than held.
static bool FillOwedSamples(RemoteClient* client) {
  const bool event = client->route == ROUTE_EVENTS;
  for (uint32_t round = 0; round < kRecordRingSamples / kRemoteCopyBatch + 1; ++round) {
    if (client->nextSequence >= client->endSequence) return true;
    CompactOut(client);
    const uint32_t fit = (kRemoteSendBytes - client->outLength) / kRemoteLineBytes;
    uint32_t from = client->nextSequence;
    uint32_t published = 0;
    uint32_t count = CopySamples(&from, fit < kRemoteCopyBatch ? fit : kRemoteCopyBatch, &published);
    if (from + count > client->endSequence) count = client->endSequence > from ? client->endSequence - from : 0;
    if (count == 0) return !(event && fit == 0 && from < published);
    ByteText out = MakeByteText(client->out + client->outLength, kRemoteSendBytes - client->outLength);
    for (uint32_t i = 0; i < count; ++i) {
      if (FormatRecordLine(g_server.line, kRecordLineChars, SampleFigures(g_server.batch[i])) == 0) continue;
      PutRecordText(&out, g_server.line, event);
    }
    client->outLength += static_cast<uint32_t>(out.length);
    client->nextSequence = from + count;
  }
  return true;
}

// Sends what is pending until the socket takes no more. Returns false when
// the connection has failed.
static bool SendPending(RemoteClient* client, uint32_t now) {
  for (uint32_t round = 0; round < kRemoteSendRounds; ++round) {
    const bool fromBuffer = client->outSent < client->outLength;
    if (!fromBuffer && client->bodyLeft == 0) return true;
    const char* data = fromBuffer ? client->out + client->outSent : client->body;
    const uint32_t size = fromBuffer ? client->outLength - client->outSent
                                     : (client->bodyLeft < kRemoteSendBytes ? client->bodyLeft : kRemoteSendBytes);
    const int sent = g_winsock.send(client->socket, data, static_cast<int>(size), 0);
    if (sent == SOCKET_ERROR) return g_winsock.WSAGetLastError() == WSAEWOULDBLOCK;
    if (sent <= 0) return false;
    client->sinceMs = now;
    if (fromBuffer) {
      client->outSent += static_cast<uint32_t>(sent);
    } else {
      client->body += sent;
      client->bodyLeft -= static_cast<uint32_t>(sent);
    }
    if (static_cast<uint32_t>(sent) < size) return true;  // the socket is full
  }
  return true;
}

static bool HasPending(const RemoteClient* client) {
  return client->outSent < client->outLength || client->bodyLeft > 0;
}

static void ServeClient(RemoteClient* client, uint32_t now) {
  if (!SendPending(client, now) || !FillOwedSamples(client) || !SendPending(client, now)) {
    CloseClient(client);
    return;
  }
  const bool owes = client->nextSequence < client->endSequence;
  if (!HasPending(client) && !owes) {
    FinishClient(client, now);
  } else if (HasPending(client) && now - client->sinceMs > kSendStallMs) {
    CloseClient(client);  // takes nothing: it holds its slot and no more
  }
}

static void ReadRequest(RemoteClient* client, uint32_t now) {
  const int got = g_winsock.recv(client->socket, client->request + client->received,
                                 static_cast<int>(kHttpHeadBytes - client->received), 0);
  if (got == SOCKET_ERROR && g_winsock.WSAGetLastError() == WSAEWOULDBLOCK) return;
  if (got <= 0) {
    CloseClient(client);
    return;
  }
  client->received += static_cast<uint32_t>(got);
  const HttpVerdict verdict = JudgeHttpRequest(client->request, client->received, g_server.hostName);
  if (verdict.status == kHttpOk) {
    AnswerRoute(client, verdict.route);
  } else if (verdict.status != kHttpIncomplete) {
    AnswerError(client, verdict.status);
  } else if (client->received >= kHttpHeadBytes) {
    AnswerError(client, kHttpHeadersTooLarge);
  }
  if (client->state == CLIENT_SENDING) ServeClient(client, now);
}

// Reads and drops what the client sends after its request. True when the
// client has closed the connection or it has failed.
static bool ClientGone(RemoteClient* client) {
  const int got = g_winsock.recv(client->socket, client->request, static_cast<int>(kHttpHeadBytes), 0);
  return got == 0 || (got == SOCKET_ERROR && g_winsock.WSAGetLastError() != WSAEWOULDBLOCK);
}

// After the answer: until the client closes or the linger ends. Tried at
// every turn: its event may have come while the answer was still going out.
static void DrainClient(RemoteClient* client, uint32_t now) {
  if (ClientGone(client) || now - client->sinceMs > kRemoteLingerMs) CloseClient(client);
}

// A free slot among [first, end), or null.
static RemoteClient* FreeSlot(uint32_t first, uint32_t end) {
  for (uint32_t i = first; i < end; ++i) {
    if (g_server.clients[i].state == CLIENT_FREE) return &g_server.clients[i];
  }
  return NULL;
}

static void AcceptClients(uint32_t now) {
  for (uint32_t i = 0; i < kRemoteAcceptsPerTick; ++i) {
    const SOCKET socket = g_winsock.accept(g_server.listener, NULL, NULL);
    if (socket == INVALID_SOCKET) return;
    RemoteClient* client = FreeSlot(0, kRemoteClientSlots);
    const bool refused = client == NULL;
    if (refused) client = FreeSlot(kRemoteClientSlots, kRemoteSlotCount);
    if (client == NULL) {
      g_winsock.closesocket(socket);
      continue;
    }
    // Non-blocking, as every socket with events is.
    g_winsock.WSAEventSelect(socket, g_server.clientEvents[client - g_server.clients], FD_READ | FD_WRITE | FD_CLOSE);
    const int sendBytes = kRemoteSocketSendBytes;
    g_winsock.setsockopt(socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBytes), sizeof sendBytes);
    client->socket = socket;
    client->state = CLIENT_READING;
    client->sinceMs = now;
    client->received = 0;
    client->outLength = client->outSent = 0;
    client->bodyLeft = 0;
    if (refused) {
      AnswerError(client, kHttpUnavailable);
      ServeClient(client, now);
    }
  }
}

// An event stream waits for the sampling thread's next publication: due a
// period after the last, looked for a little after that, and again soon
// while it is late. One wake-up a cycle, not a poll.
static uint32_t UntilNextSample() {
  uint32_t publishedMs = 0;
  PublishedSamples(&publishedMs);
  const uint32_t since = GetTickCount() - publishedMs;
  const uint32_t due = kSamplePeriodMs + kRemoteSampleLateMs;
  if (since + kRemoteSamplePollMs < due) return due - since;
  return since < 2 * kSamplePeriodMs ? kRemoteSamplePollMs : kRemoteTickMs;  // a sampler this late is not polled for
}

// Each slot's socket, and the listener, signal an event of their own: a wait
// on the events is one call, and its answer names the socket to attend to.
static DWORD WINAPI RemoteThreadProc(LPVOID) {
  HANDLE events[kRemoteSlotCount + 1];
  RemoteClient* owners[kRemoteSlotCount + 1];
  for (;;) {
    DWORD count = 0;
    events[count] = g_server.listenerEvent;
    owners[count++] = NULL;
    // A request, a linger or an unsent answer signals its event; the
    // timeout serves the time limits and the event streams.
    bool busy = false;
    bool streaming = false;
    for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
      RemoteClient* client = &g_server.clients[i];
      if (client->state == CLIENT_FREE) continue;
      const bool waiting = client->state == CLIENT_SENDING && !HasPending(client);
      streaming = streaming || (waiting && client->route == ROUTE_EVENTS);
      busy = busy || !waiting;
      events[count] = g_server.clientEvents[i];
      owners[count++] = client;
    }
    const uint32_t tickMs = busy ? kRemoteTickMs : streaming ? UntilNextSample() : kRemoteIdleTickMs;
    const DWORD signalled = WaitForMultipleObjects(count, events, FALSE, tickMs) - WAIT_OBJECT_0;
    if (signalled == WAIT_FAILED - WAIT_OBJECT_0) Sleep(tickMs);

    const uint32_t now = GetTickCount();
    if (signalled == 0) AcceptClients(now);
    for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
      RemoteClient* client = &g_server.clients[i];
      const bool attend = signalled > 0 && signalled < count && owners[signalled] == client;
      if (client->state == CLIENT_READING) {
        if (attend) ReadRequest(client, now);
        if (client->state == CLIENT_READING && now - client->sinceMs > kRequestTimeoutMs) {
          AnswerError(client, kHttpRequestTimeout);
        }
      }
      // A stream whose client has gone frees its slot now, not when the
      // next sample fails to send: a reloaded page finds its slot again.
      if (client->state == CLIENT_SENDING && attend && client->route == ROUTE_EVENTS && ClientGone(client)) {
        CloseClient(client);
      }
      if (client->state == CLIENT_SENDING) ServeClient(client, now);
      if (client->state == CLIENT_CLOSING) DrainClient(client, now);
    }
  }
}

// The page compiled into the executable, as it is in the resource.
static void FindPage() {
  g_server.page = NULL;
  g_server.pageBytes = 0;
  HRSRC found = FindResourceW(g_state.instance, MAKEINTRESOURCEW(IDR_REMOTE_PAGE), RT_RCDATA);
  HGLOBAL loaded = found != NULL ? LoadResource(g_state.instance, found) : NULL;
  if (loaded == NULL) return;
  g_server.page = static_cast<const char*>(LockResource(loaded));
  g_server.pageBytes = g_server.page != NULL ? SizeofResource(g_state.instance, found) : 0;
}

static bool Listen(uint32_t port) {
  g_server.listener = g_winsock.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (g_server.listener == INVALID_SOCKET) return false;
  sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  // Network byte order whatever the processor's.
  unsigned char* portBytes = reinterpret_cast<unsigned char*>(&address.sin_port);
  portBytes[0] = static_cast<unsigned char>(port >> 8);
  portBytes[1] = static_cast<unsigned char>(port & 0xFF);
  address.sin_addr.s_addr = INADDR_ANY;
  // Its events make it non-blocking, and its connections too until they get their own.
  if (g_winsock.bind(g_server.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      g_winsock.listen(g_server.listener, kRemoteBacklog) != 0 ||
      g_winsock.WSAEventSelect(g_server.listener, g_server.listenerEvent, FD_ACCEPT) != 0) {
    g_winsock.closesocket(g_server.listener);
    return false;
  }
  return true;
}

bool StartRemoteEndpoint(uint32_t port) {
  if (!BindWinsock()) return false;
  g_server.listenerEvent = CreateEventW(NULL, FALSE, FALSE, NULL);
  bool made = g_server.listenerEvent != NULL;
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    g_server.clientEvents[i] = CreateEventW(NULL, FALSE, FALSE, NULL);
    made = made && g_server.clientEvents[i] != NULL;
  }
  if (!made) {
    WriteDiagnostic("remote: no events for the endpoint; it is off\r\n");
    return false;
  }
  if (!Listen(port)) {
    WriteDiagnostic("remote: cannot listen on port %u (error %d); the endpoint is off\r\n",
                    static_cast<unsigned>(port), g_winsock.WSAGetLastError());
    return false;
  }
  if (g_winsock.gethostname(g_server.hostName, kHostNameBytes) != 0) g_server.hostName[0] = '\0';
  g_server.hostName[kHostNameBytes - 1] = '\0';
  // The name goes into a response header: anything but a host name's
  // letters, digits, '-' and '.' ends it.
  for (char* c = g_server.hostName; *c != '\0'; ++c) {
    const bool allowed = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                         *c == '-' || *c == '.';
    if (!allowed) {
      *c = '\0';
      break;
    }
  }
  FindPage();
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) g_server.clients[i].state = CLIENT_FREE;
  g_endpointOn = 1;
  // The thread is never stopped or waited for: it ends with the process.
  HANDLE thread = CreateThread(NULL, 0, RemoteThreadProc, NULL, 0, NULL);
  if (thread == NULL) {
    g_endpointOn = 0;
    WriteDiagnostic("remote: no thread for the endpoint; it is off\r\n");
    return false;
  }
  CloseHandle(thread);
  return true;
}
