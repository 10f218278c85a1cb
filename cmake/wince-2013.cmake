# Windows Embedded Compact 2013 on the module's ARMv7 processor, with the
# Visual Studio 2012 based tool chain (CE800). See README.md, "Building with
# an SDK".
set(CMAKE_SYSTEM_VERSION 8.0)
if(CMAKE_GENERATOR MATCHES "^Visual Studio")
  set(CMAKE_GENERATOR_TOOLSET CE800)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/wince-common.cmake)
