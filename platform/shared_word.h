// A word one thread writes while the other reads it: read and written whole,
// never torn, with no order implied against other memory (what needs order
// goes under the state lock). Each platform's half gives SharedWord<T>,
// LoadShared(word) and StoreShared(&word, value). Pure: no Windows header.
#ifndef SELVANE_PLATFORM_SHARED_WORD_H
#define SELVANE_PLATFORM_SHARED_WORD_H

// The value's type is taken from the word, so that NULL or a literal converts.
template <typename T>
struct SharedValue {
  typedef T Type;
};

#ifdef SELVANE_DEVICE
#include "platform/device/shared_word.h"
#else
#include "platform/desktop/shared_word.h"
#endif

#endif
