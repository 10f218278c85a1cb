# The device's configure, checked here without its SDK: the toolchain file of
# one Compact version (SELVANE_CHECK_TOOLCHAIN, e.g. wince-2013.cmake) with
# Debian's clang-cl as the MSVC-style compiler for ARMv7 over mingw-w64's
# Windows headers, with platform/device/sdk/ ahead of them (as the
# device-check presets use). The SDK's import libraries are missing, so the
# program is compiled and archived, never linked.
if(NOT SELVANE_CHECK_TOOLCHAIN)
  message(FATAL_ERROR "Set -DSELVANE_CHECK_TOOLCHAIN=wince-2013.cmake or wince-7.cmake")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SELVANE_CHECK_TOOLCHAIN)
include(${CMAKE_CURRENT_LIST_DIR}/${SELVANE_CHECK_TOOLCHAIN})

set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_C_COMPILER_TARGET armv7-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET armv7-pc-windows-msvc)
set(CMAKE_AR llvm-lib)
set(CMAKE_RC_COMPILER llvm-rc)
set(CMAKE_MT llvm-mt)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# -X: no INCLUDE from the environment. cmake/msvc-over-mingw/ mends what
# mingw-w64's headers lack in MSVC mode on ARM; the C++ library's headers are
# mingw-w64's i686 ones (the same 32-bit ABI).
set(SELVANE_CXX_HEADERS /usr/lib/gcc/i686-w64-mingw32/12-posix/include/c++)
set(SELVANE_CHECK_INCLUDES "-X /imsvc${CMAKE_CURRENT_LIST_DIR}/msvc-over-mingw /imsvc/usr/lib/llvm-14/lib/clang/14.0.6/include")
string(APPEND SELVANE_CHECK_INCLUDES " /imsvc${SELVANE_CXX_HEADERS} /imsvc${SELVANE_CXX_HEADERS}/i686-w64-mingw32")
string(APPEND SELVANE_CHECK_INCLUDES " /imsvc/usr/share/mingw-w64/include")
# clang-cl takes the version of the SDK's compiler (_MSC_VER): Visual Studio
# 2008's for Compact 7, 2012's for Compact 2013; mingw-w64's headers then
# expect msvcrt.dll's C run-time, not the desktop's later one.
if(CMAKE_SYSTEM_VERSION VERSION_LESS 8.0)
  set(SELVANE_CHECK_MSC_VERSION 15.00)
else()
  set(SELVANE_CHECK_MSC_VERSION 17.00)
endif()
# mingw-w64's headers would otherwise route printf to their own formatter.
set(SELVANE_CHECK_FLAGS "-fms-compatibility-version=${SELVANE_CHECK_MSC_VERSION} /D__USE_MINGW_ANSI_STDIO=0")
set(CMAKE_C_FLAGS_INIT "${SELVANE_CHECK_FLAGS} ${SELVANE_CHECK_INCLUDES}")
# Those compilers take C++03 (cl.exe has no switch for it; clang-cl is told).
set(CMAKE_CXX_FLAGS_INIT "${SELVANE_CHECK_FLAGS} /clang:-std=c++98 ${SELVANE_CHECK_INCLUDES}")
set(CMAKE_RC_FLAGS_INIT "/I${CMAKE_CURRENT_LIST_DIR}/msvc-over-mingw /I/usr/share/mingw-w64/include")
