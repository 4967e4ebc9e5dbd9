#include "runtime/unread_input.h"

namespace velkaro::runtime {

bool IsUnreadInput(const BoxInput& input) {
  using Kind = BoxInput::Kind;
  if (input.kind == Kind::kOther) {
    return false;
  }
  if (!input.box_shown || input.ms_after_shown < kBoxReadingMs) {
    return true;
  }
  switch (input.kind) {
    case Kind::kKeyDown:
      // A key held down since before, repeating.
      return input.repeat && !input.went_down_in_box;
    case Kind::kKeyUp:
    case Kind::kButtonUp:
      // The end of a press the box did not see begin.
      return !input.went_down_in_box;
    case Kind::kCharacter:
    case Kind::kButtonDown:
    case Kind::kOther:
      break;
  }
  return false;
}

}  // namespace velkaro::runtime
