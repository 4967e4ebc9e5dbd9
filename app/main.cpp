#include <windows.h>
// commctrl.h and objbase.h need windows.h first.
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <filesystem>

#include "app/form1.h"
#include "runtime/failure.h"
#include "runtime/message_box.h"
#include "runtime/texts.h"

namespace {

int RunProgram(HINSTANCE instance, int show_command) {
  velkaro::app::Form1 form(instance,
                           velkaro::endgame::EndgamePathsIn(std::filesystem::current_path()));
  form.Load();
  form.Show(show_command);
  MSG message{};
  BOOL got = FALSE;
  while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (!form.PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  if (got < 0) {
    throw velkaro::runtime::SystemFailure(velkaro::runtime::texts::kReceiveMessagesAction,
                                          velkaro::runtime::LastSystemError());
  }
  // The window's exit code, from the quit message it posted when it closed.
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  // COM, for the accessibility services that name the controls.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int exit_code = 1;
  try {
    exit_code = RunProgram(instance, show_command);
  } catch (const std::exception& failure) {
    velkaro::runtime::ShowFailure(nullptr, failure);
  }
  if (SUCCEEDED(com)) {
    ::CoUninitialize();
  }
  return exit_code;
}
