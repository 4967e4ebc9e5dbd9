#pragma once

#include <cstdint>

namespace velkaro::runtime {

// Input that came before the user could read a message box is no answer to
// it: keys and clicks typed while the outcome was worked on, or in the box's
// first moments, and a key held down since then, must not close the box
// unread. A person takes a few hundred milliseconds to see that a box has
// appeared at all (browsers hold the buttons of their security prompts back
// for the same reason); after that the box answers at once.
inline constexpr std::int32_t kBoxReadingMs = 500;

// A message of input that reaches a message box's own loop.
struct BoxInput {
  enum class Kind {
    kKeyDown,     // WM_KEYDOWN, WM_SYSKEYDOWN
    kKeyUp,       // WM_KEYUP, WM_SYSKEYUP
    kCharacter,   // WM_CHAR and the like, made from a key down
    kButtonDown,  // a mouse button pressed, in the box or on its frame
    kButtonUp,
    kOther,  // no input: painting, timers, commands
  } kind = Kind::kOther;
  bool box_shown = false;           // the box was activated: it can be seen
  std::int32_t ms_after_shown = 0;  // when the input was given, negative before
  bool repeat = false;              // a key's repeat: it was already down
  bool went_down_in_box = false;    // its key or button went down in the box, and counted
};

// Whether the box drops the input rather than answer it.
bool IsUnreadInput(const BoxInput& input);

}  // namespace velkaro::runtime
