#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro::tests {

// A new empty folder for one test, in `base`, removed with everything in it
// afterwards. Its name is `name_hint`, a dash and ten digits.
class ScratchFolder {
 public:
  explicit ScratchFolder(
      std::string_view name_hint = "velkaro",
      const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& file);
// Names of the entries of a folder, sorted.
std::vector<std::string> EntriesOf(const std::filesystem::path& folder);

}  // namespace velkaro::tests
