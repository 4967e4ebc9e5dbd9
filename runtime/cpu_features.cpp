#include "runtime/cpu_features.h"

#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
#include <intrin.h>
#elif defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace velkaro::runtime {

namespace {

bool AskProcessorForAvx2() {
  constexpr unsigned kOsxsave = 1u << 27;  // CPUID 1, ECX
  constexpr unsigned kAvx = 1u << 28;      // CPUID 1, ECX
  constexpr unsigned kAvx2 = 1u << 5;      // CPUID 7, EBX
  constexpr unsigned kWideRegisters = 6;   // XCR0: SSE and AVX state saved
#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
  int info[4] = {};
  __cpuid(info, 0);
  if (info[0] < 7) {
    return false;
  }
  __cpuid(info, 1);
  const auto features = static_cast<unsigned>(info[2]);
  if ((features & kOsxsave) == 0 || (features & kAvx) == 0 ||
      (_xgetbv(0) & kWideRegisters) != kWideRegisters) {
    return false;
  }
  __cpuidex(info, 7, 0);
  return (static_cast<unsigned>(info[1]) & kAvx2) != 0;
#elif defined(__i386__) || defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & kOsxsave) == 0 || (c & kAvx) == 0) {
    return false;
  }
  unsigned low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));  // _xgetbv needs -mxsave in GCC
  if ((low & kWideRegisters) != kWideRegisters) {
    return false;
  }
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & kAvx2) != 0;
#else
  return false;
#endif
}

}  // namespace

bool ProcessorHasAvx2() {
  // Asked once: CPUID is slow, in a virtual machine slower still.
  static const bool has = AskProcessorForAvx2();
  return has;
}

}  // namespace velkaro::runtime
