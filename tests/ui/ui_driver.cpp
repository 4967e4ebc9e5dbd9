#include "tests/ui/ui_driver.h"

#include "runtime/unread_input.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace velkaro::tests {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

void Pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Lets the program take in what was sent before going on.
void Settle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

struct Search {
  DWORD process_id;
  const wchar_t* window_class;
  std::vector<HWND> found;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->process_id && ::IsWindowVisible(window) &&
      ClassOf(window) == search->window_class) {
    search->found.push_back(window);
  }
  return TRUE;
}

void Send(std::vector<INPUT> inputs) {
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Pause();
}

}  // namespace

fs::path ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (fs::path folder = fs::path(self).parent_path(); folder.has_relative_path();
       folder = folder.parent_path()) {
    if (fs::exists(folder / L"velkaro.exe")) {
      return folder / L"velkaro.exe";
    }
  }
  throw std::runtime_error("velkaro.exe is not in a folder above the driver");
}

RunningProgram::RunningProgram(const fs::path& program, const fs::path& folder) {
  std::wstring command = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process_)) {
    throw std::runtime_error("cannot start the program");
  }
}

RunningProgram::~RunningProgram() {
  if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.hProcess, 99);
    ::WaitForSingleObject(process_.hProcess, 5000);
  }
  ::CloseHandle(process_.hThread);
  ::CloseHandle(process_.hProcess);
}

HWND RunningProgram::WaitForWindow(const wchar_t* window_class, double seconds, bool settle) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    const std::vector<HWND> found = Windows(window_class);
    if (!found.empty()) {
      if (settle) {
        Settle();
        // A message box answers no input given before it could be read.
        if (std::wstring_view(window_class) == L"#32770") {
          std::this_thread::sleep_for(std::chrono::milliseconds(runtime::kBoxReadingMs));
        }
      }
      return found.front();
    }
    if (::WaitForSingleObject(process_.hProcess, 5) == WAIT_OBJECT_0) {
      break;
    }
  } while (Clock::now() < deadline);
  return nullptr;
}

std::vector<HWND> RunningProgram::Windows(const wchar_t* window_class) const {
  Search search{process_.dwProcessId, window_class, {}};
  ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool RunningProgram::ShowsWindow(const wchar_t* window_class, double seconds) {
  return WaitForWindow(window_class, seconds) != nullptr;
}

std::optional<DWORD> RunningProgram::WaitForExit(double seconds) {
  if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(seconds * 1000)) !=
      WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::wstring TextOf(HWND window) {
  const auto length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = ::SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                     reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::wstring TextOnceTyped(HWND window, std::wstring_view expected, double seconds) {
  // A long text makes each keystroke slow to take in, under some Wines more than others.
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  std::wstring text = TextOf(window);
  while (text != expected && Clock::now() < deadline) {
    Pause();
    text = TextOf(window);
  }
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

RECT RectIn(HWND parent, HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT ClientRect(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return rect;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

void Activate(HWND window) {
  for (int attempt = 0; attempt < 10 && ::GetForegroundWindow() != window; ++attempt) {
    ::SetForegroundWindow(window);
    Settle();
  }
}

void Type(std::wstring_view text) {
  for (const wchar_t c : text) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wScan = c;
    down.ki.dwFlags = KEYEVENTF_UNICODE;
    INPUT up = down;
    up.ki.dwFlags |= KEYEVENTF_KEYUP;
    Send({down, up});
  }
  Settle();
}

void SendKey(WORD virtual_key, bool up) {
  INPUT key{};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = virtual_key;
  key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &key, sizeof key);
}

void PressKey(WORD virtual_key) {
  PressKeys({virtual_key});
}

void PressKeys(std::initializer_list<WORD> chord) {
  std::vector<INPUT> inputs;
  for (const WORD key : chord) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    inputs.push_back(down);
  }
  for (auto key = std::rbegin(chord); key != std::rend(chord); ++key) {
    INPUT up{};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = *key;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(up);
  }
  Send(inputs);
  Settle();
}

void Click(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = ::MulDiv(x, 65536, width) + 1;
  move.mi.dy = ::MulDiv(y, 65536, height) + 1;
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  INPUT down = move;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  INPUT up = move;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  Send({move});
  Send({down, up});
  Settle();
}

MessageBoxContent ReadMessageBox(HWND box) {
  MessageBoxContent content;
  content.caption = TextOf(box);
  for (const HWND child : ChildrenOf(box)) {
    const std::wstring child_class = ClassOf(child);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (child_class == L"Button" || child_class == L"BUTTON") {
      if (style & WS_VISIBLE) {
        content.buttons.push_back(TextOf(child));
      }
    } else if (child_class == L"Static" || child_class == L"STATIC") {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        content.has_icon = content.has_icon || ((style & WS_VISIBLE) != 0 &&
                                                ::SendMessageW(child, STM_GETICON, 0, 0) != 0);
      } else if (::GetDlgCtrlID(child) == 0xFFFF) {
        content.text = TextOf(child);
      }
    }
  }
  return content;
}

}  // namespace velkaro::tests
