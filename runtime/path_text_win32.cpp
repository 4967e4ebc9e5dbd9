#include "runtime/path_text.h"

#include "runtime/wide_text.h"

namespace velkaro::runtime {

std::string PathText(const std::filesystem::path& path) {
  // path::u8string() throws on a lone surrogate; the system's conversion shows
  // it as U+FFFD.
  return WideToUtf8(path.native());
}

}  // namespace velkaro::runtime
