// The lock the two threads share. The sampling thread holds it around its
// pure writes of what the main thread copies (the process table, the
// pictures); the main thread holds it around those copies. It is never held
// across a system call or a message. The program's is a critical section;
// the stress test gives a mutex. Pure: no Windows header.
#ifndef SELVANE_APP_STATE_LOCK_H
#define SELVANE_APP_STATE_LOCK_H

struct StateLock {
  void* lock;
  void (*enter)(void* lock);
  void (*leave)(void* lock);
};

// Runs `work` holding `lock`; a null lock (no other thread) is not taken.
template <typename Work>
void WithStateLock(const StateLock* lock, Work work) {
  if (lock != nullptr) lock->enter(lock->lock);
  work();
  if (lock != nullptr) lock->leave(lock->lock);
}

#endif
