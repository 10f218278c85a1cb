// The remote endpoint (/r): a read-only HTTP/1.1 server on its own thread.
// It serves the page (GET /), the record as a stream of Server-Sent Events
// (/events), the metrics for Prometheus (/metrics) and the last 10 minutes
// as CSV (/record.csv) to at most kRemoteClientSlots clients at once, from
// fixed buffers, with non-blocking sockets. It changes nothing.
#ifndef SELVANE_REMOTE_HTTP_SERVER_H
#define SELVANE_REMOTE_HTTP_SERVER_H

#include "platform/win32.h"
#include "sampler/record_line.h"

// Binds Winsock, listens on every interface at `port` and starts the
// endpoint's thread. Called at start-up, before the sampling thread exists.
// Any failure is one diagnostic line, and the monitor carries on without it.
bool StartRemoteEndpoint(uint32_t port);

// Whether the endpoint runs (fixed once the sampling thread exists).
bool RemoteEndpointOn();

// The sampling thread's copy of one cycle's figures into the endpoint's ring,
// under the state lock; nothing while the endpoint is off.
void PublishRemoteRecord(const RecordFigures& figures);

#endif
