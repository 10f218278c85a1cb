// Compile-time checks of the sizes the program relies on. The device is
// 32-bit; the desktop build is 64-bit: both must hold what the device holds.
#include <atomic>
#include <cstdint>

#include "platform/kernel_extension_api.h"
#include "platform/process_snapshot.h"
#include "platform/win32.h"

// The kernel's and the platform's fixed-width words.
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(UINT) == 4, "32-bit platform words");
static_assert(sizeof(wchar_t) == 2, "the platform's text is 16-bit");

// Shared words are whole, lock-free words.
static_assert(sizeof(std::atomic<float>) == 4, "load words");
static_assert(std::atomic<float>::is_always_lock_free, "load words without a lock");
static_assert(std::atomic<HWND>::is_always_lock_free, "page handles without a lock");

// Handles and pointers are 32 bits on the device and its 32-bit desktop build.
#if defined(_WIN32_WCE) || (defined(_WIN32) && !defined(_WIN64))
static_assert(sizeof(void*) == 4 && sizeof(HANDLE) == 4 && sizeof(LPARAM) == 4, "32-bit handles");
#else
static_assert(sizeof(void*) == 8 && sizeof(HANDLE) == 8, "64-bit desktop handles");
#endif

#if defined(_WIN32_WCE)
// The device's toolhelp record, whose dwSize the walk sets to its size.
static_assert(sizeof(PROCESSENTRY32) == 564, "device PROCESSENTRY32");
static_assert(sizeof(THREADENTRY32) == 36, "device THREADENTRY32");
// Shared words are 32-bit words the ARMv7 processor loads and stores whole.
static_assert(std::atomic<uint32_t>::is_always_lock_free, "32-bit words without a lock");
#endif
