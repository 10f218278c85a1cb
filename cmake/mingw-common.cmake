# Cross-compilation to Windows with Debian's mingw-w64. The -posix variants are
# required: GoogleTest needs std::mutex, which the -win32 variants lack.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SELVANE_MINGW_ARCH})
set(SELVANE_TRIPLE ${SELVANE_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${SELVANE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SELVANE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SELVANE_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SELVANE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the program and the stand-in DLLs import system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
