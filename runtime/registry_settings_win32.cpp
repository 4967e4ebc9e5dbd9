#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/files_system.h"
#include "runtime/leftover_name.h"
#include "runtime/registry_settings.h"
#include "runtime/texts.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kSettingsKey = "Software\\VB and VBA Program Settings\\";
constexpr std::string_view kProbePrefix = "velkaro-probe-";
// RegFlushKey wants KEY_QUERY_VALUE, as its documentation says, besides the
// right to save.
constexpr REGSAM kSectionAccess = KEY_SET_VALUE | KEY_QUERY_VALUE;

// Opening leaves the section as it was: a rebuild that fails later must leave
// no trace in the registry, and removing the section afterwards could remove
// values that another copy of the program saved meanwhile. So opening only
// makes sure the section can be written, and the first Save creates it.
class RegistrySection : public SettingsSection {
 public:
  RegistrySection(std::wstring path, std::string name)
      : path_(std::move(path)), name_(std::move(name)) {
    // The keys that are missing, from the section up.
    std::vector<std::wstring> missing;
    for (std::wstring key = path_;;) {
      const REGSAM access = key == path_ ? kSectionAccess : KEY_CREATE_SUB_KEY;
      HKEY opened = nullptr;
      const LSTATUS status = ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, &opened);
      if (status == ERROR_SUCCESS) {
        if (missing.empty()) {
          key_ = opened;  // kept open for the saves
        } else {
          ::RegCloseKey(opened);
          ProbeCreation(missing);
        }
        return;
      }
      const std::size_t parent = key.rfind(L'\\');
      if (status != ERROR_FILE_NOT_FOUND || parent == std::wstring::npos) {
        Fail(status);
      }
      if (key == path_ && IsLink(key)) {
        // A link to a missing key: no probe beside it would go where it
        // points, so the section itself is made through it now.
        Create();
        return;
      }
      missing.push_back(key);
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

  void Flush() override {
    // The registry writes lazily; RegFlushKey returns once the key is on the disk.
    const LSTATUS status = key_ != nullptr ? ::RegFlushKey(key_) : ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) {
      throw SystemFailure(texts::WriteSettingAction(name_), static_cast<std::uint32_t>(status));
    }
  }

  void Save(std::string_view key, std::string_view value) override {
    if (key_ == nullptr) {
      Create();
    }
    const std::wstring wide_key = Utf8ToWide(key);
    const std::wstring wide_value = Utf8ToWide(value);
    const auto bytes = static_cast<DWORD>((wide_value.size() + 1) * sizeof(wchar_t));
    const auto set = [&] {
      return ::RegSetValueExW(key_, wide_key.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(wide_value.c_str()), bytes);
    };
    LSTATUS status = set();
    if (status == ERROR_KEY_DELETED) {
      // Another copy removed the empty keys it had made on the way (its
      // probe's) while this one made the section below them: made again, once.
      ::RegCloseKey(key_);
      key_ = nullptr;
      Create();
      status = set();
    }
    if (status != ERROR_SUCCESS) {
      throw SystemFailure(texts::WriteSettingAction(name_ + "\\" + std::string(key)),
                          static_cast<std::uint32_t>(status));
    }
  }

  void RemoveLeftovers() override {
    // Probe keys of runs that were ended between making and removing them.
    const std::wstring parent = ProbeParent();
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) !=
        ERROR_SUCCESS) {
      return;
    }
    std::vector<std::wstring> leftovers;
    wchar_t name[256];  // the longest name a key may have, and its NUL
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      const LSTATUS status =
          ::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) {
        break;
      }
      const auto maker =
          LeftoverMaker(WideToUtf8(std::wstring_view(name, length)), kProbePrefix, "", UINT64_MAX);
      if (maker && *maker != ::GetCurrentProcessId() && !system::ProcessIsRunning(*maker)) {
        leftovers.push_back(parent + L"\\" + std::wstring(name, length));
      }
    }
    ::RegCloseKey(key);
    for (const std::wstring& leftover : leftovers) {
      RemoveIfEmpty(leftover);
    }
  }

 private:
  void Create() {
    const auto create = [&] {
      return ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, kSectionAccess, nullptr, &key_, nullptr);
    };
    LSTATUS status = create();
    if (status == ERROR_KEY_DELETED) {
      status = create();  // a key on the way was removed as it was opened: once more
    }
    if (status != ERROR_SUCCESS) {
      key_ = nullptr;
      Fail(status);
    }
  }

  std::wstring ProbeParent() const { return path_.substr(0, path_.rfind(L'\\')); }

  // Whether the key is there as a registry link, whatever it points to.
  static bool IsLink(const std::wstring& path) {
    HKEY link = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE,
                        &link) != ERROR_SUCCESS) {
      return false;
    }
    ::RegCloseKey(link);
    return true;
  }

  // Whether the section can be created at all: a key above it may refuse
  // lasting keys (a volatile one), or be a link to a key that is missing. A key
  // of a name of this run's own is created where the section would be, the
  // same way, and removed at once with the keys its creation made, each only
  // while empty: no other copy of the program can have saved in any of them.
  void ProbeCreation(const std::vector<std::wstring>& missing) {
    const std::wstring probe =
        ProbeParent() + L"\\" +
        Utf8ToWide(LeftoverName(kProbePrefix, ::GetCurrentProcessId(), ::GetTickCount64(), ""));
    HKEY created = nullptr;
    const LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          kSectionAccess, nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) {
      Fail(status);
    }
    ::RegCloseKey(created);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, probe.c_str());
    // missing[0] is the section itself, which the probe did not make.
    for (std::size_t above = 1; above < missing.size() && RemoveIfEmpty(missing[above]); ++above) {
    }
  }

  [[noreturn]] void Fail(LSTATUS status) const {
    throw SystemFailure(texts::OpenSettingAction(name_), static_cast<std::uint32_t>(status));
  }

  // Removes the key if it holds no key and no value.
  static bool RemoveIfEmpty(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    DWORD keys = 1;
    DWORD values = 1;
    const bool empty =
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        keys == 0 && values == 0;
    ::RegCloseKey(key);
    return empty && ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
  }

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
