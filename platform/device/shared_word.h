// The device's shared word. Its compilers have no <atomic>; a naturally
// aligned 32-bit volatile word is loaded and stored whole by ARMv7 and never
// kept in a register (platform/abi_checks.cpp checks size and alignment).
// Included through platform/shared_word.h.
#ifndef SELVANE_PLATFORM_DEVICE_SHARED_WORD_H
#define SELVANE_PLATFORM_DEVICE_SHARED_WORD_H

template <typename T>
struct SharedWord {
  volatile T value;
};

template <typename T>
inline T LoadShared(const SharedWord<T>& word) {
  return word.value;
}

template <typename T>
inline void StoreShared(SharedWord<T>* word, typename SharedValue<T>::Type value) {
  word->value = value;
}

#endif
