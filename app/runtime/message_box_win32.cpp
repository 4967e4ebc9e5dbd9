#include "app/runtime/message_box.h"

#include "app/runtime/wide_text.h"

namespace velkaro::runtime {

void ShowMessage(HWND owner, std::string_view text) {
  ::MessageBoxW(owner, Utf8ToWide(text).c_str(), kProgramTitle, MB_OK);
}

void ShowFailure(HWND owner, std::string_view text) {
  ::MessageBoxW(owner, Utf8ToWide(text).c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
}

}  // namespace velkaro::runtime
