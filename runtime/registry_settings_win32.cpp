#include <windows.h>

#include <string>

#include "runtime/failure.h"
#include "runtime/registry_settings.h"
#include "runtime/texts.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kSettingsKey = "Software\\VB and VBA Program Settings\\";

// Opening creates nothing: a rebuild that fails later must leave no trace in
// the registry, and removing a key afterwards could remove values that another
// copy of the program saved meanwhile. So opening only makes sure the section
// can be written (the key itself, or else the deepest key above it that
// exists, lets this user write, or create keys), and the first Save creates it.
class RegistrySection : public SettingsSection {
 public:
  RegistrySection(std::wstring path, std::string name)
      : path_(std::move(path)), name_(std::move(name)) {
    for (std::wstring key = path_;;) {
      const REGSAM access = key == path_ ? KEY_SET_VALUE : KEY_CREATE_SUB_KEY;
      HKEY probe = nullptr;
      const LSTATUS status = ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, &probe);
      if (status == ERROR_SUCCESS) {
        if (key == path_) {
          key_ = probe;  // kept open for the saves
        } else {
          ::RegCloseKey(probe);
        }
        return;
      }
      const std::size_t parent = key.rfind(L'\\');
      if (status != ERROR_FILE_NOT_FOUND || parent == std::wstring::npos) {
        throw SystemFailure(texts::OpenSettingAction(name_), static_cast<std::uint32_t>(status));
      }
      key.resize(parent);
    }
  }
  ~RegistrySection() override {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }
  RegistrySection(const RegistrySection&) = delete;
  RegistrySection& operator=(const RegistrySection&) = delete;

  void Save(std::string_view key, std::string_view value) override {
    if (key_ == nullptr) {
      const LSTATUS status =
          ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &key_, nullptr);
      if (status != ERROR_SUCCESS) {
        key_ = nullptr;
        throw SystemFailure(texts::OpenSettingAction(name_), static_cast<std::uint32_t>(status));
      }
    }
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
  std::wstring path_;
  std::string name_;
  HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<SettingsSection> RegistrySettings::OpenSection(std::string_view application,
                                                               std::string_view section) {
  const std::string path =
      std::string(kSettingsKey) + std::string(application) + "\\" + std::string(section);
  return std::make_unique<RegistrySection>(Utf8ToWide(path), std::string(kRoot) + path);
}

}  // namespace velkaro::runtime
