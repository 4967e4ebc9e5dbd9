# What both MinGW-w64 toolchains share; each names its target triplet in
# VELKARO_MINGW_TRIPLET before including this file.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: GCC's win32 thread model lacks std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${VELKARO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELKARO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELKARO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELKARO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only Windows' own DLLs at run time: the C++ runtime and winpthread go inside the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
