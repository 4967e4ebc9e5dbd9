// Linked into velkaro_bench_sse2 in place of the processor's answer, so that
// the bench times the scan a processor without AVX2 runs: the linker then
// takes no part of runtime/cpu_features.cpp from the library.
#include "runtime/cpu_features.h"

namespace velkaro::runtime {

bool ProcessorHasAvx2() {
  return false;
}

}  // namespace velkaro::runtime
