#include "app/runtime/codepage.h"

#include <algorithm>

namespace velkaro::runtime {

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace velkaro::runtime
