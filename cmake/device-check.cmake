# The device build, checked here: Debian's clang compiles the program for the
# device's 32-bit ARM processor (ARMv7, Thumb-2) with the device's branch
# selected (_WIN32_WCE, UNDER_CE). No ARM run-time is installable here, so it
# compiles to object files and links nothing. The device's own API that the
# desktop headers lack comes from platform/device/ce_api.h, not from the
# device's SDK.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR armv7)
set(SELVANE_DEVICE_TRIPLE armv7-w64-windows-gnu)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${SELVANE_DEVICE_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${SELVANE_DEVICE_TRIPLE})
# Nothing can be linked: the compiler checks build a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Windows headers from mingw-w64; the C++ library's headers from its i686
# build (the same 32-bit Windows ABI: 32-bit pointers, 16-bit wchar_t).
set(SELVANE_CXX_HEADERS /usr/lib/gcc/i686-w64-mingw32/12-posix/include/c++)
# -nostdlibinc keeps clang's own headers and drops the host's /usr/include;
# the C++ headers come before the C headers they wrap.
set(SELVANE_DEVICE_FLAGS "-mthumb -nostdlibinc -D_WIN32_WCE=0x0800 -DUNDER_CE")
set(SELVANE_WINDOWS_HEADERS "-isystem /usr/share/mingw-w64/include")
set(CMAKE_C_FLAGS_INIT "${SELVANE_DEVICE_FLAGS} ${SELVANE_WINDOWS_HEADERS}")
set(CMAKE_CXX_FLAGS_INIT
    "${SELVANE_DEVICE_FLAGS} -nostdinc++ -isystem ${SELVANE_CXX_HEADERS} -isystem ${SELVANE_CXX_HEADERS}/i686-w64-mingw32 ${SELVANE_WINDOWS_HEADERS}")
