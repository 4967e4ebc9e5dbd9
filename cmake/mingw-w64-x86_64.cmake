# Cross-compiles the same sources for x86-64: what the Windows tests run on a
# machine that runs no 32-bit programs (SSE2 is part of x86-64).
set(VELKARO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
