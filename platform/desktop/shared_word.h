// The desktop's and the native builds' shared word: a relaxed atomic, which
// ThreadSanitizer checks. Included through platform/shared_word.h.
#ifndef SELVANE_PLATFORM_DESKTOP_SHARED_WORD_H
#define SELVANE_PLATFORM_DESKTOP_SHARED_WORD_H

#include <atomic>

template <typename T>
struct SharedWord {
  std::atomic<T> value;
};

template <typename T>
inline T LoadShared(const SharedWord<T>& word) {
  return word.value.load(std::memory_order_relaxed);
}

template <typename T>
inline void StoreShared(SharedWord<T>* word, typename SharedValue<T>::Type value) {
  word->value.store(value, std::memory_order_relaxed);
}

#endif
