// Every fixed number of the monitor, in one place. Pure: no Windows header.
#ifndef SELVANE_APP_CONSTANTS_H
#define SELVANE_APP_CONSTANTS_H

#include "platform/fixed_width.h"

// Identity
#define SELVANE_CAPTION L"Selvane Monitor 1.2"

// Sampling
const uint32_t kMaxProcessors = 4;               // the data model holds four processors
const uint32_t kSamplePeriodMs = 1000;           // one cycle a second
const uint32_t kCountPeriodCycles = 2;           // the totals counted without a pass: every other cycle,
const uint32_t kCountRefreshCycles = 30;         // or on a change of the records' size and every thirtieth
const uint32_t kReportBufferChars = 512;         // the sampler's one text buffer
const uint32_t kUserKDataProcessorCount = 0x88;  // __GetUserKData offset of the processor count
// CeGetProcessorState's answers (kfuncs.h, gg156683); 0 is a failed query.
const uint32_t kProcessorPoweredOff = 1;
const uint32_t kProcessorInTransition = 3;
const float kFractionPerPercent = 0.01f;         // the platform's memory load percent to a fraction
const float kFullClockScale = 1.0f;              // the CPU clock at its high corner: loads unscaled
// The Performance page's four totals, in the order a cycle writes them.
const uint32_t kTotalFieldProcesses = 0;
const uint32_t kTotalFieldThreads = 1;
const uint32_t kTotalFieldPhysical = 2;
const uint32_t kTotalFieldAvailable = 3;
const uint32_t kTotalFieldCount = 4;
// The Performance page's four graphic controls, in the order a cycle draws them.
const uint32_t kGraphCpuGauge = 0;
const uint32_t kGraphCpuHistory = 1;
const uint32_t kGraphMemGauge = 2;
const uint32_t kGraphMemHistory = 3;
const uint32_t kGraphCount = 4;

// Resource manager
const uint32_t kClockDomainCount = 7;  // 1 CPU, 2 AVP, 3 SYS, 4 AHB, 5 APB, 6 VID, 7 EMC
const uint32_t kDomainCpu = 1;
const uint32_t kDomainAvp = 2;
const uint32_t kDomainSys = 3;
const uint32_t kDomainAhb = 4;
const uint32_t kDomainApb = 5;
const uint32_t kDomainVid = 6;
const uint32_t kDomainEmc = 7;
const uint32_t kMemStatCount = 6;  // 1..6: carveout total/used/lfb, GART total/used/lfb
const uint32_t kStatCarveoutTotal = 1;
const uint32_t kStatCarveoutUsed = 2;
const uint32_t kStatCarveoutLargestFree = 3;
const uint32_t kStatGartTotal = 4;
const uint32_t kStatGartUsed = 5;
const uint32_t kStatGartLargestFree = 6;
const uint32_t kTemperatureModule = 1;
const uint32_t kTemperatureCpu = 2;
const uint32_t kDfsStateStopped = 2;
const uint32_t kDfsStateRunning = 3;
const uint32_t kTargetListCount = 8;
const uint32_t kTargetUnchanged = 0xFFFFFFFFu;
const uint32_t kKhzPerMhz = 1000;
const uint32_t kDefaultTargetMhz = 1000;
const uint32_t kMaxTargetKhz = 4294967000u;  // the largest whole-MHz value that fits in kHz
const int kPoolShift = 10;                   // bytes to kB
const uint64_t kPercent = 100;
const uint32_t kStatusNumberCount = 20;     // numbers in the status block
const uint64_t kLargestInt32 = 0x7FFFFFFF;  // the largest signed 32-bit number
const uint32_t kIntChars = 11;              // the longest 32-bit number in decimal, sign included
const uint32_t kUnsigned64Digits = 20;      // 2^64 - 1 in decimal
const uint32_t kRmDeviceId = 0;             // the open's second argument
const long kGraphTagCpu = 0;                // user data of the CPU gauge and history
const long kGraphTagMemory = 1;             // user data of the memory gauge and history

// Drawing (colours as 0x00BBGGRR)
const uint32_t kColourBackground = 0x000000;
const uint32_t kColourLevel = 0x00FF00;
const uint32_t kColourTrough = 0x008000;
const uint32_t kColourMark = 0x00FFFF;  // yellow: an event's mark on the histories, a colour no trace uses
const int kHistoryPoints = 60;
const uint32_t kByteFieldLeftDlu = 190;  // byte-count fields reach left to just past their labels
const float kFractionLimit = 16.0f;      // keeps every float-to-int product representable
const double kPercentPerFraction = 100.0;

// Load gauges, in client pixels. One processor, and the memory gauge:
const int32_t kGaugeSingleBarSide = 15;  // bar's left and right margin
const int32_t kGaugeSingleBarTop = 5;
const int32_t kGaugeSingleBarBottom = 25;  // bar ends this far above the client bottom
const int32_t kGaugeSingleFigure = 20;     // figure strip along the client bottom
// Two and four processors: bars side by side over a figure strip.
const int32_t kGaugeBarTop = 4;
const int32_t kGaugeFigure = 15;     // figure strip; the bars end on its top
const int32_t kGaugeBarGapHalf = 1;  // columns each side of a border between bars
const int32_t kGaugeSideTwo = 4;     // two processors: left and right margin
const int32_t kGaugeLeftFour = 1;    // four: one column free on the left,
const int32_t kGaugeRightFour = 2;   // two on the right
// A figure's text: "%.1f%%" of the largest float is 45 characters.
const uint32_t kGaugeFigureChars = 48;

// History graphs, in client pixels.
const int32_t kHistoryMarginY = 5;     // above and below every area
const int32_t kHistorySideWide = 5;    // one or two series: margin at each side of an area
const int32_t kHistorySideNarrow = 2;  // three or four series
const int kHistoryPenWidth = 1;

// Process table
const uint32_t kProcessCapacity = 1024;
const uint32_t kProcessNameChars = 130;
const uint32_t ENTRY_NEW = 0x10000000u;
const uint32_t ENTRY_UNSEEN = 0x20000000u;
const uint32_t ENTRY_CHANGED = 0x40000000u;
const uint32_t kSnapshotNameChars = 260;  // an executable name as the snapshot gives it (MAX_PATH)
// Rows are found by process id through an open-addressing index at most half full.
const uint32_t kProcessIndexBits = 11;
const uint32_t kProcessIndexSlots = 1u << kProcessIndexBits;
const uint32_t kProcessIdHashMultiplier = 0x9E3779B1u;  // spreads ids that step by 4
const uint32_t kProcessIdStep = 4;  // process ids mostly step by 4: the affinity reads take turns by id / 4
const uint32_t kNoProcessRow = 0xFFFFFFFFu;
// The desktop's process records: the buffer they are read into starts with
// room for about 20,000 threads and grows, as the system asks, up to a bound.
const uint32_t kProcessRecordBytesFirst = 2u << 20;
const uint32_t kProcessRecordBytesLimit = 64u << 20;
// The threads a pass reads: the listed process's, and on the device, whose
// process times are summed from their threads, every thread of the system.
const uint32_t kPassThreadCapacity = 4096;
// A listed process's affinity is read every kAffinityReadPasses passes (each
// read opens the process), a new one's at once, and one the menu has just
// bound at the next pass.
const uint32_t kAffinityReadPasses = 5;

// Per-process and per-thread figures
const uint64_t kTicksPerSecond = 10000000u;  // CPU and elapsed times count 100 ns units
const uint64_t kTicksPerMs = 10000u;
const uint64_t kSecondsPerMinute = 60;
const uint64_t kSecondsPerHour = 3600;
const uint64_t kBytesPerKilobyte = 1024u;
const uint64_t kNoFigure = ~static_cast<uint64_t>(0);  // a figure the platform could not give: empty text
const uint32_t FIGURE_CPU_TIME = 0x1u;                 // which figures a read could give
const uint32_t FIGURE_MEMORY = 0x2u;
const uint32_t FIGURE_AFFINITY = 0x4u;
const uint32_t FIGURE_PRIORITY = 0x8u;

// Thread list: the threads of the process "Show Threads" chose. A process
// with more threads shows the first ones seen until a row frees.
const uint32_t kThreadCapacity = 256;
const uint32_t kThreadIndexBits = 9;
const uint32_t kThreadIndexSlots = 1u << kThreadIndexBits;

// Processes page list columns (sub-items)
const int kColumnName = 0;
const int kColumnId = 1;
const int kColumnPid = 2;
const int kColumnCpu = 3;
const int kColumnCpuTime = 4;
const int kColumnMemUsage = 5;
const int kColumnThreads = 6;
const int kColumnAffinity = 7;
const int kProcessColumnWidths[] = {80, 35, 70, 35, 65, 70, 60, 60};  // pixels, by column
const uint32_t kProcessColumnCount = 8;

// The process list as shown: a process that appears is marked new for a few
// seconds; one that ends stays, marked ended, for a few seconds, at most
// kEndedRowCapacity at once (more leave at once).
const uint32_t kNewRowMs = 3000;
const uint32_t kEndedRowMs = 3000;
const uint32_t kEndedRowCapacity = 64;
const uint32_t kViewCapacity = kProcessCapacity + kEndedRowCapacity;
const uint32_t kViewIndexBits = 12;  // by serial, at most half full
const uint32_t kViewIndexSlots = 1u << kViewIndexBits;
// Every step a pass can give: each item deleted, or moved (deleted and
// inserted) and its texts rewritten, and every new one inserted.
const uint32_t kViewStepCapacity = 3 * kViewCapacity;
// The marks' background colours, as RGB(r, g, b) takes them.
const uint32_t kNewRowRed = 176, kNewRowGreen = 240, kNewRowBlue = 176;     // light green
const uint32_t kEndedRowRed = 248, kEndedRowGreen = 184, kEndedRowBlue = 184;  // light red
const int kThreadColumnTid = 0;
const int kThreadColumnPriority = 1;
const int kThreadColumnCpu = 2;
const int kThreadColumnAffinity = 3;
const int kThreadColumnWidths[] = {70, 70, 40, 60};

// A refused command's box: the platform's text of its error.
const uint32_t kRefusalChars = 256;

// Record mode (/l): one line of figures a cycle on standard output, or with
// a path (/l\Temp\run.csv) into that file through the writer thread.
const uint32_t kRecordLineChars = 640;
const uint32_t kMsPerSecond = 1000;
const uint32_t kPathChars = 260;             // a file's path (MAX_PATH), terminator included
const uint32_t kRecordQueueBytes = 65536;    // record lines waiting for the store: about 4 minutes
const uint32_t kWriterChunkBytes = 8192;     // what the writer takes out of the queue at once

// Events: what happened to the clocks and the triggers, kept with the record.
const uint32_t kEventTextChars = 40;         // one event's text, terminator included
const uint32_t kEventLogCapacity = 64;       // the newest events kept
const uint32_t kEventsFieldChars = 160;      // one cycle's events joined with ';' in the record
const uint32_t kTargetNoteCapacity = 8;      // targets set from the page between two cycles
// A clock domain's step while scaling runs is an event when it moves the
// clock by at least this share of the domain's high corner in one cycle.
const uint32_t kStepEventPercent = 25;
enum EventKind { EVENT_DFS = 1, EVENT_TARGET = 2, EVENT_STEP = 3, EVENT_TRIGGER = 4 };

// Triggers (/t): a record field, > or <, a number.
const uint32_t kMaxTriggerRules = 8;
const uint32_t kRuleTextChars = 48;          // a rule as written, terminator included
const uint32_t kRuleNumberDigits = 15;       // digits a rule's number may have
const uint32_t kTriggerHoldOffCycles = 10;   // back on the near side this long before a rule re-arms
// Captures: the cycles before and after a crossing, written by the writer thread.
const uint32_t kCaptureCyclesBefore = 60;
const uint32_t kCaptureCyclesAfter = 60;
const uint32_t kCaptureLines = kCaptureCyclesBefore + 1 + kCaptureCyclesAfter;
const uint32_t kCaptureRingLines = kCaptureLines + 60;  // a minute's slack while the store is slow
const uint32_t kCaptureBytes = (kCaptureLines + 1) * kRecordLineChars;  // the header and the lines
const uint32_t kMaxCaptures = 8;             // the oldest capture file goes when a ninth is written
const uint32_t kCaptureNameChars = 64;

// Platform text buffers
const uint32_t kDebugPrintChars = 256;  // one line of the wide debug print
const uint32_t kDebugPieceChars = 120;  // the device's debug print takes under 128 characters a call
const uint32_t kDiagnosticChars = 768;  // one diagnostic or record line, formatted
const uint32_t kEntryNameChars = 128;   // an entry-point name looked up by wide name

// Context menu positions
const uint32_t kMenuPositionKill = 0;
const uint32_t kMenuPositionShowThreads = 1;
const uint32_t kMenuPositionPriority = 2;
const uint32_t kMenuPositionAffinity = 3;
const uint32_t kGestureContextMenu = 1000;     // GN_CONTEXTMENU, absent from desktop headers
const int kKeyboardMenuPosition = -1;          // WM_CONTEXTMENU's x and y when a key asked for the menu
const uint32_t kAffinityTwoProcessorLast = 2;  // "CPU2": the last item a two-processor layout offers
// "Set Priority" levels, by their position in the sub-menu.
const uint32_t kPriorityHigh = 0;
const uint32_t kPriorityNormal = 1;
const uint32_t kPriorityLow = 2;
const uint32_t kPriorityLevelCount = 3;
const uint32_t kPriorityUnknown = 3;  // a class or level none of the three stands for
// The device's thread levels: 0 (highest) to 255; the legacy application
// levels are 248 (time critical) to 255 (idle), the rest real-time and drivers'.
const int kCeLevelApplicationFirst = 248;
const int kCeLevelHighest = 249;
const int kCeLevelNormal = 251;
const int kCeLevelIdle = 255;

// Remote endpoint (/r): a read-only HTTP server on its own thread.
const uint32_t kRemoteDefaultPort = 9231;      // /r without a port
const uint32_t kRemotePortMax = 65535;
const uint32_t kRemotePortDigits = 5;
const uint32_t kRecordRingSamples = 600;       // the last 10 minutes, one sample a cycle
const uint32_t kRemoteClientSlots = 4;         // clients served at once
const uint32_t kRemoteRefusalSlots = 2;        // more connections: served only in place of an incomplete request, else 503
const uint32_t kRemoteSlotCount = kRemoteClientSlots + kRemoteRefusalSlots;
const uint32_t kRemoteBacklog = 8;
const uint32_t kHttpHeadBytes = 4096;          // a request's line and headers; more: 431
const uint32_t kHttpRequestLineBytes = 1024;   // its request line; more: 414
const uint32_t kHttpHostChars = 255;           // a Host value
const uint32_t kRemoteSendBytes = 8192;        // each client's unsent response
const int kRemoteSocketSendBytes = 16384;      // the socket's own send buffer, kept small so a
                                               // stream client that stops reading shows soon
const uint32_t kRemoteTickMs = 250;            // the server's wait while a request or a blocked answer is under way
const uint32_t kRemoteIdleTickMs = 5000;       // with no client: nothing to do but accept
const uint32_t kRemoteSampleLateMs = 40;       // an event stream looks for the next sample this long after it is due,
const uint32_t kRemoteSamplePollMs = 40;       // then this often while it is late
const uint32_t kRequestTimeoutMs = 5000;       // a whole request within this, or the client is dropped
const uint32_t kSendStallMs = 10000;           // a response that makes no progress this long: dropped
const uint32_t kRemoteLingerMs = 1000;         // after the last byte: reading what the client still sends
const uint32_t kRemoteAcceptsPerTick = 16;     // more waiting: the next wait does not sleep
const uint32_t kRemoteAdmitWaitMs = 500;       // a connection past the served ones: its request whole within this, or 503
const uint32_t kRemoteStreamLifeMs = 60000;    // an event stream ends after this; its page reconnects at once
const uint32_t kRemoteStreamEndRetryMs = 100;  // the reconnection delay its last event asks for
const uint32_t kRemoteCopyBatch = 8;           // ring samples copied under one lock
const uint32_t kRemoteLineBytes = kRecordLineChars + 16;  // a record line as an event, "data: ...\n\n"
const uint32_t kNoSequenceEnd = 0xFFFFFFFFu;   // an event stream is owed every sample to come
const uint32_t kRemoteServeRounds = 8;         // fills and sends a client gets per wake-up before the others' turn
const uint32_t kRemoteRetryMs = 2000;          // an event stream client's reconnection delay
const uint32_t kWinsockMajor = 2;             // Winsock 2.2, which the device's ws2 gives
const uint32_t kWinsockMinor = 2;
const uint32_t kHostNameBytes = 64;            // the machine's own name
const uint32_t kRatioScale = 10000;            // ratios in the metrics: four decimals
const uint32_t kRatioDecimals = 4;
const uint32_t kScaledDecimalsMax = 6;         // the most a scaled figure's text carries
const uint32_t kHertzPerKhz = 1000;
const uint32_t kMsDecimals = 3;                // seconds with milliseconds
const uint32_t kTemperatureZoneCount = 2;      // module, CPU
const uint32_t kPoolCount = 2;                 // carveout, GART
const uint32_t kPoolFigureCount = 3;           // total, used, largest free: statistics 1..3 of each pool
// HTTP status codes the endpoint answers with (kHttpIncomplete: not a
// status, read more; 403: a Host that is neither an address nor this machine).
enum HttpStatus {
  kHttpIncomplete = 0, kHttpOk = 200, kHttpBadRequest = 400, kHttpForbidden = 403, kHttpNotFound = 404,
  kHttpMethodNotAllowed = 405, kHttpRequestTimeout = 408, kHttpUriTooLong = 414, kHttpHeadersTooLarge = 431,
  kHttpUnavailable = 503
};
const uint32_t kIpv4Parts = 4;
const uint32_t kIpv4PartMax = 255;
const uint32_t kIpv6TextMax = 45;              // the longest IPv6 address in text

#endif
