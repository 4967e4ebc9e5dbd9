# Cross-compiles the Windows program with MinGW-w64 for 32-bit x86: the product.
set(VELKARO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# The line search uses SSE2, which every processor that runs a supported Windows
# has: Windows 8 and later require it, and so does Windows 7 SP1 with the updates
# since March 2018.
set(CMAKE_CXX_FLAGS_INIT "-msse2")
