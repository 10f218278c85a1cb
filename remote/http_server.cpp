#include "remote/http_server.h"

#include <string.h>

#include "app/monitor_state.h"
#include "platform/winsock.h"
#include "remote/http_request.h"
#include "remote/metrics_text.h"
#include "remote/record_ring.h"
#include "remote/byte_text.h"
#include "remote/capture_files.h"

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
  uint32_t startedMs;  // the answer's start: an event stream's life counts from it
  uint32_t admitted;   // counts among the kRemoteClientSlots served; else it waits to take an incomplete request's place
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
  RemoteClient clients[kRemoteSlotCount];  // at most kRemoteClientSlots of them admitted
  uint32_t turn;  // the slot served first at the next wake-up: each in turn
  RingSample batch[kRemoteCopyBatch];
  char line[kRecordLineChars];
  char capture[kCaptureBytes];  // one capture file being sent, read whole when its answer starts
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
  PutHeadLine(&out, "X-Content-Type-Options", "nosniff");
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

// Whether a client is still sending the capture buffer.
static bool CaptureBufferBusy() {
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    const RemoteClient& other = g_server.clients[i];
    if (other.state == CLIENT_SENDING && other.route == ROUTE_CAPTURE && other.bodyLeft > 0) return true;
  }
  return false;
}

static void AnswerRoute(RemoteClient* client, const HttpVerdict& verdict) {
  const uint32_t route = verdict.route;
  uint32_t captureBytes = 0;
  if (route == ROUTE_CAPTURE) {
    // One capture at a time is read into the one buffer; the file is read
    // here, on the endpoint's thread, never on the sampling thread.
    if (CaptureBufferBusy()) {
      AnswerError(client, kHttpUnavailable);
      return;
    }
    captureBytes = static_cast<uint32_t>(
        ReadCaptureFile(client->request + verdict.nameStart, verdict.nameLength, g_server.capture, kCaptureBytes));
    if (captureBytes == 0) {
      AnswerError(client, kHttpNotFound);
      return;
    }
  }
  if (route == ROUTE_PAGE && g_server.page == NULL) {
    AnswerError(client, kHttpNotFound);
    return;
  }
  static const char* const kTypes[] = {"", "text/html; charset=utf-8", "text/event-stream",
                                       "text/plain; version=0.0.4; charset=utf-8", "text/csv",
                                       "text/plain; charset=utf-8", "text/csv"};
  ByteText out = MakeByteText(client->out, kRemoteSendBytes);
  PutStatusLine(&out, kHttpOk);
  PutHeadLine(&out, "Content-Type", kTypes[route]);
  if (route == ROUTE_PAGE || route == ROUTE_CAPTURE) {
    PutText(&out, "Content-Length: ");
    PutUnsigned(&out, route == ROUTE_PAGE ? g_server.pageBytes : captureBytes);
    PutText(&out, "\r\n");
  }
  PutHeadLine(&out, "Cache-Control", "no-store");
  PutHeadLine(&out, "X-Content-Type-Options", "nosniff");
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
    // The rules' texts are fixed before this thread starts.
    if (copied) FormatEventCounters(&out, figures, g_state.events.rules);
  } else if (route == ROUTE_CAPTURES) {
    ListCaptureFiles(&out);
  }
  if (out.full) {
    AnswerError(client, kHttpUnavailable);
    return;
  }
  client->state = CLIENT_SENDING;
  client->route = route;
  client->outLength = static_cast<uint32_t>(out.length);
  client->outSent = 0;
  client->body = route == ROUTE_CAPTURE ? g_server.capture : g_server.page;
  client->bodyLeft = route == ROUTE_PAGE ? g_server.pageBytes : captureBytes;
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

enum SendResult { SENT_ALL, SEND_BLOCKED, SEND_FAILED };

// Sends what is pending until it is all out or the socket takes no more.
static uint32_t SendPending(RemoteClient* client, uint32_t now) {
  for (;;) {
    const bool fromBuffer = client->outSent < client->outLength;
    if (!fromBuffer && client->bodyLeft == 0) return SENT_ALL;
    const char* data = fromBuffer ? client->out + client->outSent : client->body;
    const uint32_t size = fromBuffer ? client->outLength - client->outSent
                                     : (client->bodyLeft < kRemoteSendBytes ? client->bodyLeft : kRemoteSendBytes);
    const int sent = g_winsock.send(client->socket, data, static_cast<int>(size), 0);
    if (sent == SOCKET_ERROR) return g_winsock.WSAGetLastError() == WSAEWOULDBLOCK ? SEND_BLOCKED : SEND_FAILED;
    if (sent <= 0) return SEND_FAILED;
    client->sinceMs = now;
    if (fromBuffer) {
      client->outSent += static_cast<uint32_t>(sent);
    } else {
      client->body += sent;
      client->bodyLeft -= static_cast<uint32_t>(sent);
    }
    if (static_cast<uint32_t>(sent) < size) return SEND_BLOCKED;  // FD_WRITE says when it takes more
  }
}

static bool HasPending(const RemoteClient* client) {
  return client->outSent < client->outLength || client->bodyLeft > 0;
}

// An event stream past its life: a last event asks its page to come back at
// once, and it is owed nothing more. A reader that has not taken what is
// pending by now gets no more time: its slot is freed. False when closed.
static bool EndStream(RemoteClient* client) {
  if (HasPending(client)) {
    CloseClient(client);
    return false;
  }
  ByteText out = MakeByteText(client->out, kRemoteSendBytes);
  PutText(&out, "retry: ");
  PutUnsigned(&out, kRemoteStreamEndRetryMs);
  PutText(&out, "\n\n");
  client->outLength = static_cast<uint32_t>(out.length);
  client->outSent = 0;
  client->endSequence = client->nextSequence;
  return true;
}

// Fills and sends until a send would block, nothing more is owed yet, or the
// client's turn ends. True when its turn ended with more it could do at once.
static bool ServeClient(RemoteClient* client, uint32_t now) {
  if (client->route == ROUTE_EVENTS && client->endSequence == kNoSequenceEnd &&
      now - client->startedMs > kRemoteStreamLifeMs && !EndStream(client)) {
    return false;
  }
  for (uint32_t round = 0; round < kRemoteServeRounds; ++round) {
    const uint32_t sent = SendPending(client, now);
    if (sent == SEND_FAILED) {
      CloseClient(client);
      return false;
    }
    if (sent == SEND_BLOCKED) {
      if (now - client->sinceMs > kSendStallMs) CloseClient(client);  // takes nothing: it holds its slot and no more
      return false;
    }
    if (!FillOwedSamples(client)) {
      CloseClient(client);
      return false;
    }
    if (!HasPending(client)) {
      if (client->nextSequence >= client->endSequence) FinishClient(client, now);
      return false;  // done, or an event stream waiting for the next sample
    }
  }
  return true;
}

// Admitted clients still reading or being answered; one whose answer is all
// out only waits for its close.
static uint32_t AdmittedClients() {
  uint32_t admitted = 0;
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    const RemoteClient& client = g_server.clients[i];
    admitted += (client.state == CLIENT_READING || client.state == CLIENT_SENDING) && client.admitted ? 1 : 0;
  }
  return admitted;
}

// A whole request from a connection past the served ones is served if a
// served client has left since it came, else takes the place of the admitted
// request that has stayed incomplete longest: a few slow senders cannot keep
// every other client out. False when every admitted client has a whole request.
static bool TakeIncompletePlace(RemoteClient* newcomer, uint32_t now) {
  if (AdmittedClients() < kRemoteClientSlots) {
    newcomer->admitted = 1;
    return true;
  }
  RemoteClient* oldest = NULL;
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    RemoteClient* client = &g_server.clients[i];
    if (client->state == CLIENT_READING && client->admitted &&
        (oldest == NULL || now - client->sinceMs > now - oldest->sinceMs)) {
      oldest = client;
    }
  }
  if (oldest == NULL) return false;
  CloseClient(oldest);
  newcomer->admitted = 1;
  return true;
}

// True when the answer has more to send at once.
static bool ReadRequest(RemoteClient* client, uint32_t now) {
  const int got = g_winsock.recv(client->socket, client->request + client->received,
                                 static_cast<int>(kHttpHeadBytes - client->received), 0);
  if (got == SOCKET_ERROR && g_winsock.WSAGetLastError() == WSAEWOULDBLOCK) return false;
  if (got <= 0) {
    CloseClient(client);
    return false;
  }
  client->received += static_cast<uint32_t>(got);
  const HttpVerdict verdict = JudgeHttpRequest(client->request, client->received, g_server.hostName);
  client->startedMs = now;  // the wake-up's time, as every limit compares with
  if (verdict.status == kHttpOk && !client->admitted && !TakeIncompletePlace(client, now)) {
    AnswerError(client, kHttpUnavailable);
  } else if (verdict.status == kHttpOk) {
    AnswerRoute(client, verdict);
  } else if (verdict.status != kHttpIncomplete) {
    AnswerError(client, verdict.status);
  } else if (client->received >= kHttpHeadBytes) {
    AnswerError(client, kHttpHeadersTooLarge);
  }
  return client->state == CLIENT_SENDING && ServeClient(client, now);
}

// A receive into `buffer`: true when the peer has closed the connection or
// it has failed, false when bytes came or none wait.
static bool PeerGone(const RemoteClient* client, char* buffer, int length, int flags) {
  const int got = g_winsock.recv(client->socket, buffer, length, flags);
  return got == 0 || (got == SOCKET_ERROR && g_winsock.WSAGetLastError() != WSAEWOULDBLOCK);
}

// Reads and drops what the client sends after its request. True when the
// client has closed the connection or it has failed.
static bool ClientGone(RemoteClient* client) {
  return PeerGone(client, client->request, static_cast<int>(kHttpHeadBytes), 0);
}

// After the answer: until the client closes or the linger ends. Tried at
// every turn: its event may have come while the answer was still going out.
static void DrainClient(RemoteClient* client, uint32_t now) {
  if (ClientGone(client) || now - client->sinceMs > kRemoteLingerMs) CloseClient(client);
}

// Whether a client still sending its request has gone, its bytes left unread.
static bool ReaderGone(const RemoteClient* client) {
  char byte;
  return PeerGone(client, &byte, 1, MSG_PEEK);
}

// A free slot, or null. With every slot taken, a reader that has gone gives
// up its slot: under Wine the notice of a connection reset as it was taken
// can be lost, and its slot would stay taken until the request's time limit.
static RemoteClient* FreeSlot() {
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    if (g_server.clients[i].state == CLIENT_FREE) return &g_server.clients[i];
  }
  for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
    RemoteClient* client = &g_server.clients[i];
    if (client->state == CLIENT_READING && ReaderGone(client)) {
      CloseClient(client);
      return client;
    }
  }
  return NULL;
}

// Takes what waits on the listening socket. True when more may wait than
// one wake-up takes.
static bool AcceptClients(uint32_t now) {
  for (uint32_t i = 0; i < kRemoteAcceptsPerTick; ++i) {
    const SOCKET socket = g_winsock.accept(g_server.listener, NULL, NULL);
    // A connection reset while it waited fails alone; the rest still wait.
    if (socket == INVALID_SOCKET && g_winsock.WSAGetLastError() == WSAEWOULDBLOCK) return false;
    if (socket == INVALID_SOCKET) continue;
    RemoteClient* client = FreeSlot();
    // Non-blocking, as every socket with events is; one that cannot have its
    // events could never be served.
    if (client == NULL ||
        g_winsock.WSAEventSelect(socket, g_server.clientEvents[client - g_server.clients], FD_READ | FD_WRITE | FD_CLOSE) !=
            0) {
      g_winsock.closesocket(socket);
      continue;
    }
    const int sendBytes = kRemoteSocketSendBytes;
    g_winsock.setsockopt(socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBytes), sizeof sendBytes);
    client->socket = socket;
    client->state = CLIENT_READING;
    client->sinceMs = now;
    client->received = 0;
    client->outLength = client->outSent = 0;
    client->bodyLeft = 0;
    client->admitted = 0;  // not counting itself
    client->admitted = AdmittedClients() < kRemoteClientSlots ? 1 : 0;
  }
  return true;
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

// No wait position: a slot accepted after the wait.
static const DWORD kNotWaitedOn = kRemoteSlotCount + 1;

// Whether slot `index`'s event was set (and resets it). The wait answers for
// the events before the one it names, which is the first one set, and for
// all of them when it timed out; only the rest are asked (each a server round
// trip under Wine).
static bool Signalled(uint32_t index, DWORD woken, const DWORD* positionOf) {
  const DWORD position = positionOf[index];
  if (position == woken) return true;
  if (position != kNotWaitedOn && position < woken) return false;
  return WaitForSingleObject(g_server.clientEvents[index], 0) == WAIT_OBJECT_0;
}

// Each slot's socket, and the listener, signal an event of their own: one
// wait on the events sleeps until any socket has news or a time limit is due.
static DWORD WINAPI RemoteThreadProc(LPVOID) {
  HANDLE events[kRemoteSlotCount + 1];
  DWORD positionOf[kRemoteSlotCount];
  bool again = false;        // a client or the listener has more to do at once
  bool acceptsLeft = true;   // the last accepts stopped before the queue was empty
  for (;;) {
    DWORD count = 0;
    events[count++] = g_server.listenerEvent;
    // A request, a linger or a blocked answer is watched at the short tick;
    // only event streams waiting for a sample: until it is due.
    bool busy = false;
    bool streaming = false;
    for (uint32_t i = 0; i < kRemoteSlotCount; ++i) {
      const RemoteClient* client = &g_server.clients[i];
      positionOf[i] = kNotWaitedOn;
      if (client->state == CLIENT_FREE) continue;
      const bool waiting = client->state == CLIENT_SENDING && !HasPending(client);
      streaming = streaming || (waiting && client->route == ROUTE_EVENTS);
      busy = busy || !waiting;
      positionOf[i] = count;
      events[count++] = g_server.clientEvents[i];
    }
    const uint32_t tickMs = again ? 0 : busy ? kRemoteTickMs : streaming ? UntilNextSample() : kRemoteIdleTickMs;
    DWORD woken = WaitForMultipleObjects(count, events, FALSE, tickMs) - WAIT_OBJECT_0;
    if (woken == WAIT_FAILED - WAIT_OBJECT_0) {
      // The wait told nothing: the listener and every client are asked.
      Sleep(kRemoteTickMs);
      woken = 0;
    } else if (woken >= count) {
      woken = WAIT_TIMEOUT - WAIT_OBJECT_0;
    }

    const uint32_t now = GetTickCount();
    // The listener's event comes first: it is set only when the wait names
    // it. A wait that timed out asks the listener too: under Wine an accept
    // that fails can leave the listener's notice spent with nothing taken,
    // and no later connection is signalled until one is accepted.
    const bool timedOut = woken == WAIT_TIMEOUT - WAIT_OBJECT_0;
    acceptsLeft = (woken == 0 || acceptsLeft || timedOut) && AcceptClients(now);
    again = acceptsLeft;
    const uint32_t first = g_server.turn;
    g_server.turn = (g_server.turn + 1) % kRemoteSlotCount;
    for (uint32_t n = 0; n < kRemoteSlotCount; ++n) {
      const uint32_t i = (first + n) % kRemoteSlotCount;
      RemoteClient* client = &g_server.clients[i];
      if (client->state == CLIENT_READING) {
        if (Signalled(i, woken, positionOf)) again = ReadRequest(client, now) || again;
        if (client->state == CLIENT_READING && !client->admitted && now - client->sinceMs > kRemoteAdmitWaitMs) {
          AnswerError(client, kHttpUnavailable);
        } else if (client->state == CLIENT_READING && now - client->sinceMs > kRequestTimeoutMs) {
          AnswerError(client, kHttpRequestTimeout);
        }
      } else if (client->state == CLIENT_SENDING && client->route == ROUTE_EVENTS && Signalled(i, woken, positionOf) &&
                 ClientGone(client)) {
        // A stream whose client has gone frees its slot now, not when the
        // next sample fails to send: a reloaded page finds its slot again.
        CloseClient(client);
      }
      if (client->state == CLIENT_SENDING) again = ServeClient(client, now) || again;
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
  g_server.turn = 0;
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
