#include "tests/support/scratch_folder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>

namespace velkaro::tests {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(std::string_view name_hint, const fs::path& base) {
  std::random_device random;
  // Ten digits always, so that the length of the name is known.
  const std::string digits = std::to_string(10000000000ull + random() % 10000000000ull).substr(1);
  const std::string name = std::string(name_hint) + "-" + digits;
  path_ = base / fs::path(std::u8string(name.begin(), name.end()));
  fs::create_directories(path_);
}

namespace {

// Gives the owner back every folder a test may have made read-only or closed,
// so that the folder can be removed whole.
void OpenUp(const fs::path& folder) {
  std::error_code ignored;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (fs::directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      OpenUp(it->path());
    }
  }
}

}  // namespace

ScratchFolder::~ScratchFolder() {
  OpenUp(path_);
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + file.string());
  }
  std::string bytes(static_cast<std::size_t>(fs::file_size(file)), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::vector<std::string> EntriesOf(const fs::path& folder) {
  std::vector<std::string> names;
#if defined(_WIN32)
  // The extended-length form lists folders past MAX_PATH too, which the
  // library's iterator does not.
  WIN32_FIND_DATAW entry{};
  const HANDLE listing =
      ::FindFirstFileW((L"\\\\?\\" + fs::absolute(folder).native() + L"\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot list " + folder.string());
  }
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") {
      const std::u8string utf8 = fs::path(name).u8string();
      names.emplace_back(utf8.begin(), utf8.end());
    }
  } while (::FindNextFileW(listing, &entry));
  ::FindClose(listing);
#else
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
#endif
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace velkaro::tests
