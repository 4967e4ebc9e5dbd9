#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "runtime/settings_store.h"

namespace velkaro::tests {

// A settings store held in memory, for running the program's rules without the
// system's store, and failing on request as an unwritable store would. Values are addressed as
// "application\section\key".
class MemorySettings : public runtime::SettingsStore {
 public:
  std::unique_ptr<runtime::SettingsSection> OpenSection(std::string_view application,
                                                        std::string_view section) override;

  std::optional<std::string> Value(std::string_view path) const;

  std::map<std::string, std::string, std::less<>> values;
  // Order of the Save calls, as "application\section\key=value", and of the
  // Flush calls, as "application\section\(flushed)".
  std::string log;

  // Refuse opening, the n-th Save (counting from 1) or Flush, as an unwritable store would.
  bool refuse_open = false;
  int refuse_save = 0;
  bool refuse_flush = false;

 private:
  int saves_ = 0;
  friend class MemorySection;
};

}  // namespace velkaro::tests
