#include "app/form1.h"

#include <algorithm>
#include <exception>

#include "app/busy_window.h"
#include "app/form1_design.h"
#include "app/resource.h"
#include "endgame/current_level.h"
#include "endgame/rebuild.h"
#include "runtime/accessible_name.h"
#include "runtime/dpi.h"
#include "runtime/failure.h"
#include "runtime/message_box.h"
#include "runtime/registry_settings.h"
#include "runtime/texts.h"
#include "runtime/wide_text.h"

namespace velkaro::app {

namespace {

constexpr wchar_t kWindowClass[] = L"VelkaroForm1";
// What Windows shows, while a press is worked on, to a user who logs off or
// shuts down: short, as its documentation asks.
constexpr wchar_t kBusyReason[] = L"正在更换残局题库";
// How long a session that ends all the same waits for the press: longer than
// any press takes on a local disk. Windows lets the user end the program after
// 5 seconds in any case.
constexpr DWORD kEndSessionWaitMs = 20000;
// A fixed-size window, as the layout is.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFormExStyle = 0;

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return {L"STATIC", SS_LEFT, 0};
    case ControlKind::kTextBox:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kPushButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::kCheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
  }
  return {L"STATIC", 0, 0};
}

void RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = procedure;
  form_class.hInstance = instance;
  form_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELKARO));
  form_class.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELKARO),
                                                       IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), 0));
  form_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kWindowClass;
  ::RegisterClassExW(&form_class);
}

// Where a window of the given size stands centred on the work area of the
// monitor nearest to `window`.
POINT CentredOn(HWND window, int width, int height) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  return POINT{area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2};
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Form1::Form1(HINSTANCE instance, endgame::EndgamePaths paths)
    : instance_(instance), paths_(std::move(paths)) {}

Form1::~Form1() {
  if (window_ != nullptr) {
    // Quietly: a quit message now would end the failure's message box at once.
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  if (font_ != nullptr) {
    ::DeleteObject(font_);
  }
}

void Form1::Load() {
  RegisterFormClass(instance_, &Form1::WindowProc);
  window_ = ::CreateWindowExW(kFormExStyle, kWindowClass, kFormCaption, kFormStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              instance_, this);
  if (window_ == nullptr) {
    throw runtime::SystemFailure(runtime::texts::kCreateWindowAction, runtime::LastSystemError());
  }
  CreateControls();
  const UINT dpi = runtime::DpiOf(window_);
  const RECT frame = runtime::WindowRectForClient(runtime::TwipsToPixels(kFormWidth, dpi),
                                                  runtime::TwipsToPixels(kFormHeight, dpi),
                                                  kFormStyle, kFormExStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const POINT at = CentredOn(window_, width, height);
  ::SetWindowPos(window_, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(dpi);
  Form_Load();
}

void Form1::CreateControls() {
  // Created in tab order, which is also the order Tab moves the focus in.
  for (const ControlDesign& design : kControls) {
    const ControlClass control_class = ClassOf(design.kind);
    ::CreateWindowExW(control_class.ex_style, control_class.name, design.text,
                      WS_CHILD | WS_VISIBLE | control_class.style, 0, 0, 0, 0, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance_, nullptr);
  }
  ::SendMessageW(Control(kText1), EM_SETLIMITTEXT, 0, 0);  // no length limit
  // Screen readers announce each box by the label the user sees beside it: the
  // tick box's own caption is hidden by its width.
  for (const ControlDesign& design : kControls) {
    if (design.accessible_name != nullptr) {
      runtime::SetAccessibleName(Control(design.id), design.accessible_name);
    }
  }
}

void Form1::Layout(UINT dpi) {
  const HFONT font = runtime::CreateMessageFont(dpi);
  const SIZE glyph = runtime::CheckBoxGlyph(dpi);
  for (const ControlDesign& design : kControls) {
    int width = runtime::TwipsToPixels(design.width, dpi);
    int height = runtime::TwipsToPixels(design.height, dpi);
    if (design.kind == ControlKind::kCheckBox) {
      // Never clip the box itself.
      width = std::max<int>(width, glyph.cx);
      height = std::max<int>(height, glyph.cy);
    }
    const HWND control = Control(design.id);
    ::SetWindowPos(control, nullptr, runtime::TwipsToPixels(design.left, dpi),
                   runtime::TwipsToPixels(design.top, dpi), width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font_ != nullptr) {
    ::DeleteObject(font_);
  }
  font_ = font;
}

void Form1::Show(int show_command) {
  ::ShowWindow(window_, show_command);
  ::UpdateWindow(window_);
  const HWND level_box = Control(kText1);
  ::SetFocus(level_box);
  ::SendMessageW(level_box, EM_SETSEL, 0, -1);
}

void Form1::Form_Load() {
  const std::optional<std::string> level = endgame::ReadCurrentLevel(paths_);
  if (level) {
    ::SetWindowTextW(Control(kText1), runtime::Utf8ToWide(*level).c_str());
  }
}

void Form1::Command1_Click() {
  // Whatever fails here is shown by this window and ends the program with 1.
  try {
    const std::string level_text = runtime::WideToUtf8(TextOf(Control(kText1)));
    const int cleared_state = static_cast<int>(::SendMessageW(Control(kCheck1), BM_GETCHECK, 0, 0));
    busy_ = true;
    ::ShutdownBlockReasonCreate(window_, kBusyReason);
    ::EnableWindow(window_, FALSE);
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    const std::string message = RunWhileWindowWaits([&] {
      runtime::RegistrySettings settings;
      return endgame::RebuildEndgameSet(paths_, level_text, cleared_state, settings);
    });
    ReadyForTheOutcome();
    runtime::ShowMessage(window_, message);
    End(0);
  } catch (const std::exception& failure) {
    ReadyForTheOutcome();
    runtime::ShowFailure(window_, failure);
    End(1);
  }
}

void Form1::ReadyForTheOutcome() {
  // The box disables the window itself, and enables it after.
  busy_ = false;
  ::ShutdownBlockReasonDestroy(window_);
  ::EnableWindow(window_, TRUE);
}

void Form1::End(int exit_code) {
  // The exit code leaves with the quit message that WM_DESTROY posts.
  exit_code_ = exit_code;
  ::DestroyWindow(window_);
}

void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(dpi);
}

bool Form1::PreTranslate(MSG& message) {
  if (window_ == nullptr) {
    return false;
  }
  // A focused button takes Enter as a press; nothing else does.
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
      message.hwnd == Control(kCommand1)) {
    ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
    return true;
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) {
    return ::DefWindowProcW(window, message, w, l);
  }
  return form->Handle(message, w, l);
}

LRESULT Form1::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Esc arrive as IDOK and IDCANCEL and do nothing. The button
      // acts once: presses queued behind the first one reach here from the
      // message box's own loop, and must not rebuild again.
      if (LOWORD(w) == kCommand1 && HIWORD(w) == BN_CLICKED && !pressed_) {
        pressed_ = true;
        Command1_Click();
      }
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      return ::DefWindowProcW(window_, message, w, l);
    case WM_CLOSE:
      // Once pressed, the outcome's message box ends the program; a close
      // now would take the box away unread.
      if (pressed_) {
        return 0;
      }
      return ::DefWindowProcW(window_, message, w, l);
    case WM_QUERYENDSESSION:
      // The press puts the set and the progress in place together: a logoff
      // or shutdown waits for it, and Windows shows the user why.
      return busy_ ? FALSE : TRUE;
    case WM_ENDSESSION:
      // Ending all the same (the user chose to): not before the press did.
      if (w != FALSE && busy_) {
        WaitForTheWork(kEndSessionWaitMs);
      }
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(exit_code_);
      return 0;
    case WM_NCDESTROY: {
      const HWND window = window_;
      window_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return ::DefWindowProcW(window, message, w, l);
    }
    default:
      return ::DefWindowProcW(window_, message, w, l);
  }
}

}  // namespace velkaro::app
