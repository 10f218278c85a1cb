// The list steps as list-view messages: the Processes page's two lists take
// a pass's steps through these, on the page's own thread.
#ifndef SELVANE_UI_PROCESSES_LIST_VIEW_OPS_H
#define SELVANE_UI_PROCESSES_LIST_VIEW_OPS_H

#include "platform/win32.h"
#include "ui/processes/list_model.h"

ListOps ListViewOps(HWND list);

#endif
