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

// A page procedure's handling of kPageWorkMessage.
inline void RunPageWork() {
  const PageWork* work = LoadShared(*PendingPageWork());
  StoreShared(PendingPageWork(), NULL);
  if (work != NULL) work->run(work->context);
}

#endif
