#include <windows.h>

#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/registry_settings.h"
#include "app/runtime/texts.h"
#include "app/runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kSettingsKey = "Software\\VB and VBA Program Settings\\";

class RegistrySection : public SettingsSection {
 public:
  RegistrySection(HKEY key, std::string name) : key_(key), name_(std::move(name)) {}
  ~RegistrySection() override { ::RegCloseKey(key_); }
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
  }

 private:
  HKEY key_;
  std::string name_;
};

}  // namespace

std::unique_ptr<SettingsSection> RegistrySettings::OpenSection(std::string_view application,
                                                               std::string_view section) {
  const std::string path =
      std::string(kSettingsKey) + std::string(application) + "\\" + std::string(section);
  HKEY key = nullptr;
  const LSTATUS status =
      ::RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    throw SystemFailure(texts::OpenSettingAction(std::string(kRoot) + path),
                        static_cast<std::uint32_t>(status));
  }
  return std::make_unique<RegistrySection>(key, std::string(kRoot) + path);
}

}  // namespace velkaro::runtime
