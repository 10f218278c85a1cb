// A process snapshot held in a vector, walked as a pass walks one, with no
// threads: shared by the process table's fuzzer and its stress test.
#ifndef SELVANE_TESTS_VECTOR_WALK_H
#define SELVANE_TESTS_VECTOR_WALK_H

#include <cstddef>
#include <vector>

#include "ui/processes/process_table.h"

struct Walk {
  const std::vector<SnapshotEntry>* entries;
  size_t next;
};

inline bool Next(void* context, SnapshotEntry* entry) {
  Walk* walk = static_cast<Walk*>(context);
  if (walk->next >= walk->entries->size()) return false;
  *entry = (*walk->entries)[walk->next++];
  return true;
}

inline bool NoThread(void*, SnapshotThread*) { return false; }

#endif
