#include "sampler/record_output.h"

#include <cstring>
#include <cwchar>

#include "app/monitor_state.h"
#include "app/text_format.h"
#include "sampler/capture_ring.h"
#include "sampler/line_queue.h"
#include "sampler/record_line.h"

static const wchar_t kCapturePattern[] = L"cap-*.csv";

struct RecordOutput {
  CRITICAL_SECTION lock;  // around the queue and the capture hand-over only
  HANDLE wake;            // the writer's: lines or a capture wait
  uint32_t toFile;        // set at start: the record goes into the queue
  // Under the lock:
  LineQueue queue;
  uint32_t captureBusy;  // the writer owns the capture below until it clears this
  // The writer's:
  HANDLE file;
  uint32_t fileFailed;  // the file refused a write: the rest goes to standard output
  char chunk[kWriterChunkBytes];
  char captureText[kCaptureBytes];
  size_t captureLength;
  wchar_t capturePath[kPathChars + kCaptureNameChars];
  // Set at start:
  wchar_t folder[kPathChars];  // the captures', ending in '\' (or empty: the current folder)
  char header[kRecordLineChars];
  // The sampling thread's:
  CaptureRing ring;
};

static RecordOutput g_output;

// Lines of `text` as diagnostic lines: where the record goes once its file failed.
static void WriteAsDiagnostics(const char* text, size_t length) {
  size_t start = 0;
  while (start < length) {
    size_t end = start;
    while (end < length && text[end] != '\n') ++end;
    if (end < length) ++end;
    WriteDiagnostic("%.*s", static_cast<int>(end - start), text + start);
    start = end;
  }
}

static void WriteRecordChunk(const char* text, size_t length) {
  if (!g_output.fileFailed) {
    DWORD written = 0;
    if (WriteFile(g_output.file, text, static_cast<DWORD>(length), &written, NULL) && written == length) return;
    // A full store, a read-only one, a card pulled out: said once, and
    // nothing is lost: what the file did not take goes to standard output.
    WriteDiagnostic("record: writing %ls failed (error %lu); the record goes to standard output from here\r\n",
                    g_state.recordPath, static_cast<unsigned long>(GetLastError()));
    g_output.fileFailed = 1;
    text += written;
    length -= written;
  }
  WriteAsDiagnostics(text, length);
}

// The oldest capture files go while kMaxCaptures or more are in the folder.
static void PruneCaptures() {
  wchar_t pattern[kPathChars + kCaptureNameChars];
  wchar_t oldest[kPathChars + kCaptureNameChars];
  for (;;) {
    FormatWide(pattern, kPathChars + kCaptureNameChars, L"%ls%ls", g_output.folder, kCapturePattern);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    uint32_t count = 0;
    oldest[0] = L'\0';
    do {
      if (!IsCaptureName(found.cFileName)) continue;
      ++count;
      if (oldest[0] == L'\0' || wcscmp(found.cFileName, oldest) < 0) {
        FormatWide(oldest, kPathChars + kCaptureNameChars, L"%ls", found.cFileName);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (count < kMaxCaptures) return;
    FormatWide(pattern, kPathChars + kCaptureNameChars, L"%ls%ls", g_output.folder, oldest);
    if (!DeleteFileW(pattern)) return;
  }
}

static void WriteCapture() {
  PruneCaptures();
  HANDLE file = CreateFileW(g_output.capturePath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD written = 0;
  const bool wrote = file != INVALID_HANDLE_VALUE &&
                     WriteFile(file, g_output.captureText, static_cast<DWORD>(g_output.captureLength), &written, NULL) &&
                     written == g_output.captureLength;
  const DWORD error = GetLastError();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (wrote) {
    WriteDiagnostic("capture: %ls\r\n", g_output.capturePath);
    return;
  }
  // The ring in memory stays whole; a part-written file is not left as if it were a capture.
  if (file != INVALID_HANDLE_VALUE) DeleteFileW(g_output.capturePath);
  WriteDiagnostic("capture: writing %ls failed (error %lu); the monitor goes on\r\n", g_output.capturePath,
                  static_cast<unsigned long>(error));
}

static DWORD WINAPI WriterThreadProc(LPVOID) {
  for (;;) {
    WaitForSingleObject(g_output.wake, INFINITE);
    for (;;) {
      EnterCriticalSection(&g_output.lock);
      const size_t length = TakeLines(&g_output.queue, g_output.chunk, kWriterChunkBytes);
      const uint32_t lost = g_output.queue.lost;
      g_output.queue.lost = 0;
      LeaveCriticalSection(&g_output.lock);
      if (lost != 0) {
        WriteDiagnostic("record: %lu lines found no room while the store was slow and are not in the record\r\n",
                        static_cast<unsigned long>(lost));
      }
      if (length == 0) break;
      WriteRecordChunk(g_output.chunk, length);
    }
    EnterCriticalSection(&g_output.lock);
    const uint32_t capture = g_output.captureBusy;
    LeaveCriticalSection(&g_output.lock);
    if (capture) {
      WriteCapture();
      EnterCriticalSection(&g_output.lock);
      g_output.captureBusy = 0;
      LeaveCriticalSection(&g_output.lock);
    }
  }
}

static void CompileRules(const char* header) {
  EventState* events = &g_state.events;
  for (uint32_t r = 0; r < g_state.ruleTextCount; ++r) {
    const wchar_t* text = g_state.ruleTexts[r];
    const uint32_t chars = g_state.ruleTextChars[r];
    const RuleVerdict verdict = ParseTriggerRule(text, chars, header, &events->rules[events->ruleCount]);
    if (verdict == RULE_OK) {
      ++events->ruleCount;
    } else {
      WriteDiagnostic("trigger: /t%.*ls %s; it is off\r\n", static_cast<int>(wcslen(text)), text,
                      RuleVerdictText(verdict));
    }
  }
  if (g_state.rulesOver > 0) {
    WriteDiagnostic("trigger: %lu rules beyond the first %lu are off\r\n", static_cast<unsigned long>(g_state.rulesOver),
                    static_cast<unsigned long>(kMaxTriggerRules));
  }
}

// The record file's folder, or the platform's folder for temporary files
// ("\Temp\" on the device: learn.microsoft.com/en-us/previous-versions/windows/embedded/ee489558(v=winembedded.80)).
static void ChooseCaptureFolder() {
  g_output.folder[0] = L'\0';
  if (g_state.recordPath[0] != L'\0') {
    size_t end = wcslen(g_state.recordPath);
    while (end > 0 && g_state.recordPath[end - 1] != L'\\') --end;
    FormatWide(g_output.folder, kPathChars, L"%.*ls", static_cast<int>(end), g_state.recordPath);
    return;
  }
  const DWORD length = GetTempPathW(kPathChars, g_output.folder);
  if (length == 0 || length >= kPathChars) g_output.folder[0] = L'\0';
}

void StartRecordOutputs() {
  if (FormatRecordHeader(g_output.header, kRecordLineChars, g_state.processorCount) == 0) return;
  CompileRules(g_output.header);
  const bool wantsFile = g_state.recordFigures && g_state.recordPath[0] != L'\0';
  if (!wantsFile && g_state.events.ruleCount == 0) return;

  InitializeCriticalSection(&g_output.lock);
  g_output.wake = CreateEventW(NULL, FALSE, FALSE, NULL);
  HANDLE writer = g_output.wake != NULL ? CreateThread(NULL, 0, WriterThreadProc, NULL, 0, NULL) : NULL;
  if (writer == NULL) {
    WriteDiagnostic("record: no writer thread; the record goes to standard output and no capture is written\r\n");
    g_state.events.ruleCount = 0;
    return;
  }
  CloseHandle(writer);
  if (g_state.events.ruleCount > 0) {
    ChooseCaptureFolder();
    WriteDiagnostic("trigger: %lu rules; captures go to %ls\r\n", static_cast<unsigned long>(g_state.events.ruleCount),
                    g_output.folder[0] != L'\0' ? g_output.folder : L"the current folder");
  }
  if (!wantsFile) return;
  g_output.file =
      CreateFileW(g_state.recordPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (g_output.file == INVALID_HANDLE_VALUE) {
    WriteDiagnostic("record: cannot make %ls (error %lu); the record goes to standard output\r\n", g_state.recordPath,
                    static_cast<unsigned long>(GetLastError()));
    return;
  }
  g_output.toFile = 1;
}

void WriteRecordLine(const char* line) {
  if (!g_output.toFile) {
    WriteDiagnostic("%s", line);
    return;
  }
  EnterCriticalSection(&g_output.lock);
  QueueLine(&g_output.queue, line, strlen(line));
  LeaveCriticalSection(&g_output.lock);
  SetEvent(g_output.wake);
}

void KeepForCaptures(uint32_t cycle, const char* line, uint32_t fired) {
  const EventState& events = g_state.events;
  if (events.ruleCount == 0) return;
  KeepCaptureLine(&g_output.ring, cycle, line);
  for (uint32_t r = 0; r < events.ruleCount; ++r) {
    if ((fired & (1u << r)) == 0) continue;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const CaptureStamp stamp = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    if (!AddPendingCapture(&g_output.ring, cycle, stamp, events.rules[r].text)) {
      WriteDiagnostic("capture: %s fired while %lu captures wait; this one is not written\r\n", events.rules[r].text,
                      static_cast<unsigned long>(kMaxTriggerRules));
    }
  }
  uint32_t index = 0;
  if (!ReadyCapture(g_output.ring, cycle, &index)) return;
  EnterCriticalSection(&g_output.lock);
  const uint32_t busy = g_output.captureBusy;
  LeaveCriticalSection(&g_output.lock);
  if (busy) return;  // the ring keeps a minute's slack for a slow store
  uint32_t first = 0;
  g_output.captureLength =
      FormatCapture(g_output.ring, index, g_output.header, g_output.captureText, kCaptureBytes, &first);
  wchar_t name[kCaptureNameChars];
  FormatCaptureName(g_output.ring.pending[index].stamp, g_output.ring.pending[index].rule, name, kCaptureNameChars);
  FormatWide(g_output.capturePath, kPathChars + kCaptureNameChars, L"%ls%ls", g_output.folder, name);
  DropCapture(&g_output.ring, index);
  EnterCriticalSection(&g_output.lock);
  g_output.captureBusy = 1;
  LeaveCriticalSection(&g_output.lock);
  SetEvent(g_output.wake);
}

const wchar_t* CaptureFolder() { return g_state.events.ruleCount > 0 ? g_output.folder : NULL; }
