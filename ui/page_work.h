// Work the sampling thread hands to a page, to run on the page's own thread:
// there a control's messages are calls, where from the sampling thread each
// is a round trip between threads (several requests to the window server
// under Wine). The sampling thread waits in SendMessage while the page runs
// the work, so what the work reads stays as it is.
#ifndef SELVANE_UI_PAGE_WORK_H
#define SELVANE_UI_PAGE_WORK_H

#include "platform/shared_word.h"
#include "platform/win32.h"

struct PageWork {
  void (*run)(void* context);
  void* context;
};

const UINT kPageWorkMessage = WM_APP + 1;

// The work under way: set only while the sampling thread waits, and taken by
// the page, so that the message sent by anyone else runs nothing.
inline SharedWord<const PageWork*>* PendingPageWork() {
  static SharedWord<const PageWork*> pending;
  return &pending;
}

// Runs `work` on `page`'s thread; nothing when the page is gone.
inline void RunOnPage(HWND page, const PageWork* work) {
  StoreShared(PendingPageWork(), work);
  SendMessageW(page, kPageWorkMessage, 0, 0);
  StoreShared(PendingPageWork(), NULL);
}

// Work posted to a page, which the sampling thread does not wait for: what
// it shows is handed over under the state lock, so only the newest matters.
const UINT kPostedWorkMessage = WM_APP + 2;

// The work posted and not yet run by the page.
inline SharedWord<const PageWork*>* PostedPageWork() {
  static SharedWord<const PageWork*> posted;
  return &posted;
}

// Posts `work` (which outlives the message) to `page`'s thread and goes on:
// one message, where a sent one is several server requests and a wake-up of
// each thread under Wine. Not posted again while the page has not run it.
inline void PostToPage(HWND page, const PageWork* work) {
  if (LoadShared(*PostedPageWork()) != NULL) return;
  StoreShared(PostedPageWork(), work);
  if (!PostMessageW(page, kPostedWorkMessage, 0, 0)) StoreShared(PostedPageWork(), NULL);
}

// Takes the work `slot` holds, if any, and runs it.
inline void TakeAndRunWork(SharedWord<const PageWork*>* slot) {
  const PageWork* work = LoadShared(*slot);
  StoreShared(slot, NULL);
  if (work != NULL) work->run(work->context);
}

// A page procedure's handling of kPostedWorkMessage.
inline void RunPostedPageWork() { TakeAndRunWork(PostedPageWork()); }

// A page procedure's handling of kPageWorkMessage.
inline void RunPageWork() { TakeAndRunWork(PendingPageWork()); }

#endif
