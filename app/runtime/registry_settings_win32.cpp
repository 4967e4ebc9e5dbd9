#include <windows.h>

#include <string>
#include <vector>

#include "app/runtime/failure.h"
#include "app/runtime/registry_settings.h"
#include "app/runtime/texts.h"
#include "app/runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kSettingsKey = "Software\\VB and VBA Program Settings\\";

// The keys of `path` under HKEY_CURRENT_USER that do not exist yet,
// shallowest first.
std::vector<std::wstring> MissingKeysOf(const std::wstring& path) {
  std::vector<std::wstring> missing;
  for (std::size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    const std::wstring key = path.substr(0, end);
    HKEY probe = nullptr;
    const LSTATUS status =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &probe);
    if (status == ERROR_SUCCESS) {
      ::RegCloseKey(probe);
    } else if (status == ERROR_FILE_NOT_FOUND) {
      missing.push_back(key);
    }
    if (end == std::wstring::npos) {
      return missing;
    }
  }
}

class RegistrySection : public SettingsSection {
 public:
  RegistrySection(HKEY key, std::string name, std::vector<std::wstring> created)
      : key_(key), name_(std::move(name)), created_(std::move(created)) {}
  // A section this run created and then saved nothing in is removed again, with
  // the keys above it that it created, so that a rebuild that failed leaves no
  // trace. (RegDeleteKeyW leaves a key that has gained subkeys meanwhile.)
  ~RegistrySection() override {
    ::RegCloseKey(key_);
    if (!saved_) {
      for (auto key = created_.rbegin(); key != created_.rend(); ++key) {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, key->c_str());
      }
    }
  }
  RegistrySection(const RegistrySection&) = delete;
  RegistrySection& operator=(const RegistrySection&) = delete;

  void Save(std::string_view key, std::string_view value) override {
    const std::wstring wide_key = Utf8ToWide(key);
    const std::wstring wide_value = Utf8ToWide(value);
    const auto bytes = static_cast<DWORD>((wide_value.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        ::RegSetValueExW(key_, wide_key.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(wide_value.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
      throw SystemFailure(texts::WriteSettingAction(name_ + "\\" + std::string(key)),
                          static_cast<std::uint32_t>(status));
    }
    saved_ = true;
  }

 private:
  HKEY key_;
  std::string name_;
  std::vector<std::wstring> created_;
  bool saved_ = false;
};

}  // namespace

std::unique_ptr<SettingsSection> RegistrySettings::OpenSection(std::string_view application,
                                                               std::string_view section) {
  const std::string path =
      std::string(kSettingsKey) + std::string(application) + "\\" + std::string(section);
  const std::wstring wide_path = Utf8ToWide(path);
  std::vector<std::wstring> missing = MissingKeysOf(wide_path);
  HKEY key = nullptr;
  const LSTATUS status =
      ::RegCreateKeyExW(HKEY_CURRENT_USER, wide_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    throw SystemFailure(texts::OpenSettingAction(std::string(kRoot) + path),
                        static_cast<std::uint32_t>(status));
  }
  return std::make_unique<RegistrySection>(key, std::string(kRoot) + path, std::move(missing));
}

}  // namespace velkaro::runtime
