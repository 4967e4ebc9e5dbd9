#pragma once

namespace velkaro::runtime {

// Whether this processor runs AVX2 code here: it has AVX2 (CPUID leaf 7), and
// the system saves the wide registers on a thread switch (OSXSAVE, XCR0).
bool ProcessorHasAvx2();

}  // namespace velkaro::runtime
