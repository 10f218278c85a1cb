set(SELVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Single-precision arithmetic that rounds like the device's: the x87 keeps
# float products in extended precision, so a truncated 100 x 0.29f gave 28, not 29.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
