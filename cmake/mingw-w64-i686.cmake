# Cross-compiles the Windows program with MinGW-w64 for 32-bit x86: the product.
set(VELKARO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Every x86 processor Windows 8 and later run on has SSE2, which the line search uses.
set(CMAKE_CXX_FLAGS_INIT "-msse2")
