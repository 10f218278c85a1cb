// Compile-time checks of the sizes the program relies on. The device is
// 32-bit; the desktop build is 64-bit: both must hold what the device holds.
#include "platform/fixed_width.h"
#include "platform/kernel_extension_api.h"
#include "platform/process_snapshot.h"
#include "platform/shared_word.h"
#include "platform/static_check.h"
#include "platform/win32.h"

// The kernel's and the platform's fixed-width words.
SELVANE_STATIC_CHECK(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(UINT) == 4, platform_words_32_bit);
SELVANE_STATIC_CHECK(sizeof(wchar_t) == 2, platform_text_16_bit);
SELVANE_STATIC_CHECK(sizeof(uint32_t) == 4 && sizeof(uint64_t) == 8 && sizeof(int64_t) == 8, fixed_width);

// Shared words are single, naturally aligned words, which the processor
// reads and writes whole.
SELVANE_STATIC_CHECK(sizeof(SharedWord<float>) == 4 && __alignof(SharedWord<float>) == 4, load_words);
SELVANE_STATIC_CHECK(sizeof(SharedWord<HWND>) == sizeof(HWND) && __alignof(SharedWord<HWND>) == sizeof(HWND),
                     page_words);

// Handles and pointers are 32 bits on the device and its 32-bit desktop build.
#if !defined(_WIN64)
SELVANE_STATIC_CHECK(sizeof(void*) == 4 && sizeof(HANDLE) == 4 && sizeof(LPARAM) == 4, handles_32_bit);
#else
SELVANE_STATIC_CHECK(sizeof(void*) == 8 && sizeof(HANDLE) == 8, handles_64_bit);
#endif

#ifdef SELVANE_DEVICE
// The device's toolhelp record, whose dwSize the walk sets to its size.
SELVANE_STATIC_CHECK(sizeof(PROCESSENTRY32) == 564, device_process_record);
SELVANE_STATIC_CHECK(sizeof(THREADENTRY32) == 36, device_thread_record);
#else
// Without a lock on the desktop too.
SELVANE_STATIC_CHECK(std::atomic<float>::is_always_lock_free&& std::atomic<HWND>::is_always_lock_free, lock_free_words);
#endif
