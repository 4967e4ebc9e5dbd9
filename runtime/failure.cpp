#include "runtime/failure.h"

#include "runtime/texts.h"

namespace velkaro::runtime {

std::string SystemReason(std::uint32_t code) {
  return texts::Reason(SystemDescription(code), code);
}

Failure SystemFailure(std::string_view what, std::uint32_t code) {
  return Failure(texts::Cannot(what, SystemReason(code)));
}

}  // namespace velkaro::runtime
