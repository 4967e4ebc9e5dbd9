#include "runtime/virtual_store.h"

namespace velkaro::runtime {

namespace {

// The path less an extended-length prefix ("\\?\C:\..." as "C:\...").
std::wstring_view Plain(std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\") && !path.substr(4).starts_with(L"UNC\\")) {
    path.remove_prefix(4);
  }
  while (path.ends_with(L'\\')) {
    path.remove_suffix(1);
  }
  return path;
}

wchar_t Folded(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Whether `path` is `folder` or lies below it.
bool IsIn(std::wstring_view path, std::wstring_view folder) {
  path = Plain(path);
  folder = Plain(folder);
  if (folder.empty() || path.size() < folder.size() ||
      (path.size() > folder.size() && path[folder.size()] != L'\\')) {
    return false;
  }
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (Folded(path[i]) != Folded(folder[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::wstring VirtualStoreTwin(std::wstring_view store, std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\")) {
    path.remove_prefix(4);
  }
  const bool on_a_drive =
      path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (store.empty() || !on_a_drive) {
    return {};
  }
  path.remove_prefix(2);  // the drive, not its backslash
  std::wstring twin(store);
  if (twin.ends_with(L'\\')) {
    twin.pop_back();
  }
  return twin.append(path);
}

TwinPlace WhereTheTrainersCopyMayBe(const TwinFacts& facts) {
  if (!facts.elevated || !facts.uac_on || !facts.virtualization_on) {
    return {};
  }
  bool virtualized = false;
  for (const std::wstring& folder : facts.virtualized_folders) {
    virtualized = virtualized || IsIn(facts.set_folder, folder);
  }
  if (!virtualized) {
    return {};
  }
  if (!facts.session_user) {
    return {TwinPlace::Kind::kOtherUser, {}};
  }
  const std::wstring twin = VirtualStoreTwin(facts.store, Plain(facts.set_folder));
  return twin.empty() ? TwinPlace{} : TwinPlace{TwinPlace::Kind::kFolder, twin};
}

}  // namespace velkaro::runtime
