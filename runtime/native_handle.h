#pragma once

namespace velkaro::runtime {

// What the system hands out for an open file, folder or lock: a HANDLE on
// Windows, a file descriptor elsewhere.
#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

}  // namespace velkaro::runtime
