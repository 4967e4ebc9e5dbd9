#pragma once

#include <windows.h>

#include <exception>
#include <string_view>

namespace velkaro::runtime {

// The program's title, the caption of every message box.
inline constexpr wchar_t kProgramTitle[] = L"Velkaro";

// A modal message box with one OK button and no icon, owned by `owner`. Input
// that came before the box could be read does not answer it (IsUnreadInput).
void ShowMessage(HWND owner, std::string_view text);

// The same with the error icon, for a failure: a Failure's own message, or
// any other exception's text as an unexpected error.
void ShowFailure(HWND owner, const std::exception& failure);

}  // namespace velkaro::runtime
