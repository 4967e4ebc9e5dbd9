#pragma once

#include <memory>
#include <string_view>

namespace velkaro::runtime {

// One section of an application's per-user text settings, open for writing.
class SettingsSection {
 public:
  virtual ~SettingsSection() = default;
  // Stores `value` under `key`, replacing an earlier value; throws Failure.
  virtual void Save(std::string_view key, std::string_view value) = 0;
  // Puts what was saved on the disk before it returns: a store may write lazily,
  // and a power cut after the program said it was done must not undo it.
  virtual void Flush() = 0;
  // Removes what runs of the program that were ended part way left in the
  // store, where it keeps any; never what a running copy may still use.
  virtual void RemoveLeftovers() {}
};

// The per-user settings store, addressed by application, section and key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Makes sure the section can be written, and throws Failure when it cannot.
  // Creates nothing: the first Save creates the section when it is missing.
  virtual std::unique_ptr<SettingsSection> OpenSection(std::string_view application,
                                                       std::string_view section) = 0;
};

}  // namespace velkaro::runtime
