// The lock the two threads share. The sampling thread holds it around its
// pure writes of what the main thread copies (the process table, the
// pictures); the main thread holds it around those copies. It is never held
// across a system call or a message. The program's is a critical section;
// the stress test gives a mutex. Pure: no Windows header.
#ifndef SELVANE_APP_STATE_LOCK_H
#define SELVANE_APP_STATE_LOCK_H

#include <cstddef>

struct StateLock {
  void* lock;
  void (*enter)(void* lock);
  void (*leave)(void* lock);
};

// Take and release `lock` around pure code; a null lock (no other thread)
// is not taken.
inline void EnterStateLock(const StateLock* lock) {
  if (lock != NULL) lock->enter(lock->lock);
}

inline void LeaveStateLock(const StateLock* lock) {
  if (lock != NULL) lock->leave(lock->lock);
}

#endif
