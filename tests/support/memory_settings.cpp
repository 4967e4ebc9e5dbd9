#include "tests/support/memory_settings.h"

#include "runtime/failure.h"

namespace velkaro::tests {

class MemorySection : public runtime::SettingsSection {
 public:
  MemorySection(MemorySettings& store, std::string prefix)
      : store_(store), prefix_(std::move(prefix)) {}

  void Save(std::string_view key, std::string_view value) override {
    const std::string path = prefix_ + std::string(key);
    if (++store_.saves_ == store_.refuse_save) {
      throw runtime::Failure("无法写入设置“" + path + "”：拒绝访问。");
    }
    store_.values[path] = std::string(value);
    store_.log += path + "=" + std::string(value) + "\n";
  }

  void Flush() override {
    if (store_.refuse_flush) {
      throw runtime::Failure("无法写入磁盘。");
    }
    store_.log += prefix_ + "(flushed)\n";
  }

 private:
  MemorySettings& store_;
  std::string prefix_;
};

std::unique_ptr<runtime::SettingsSection> MemorySettings::OpenSection(std::string_view application,
                                                                      std::string_view section) {
  std::string prefix = std::string(application) + "\\" + std::string(section) + "\\";
  if (refuse_open) {
    throw runtime::Failure("无法打开设置“" + prefix + "”：拒绝访问。");
  }
  return std::make_unique<MemorySection>(*this, std::move(prefix));
}

std::optional<std::string> MemorySettings::Value(std::string_view path) const {
  const auto found = values.find(path);
  if (found == values.end()) {
    return std::nullopt;
  }
  return found->second;
}

}  // namespace velkaro::tests
