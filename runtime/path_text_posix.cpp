#include "runtime/path_text.h"

namespace velkaro::runtime {

std::string PathText(const std::filesystem::path& path) {
  // Names are bytes here, shown as they are.
  return path.native();
}

}  // namespace velkaro::runtime
