# Windows Embedded Compact 7 on the module's ARMv7 processor, with Visual
# Studio 2008's compiler. See README.md, "Building with an SDK".
set(CMAKE_SYSTEM_VERSION 7.0)
include(${CMAKE_CURRENT_LIST_DIR}/wince-common.cmake)
