#pragma once

#include "runtime/settings_store.h"

namespace velkaro::runtime {

// The current user's settings in the registry, where Windows programs of the
// trainer's kind keep them: HKCU\Software\VB and VBA Program Settings\<application>\<section>,
// each key a REG_SZ value.
class RegistrySettings : public SettingsStore {
 public:
  std::unique_ptr<SettingsSection> OpenSection(std::string_view application,
                                               std::string_view section) override;
};

}  // namespace velkaro::runtime
