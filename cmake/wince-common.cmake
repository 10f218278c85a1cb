# What both device toolchain files share. Each sets CMAKE_SYSTEM_VERSION (the
# Compact version) and the toolset its Visual Studio generator needs, then
# includes this file.
#
# The SDK is the module's application SDK, made from its OS design; Visual
# Studio lists it as a platform. With a Visual Studio generator it becomes the
# generator's platform (-A). With NMake from the SDK's environment the
# compiler, headers and libraries come from that environment instead.
set(CMAKE_SYSTEM_NAME WindowsCE)
set(CMAKE_SYSTEM_PROCESSOR ARMV7)

set(SELVANE_CE_SDK "" CACHE STRING "The module's application SDK, as Visual Studio names the platform")
if(CMAKE_GENERATOR MATCHES "^Visual Studio")
  if(SELVANE_CE_SDK STREQUAL "")
    message(FATAL_ERROR "Set -DSELVANE_CE_SDK=<the module's SDK name> (the platform Visual Studio lists for it)")
  endif()
  set(CMAKE_GENERATOR_PLATFORM "${SELVANE_CE_SDK}")
endif()

# CMake knows WindowsCE only with Microsoft's own compiler; these platform
# files let an MSVC-compatible clang (clang-cl) take the same settings.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/modules)
