# clang-cl for WindowsCE: the settings of clang-cl for Windows, which take the
# device's (_WIN32_WCE, UNDER_CE, its libraries) from CMake's MSVC platform file.
include(Platform/Windows-Clang-CXX)
