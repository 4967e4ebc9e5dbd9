#include "runtime/message_box.h"

#include <set>
#include <string>
#include <utility>

#include "runtime/failure.h"
#include "runtime/texts.h"
#include "runtime/unread_input.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

// What the box standing on this thread has seen, for its hooks, which Windows
// calls with no context of their own. One box at a time: each is modal.
struct BoxGuard {
  bool shown = false;
  DWORD shown_at = 0;  // GetTickCount's time, as messages carry it
  // Keys (virtual key codes) and mouse buttons (0x10000 + the button) that
  // went down in the box and counted.
  std::set<unsigned> down;
  // Keys that were down when the box showed, not let go since: their repeats
  // are no answer, whether or not a message says it repeats.
  std::set<unsigned> held_before;
  HHOOK on_activate = nullptr;
  HHOOK on_message = nullptr;
};
thread_local BoxGuard* standing = nullptr;

void Shown(BoxGuard& guard) {
  if (!guard.shown) {
    guard.shown = true;
    guard.shown_at = ::GetTickCount();
    for (int key = 1; key < 256; ++key) {
      if ((::GetAsyncKeyState(key) & 0x8000) != 0) {
        guard.held_before.insert(static_cast<unsigned>(key));
      }
    }
  }
}

// The box is activated as it is shown: from then on it can be read.
LRESULT CALLBACK OnActivate(int code, WPARAM window, LPARAM details) {
  if (code == HCBT_ACTIVATE && standing != nullptr) {
    wchar_t name[8] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(window), name, 8);
    if (std::wstring_view(name) == L"#32770") {
      Shown(*standing);
    }
  }
  return ::CallNextHookEx(nullptr, code, window, details);
}

// The input a message is, and the key or button it concerns.
std::pair<BoxInput::Kind, unsigned> KindOf(const MSG& message) {
  using Kind = BoxInput::Kind;
  constexpr unsigned kButton = 0x10000;
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return {Kind::kKeyDown, static_cast<unsigned>(message.wParam)};
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return {Kind::kKeyUp, static_cast<unsigned>(message.wParam)};
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_UNICHAR:
      return {Kind::kCharacter, 0};
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      return {Kind::kButtonDown, kButton + 1};
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
      return {Kind::kButtonDown, kButton + 2};
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
      return {Kind::kButtonDown, kButton + 3};
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONDBLCLK:
      return {Kind::kButtonDown, kButton + 4};
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
      return {Kind::kButtonUp, kButton + 1};
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
      return {Kind::kButtonUp, kButton + 2};
    case WM_MBUTTONUP:
    case WM_NCMBUTTONUP:
      return {Kind::kButtonUp, kButton + 3};
    case WM_XBUTTONUP:
    case WM_NCXBUTTONUP:
      return {Kind::kButtonUp, kButton + 4};
    default:
      return {Kind::kOther, 0};
  }
}

// Each message of the box's loop, before the box sees it: input that came
// before the box could be read is dropped (IsUnreadInput).
LRESULT CALLBACK OnBoxMessage(int code, WPARAM source, LPARAM details) {
  if (code >= 0 && standing != nullptr) {
    BoxGuard& guard = *standing;
    const MSG& message = *reinterpret_cast<const MSG*>(details);
    // Should the box's activation have gone unseen, it stands by now.
    Shown(guard);
    const auto [kind, key] = KindOf(message);
    BoxInput input;
    input.kind = kind;
    input.box_shown = guard.shown;
    // Both times count milliseconds, wrapping after 49 days alike.
    input.ms_after_shown = static_cast<std::int32_t>(message.time - guard.shown_at);
    input.repeat = kind == BoxInput::Kind::kKeyDown &&
                   ((message.lParam & (LPARAM{1} << 30)) != 0 || guard.held_before.count(key) != 0);
    input.went_down_in_box = guard.down.count(key) != 0;
    if (kind == BoxInput::Kind::kKeyUp || kind == BoxInput::Kind::kButtonUp) {
      guard.held_before.erase(key);  // the hold ends, answered or not
      guard.down.erase(key);
    }
    if (IsUnreadInput(input)) {
      return TRUE;
    }
    if (kind == BoxInput::Kind::kKeyDown || kind == BoxInput::Kind::kButtonDown) {
      guard.down.insert(key);
    }
  }
  return ::CallNextHookEx(nullptr, code, source, details);
}

// A message box whose answer is input given once it could be read.
void ShowBox(HWND owner, const std::string& text, UINT type) {
  BoxGuard guard;
  const DWORD thread = ::GetCurrentThreadId();
  guard.on_activate = ::SetWindowsHookExW(WH_CBT, &OnActivate, nullptr, thread);
  guard.on_message = ::SetWindowsHookExW(WH_MSGFILTER, &OnBoxMessage, nullptr, thread);
  standing = &guard;
  ::MessageBoxW(owner, Utf8ToWide(text).c_str(), kProgramTitle, type);
  standing = nullptr;
  for (const HHOOK hook : {guard.on_activate, guard.on_message}) {
    if (hook != nullptr) {
      ::UnhookWindowsHookEx(hook);
    }
  }
}

}  // namespace

void ShowMessage(HWND owner, std::string_view text) {
  ShowBox(owner, std::string(text), MB_OK);
}

void ShowFailure(HWND owner, const std::exception& failure) {
  std::string text = failure.what();
  if (dynamic_cast<const Failure*>(&failure) == nullptr) {
    text = texts::Unexpected(text);
  }
  ShowBox(owner, text, MB_OK | MB_ICONERROR);
}

}  // namespace velkaro::runtime
