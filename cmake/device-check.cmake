# The device build, checked here: Debian's clang compiles the program for the
# device's 32-bit ARM processor (ARMv7, Thumb-2) with the device's branch
# selected (_WIN32_WCE, UNDER_CE) in the language of the device's compilers
# (C++03, set in CMakeLists.txt). No ARM run-time is installable here, so it
# compiles to object files and links nothing. The SDK's headers are the
# desktop's Windows headers from mingw-w64 with platform/device/sdk/ ahead of
# them (SELVANE_DEVICE_SDK_STANDINS): stand-ins, by the SDK's own names, for
# what the device declares differently or the desktop lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR armv7)
set(SELVANE_DEVICE_TRIPLE armv7-w64-windows-gnu)

# 0x0700: Compact 7; 0x0800: Compact 2013.
set(SELVANE_WCE_VERSION 0x0800 CACHE STRING "_WIN32_WCE of the device build")

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${SELVANE_DEVICE_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${SELVANE_DEVICE_TRIPLE})
# Nothing can be linked: the compiler checks build a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The C++ library's headers from mingw-w64's i686 build (the same 32-bit
# Windows ABI: 32-bit pointers, 16-bit wchar_t). The device's C run-time is
# Microsoft's, so the program calls its printf family, not mingw-w64's own.
set(SELVANE_CXX_HEADERS /usr/lib/gcc/i686-w64-mingw32/12-posix/include/c++)
# -nostdlibinc keeps clang's own headers and drops the host's /usr/include;
# the C++ headers come before the C headers they wrap.
set(SELVANE_DEVICE_FLAGS "-mthumb -nostdlibinc -D_WIN32_WCE=${SELVANE_WCE_VERSION} -DUNDER_CE -D__USE_MINGW_ANSI_STDIO=0")
set(SELVANE_WINDOWS_HEADERS "-isystem /usr/share/mingw-w64/include")
set(CMAKE_C_FLAGS_INIT "${SELVANE_DEVICE_FLAGS} ${SELVANE_WINDOWS_HEADERS}")
set(CMAKE_CXX_FLAGS_INIT
    "${SELVANE_DEVICE_FLAGS} -nostdinc++ -isystem ${SELVANE_CXX_HEADERS} -isystem ${SELVANE_CXX_HEADERS}/i686-w64-mingw32 ${SELVANE_WINDOWS_HEADERS}")
