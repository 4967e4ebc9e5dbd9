// Times two trees' level scans against each other in one process, on runs of
// lines held in the cache: the head of the usual list, and the shared-prefix
// lines of scripts/bench for every level length up to 20. The two take turns,
// a few scans each, many times over, and each keeps its best: on a busy host
// a moment's slowness then falls on both alike, where separate runs of each
// differed by half. Prints GB/s for each and their ratio, B over A.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

using Select = std::function<void(std::string_view)>;
using Scan = void (*)(std::string_view, const std::string&, const Select&);
void ScanA64(std::string_view, const std::string&, const Select&);
void ScanA32(std::string_view, const std::string&, const Select&);
void ScanB64(std::string_view, const std::string&, const Select&);
void ScanB32(std::string_view, const std::string&, const Select&);

namespace {

constexpr std::size_t kRun = 256 * 1024;  // bytes scanned, within the cache
constexpr int kTurns = 80;
constexpr int kScansPerTurn = 4;

// A level of `length` bytes, and a field with every byte of it but the one
// the scan compares last (as scripts/bench makes them).
std::string Level(std::size_t length) {
  return std::string("12345678901234567890").substr(0, length);
}
std::string Field(std::size_t length) {
  std::string field = Level(length);
  field[length >= 3 && length <= 16 ? length - 2 : length - 1] = 'x';
  return field;
}

// Whether both chose the same bytes, over all the rows.
std::size_t chosen[2];

void Row(const std::string& name, const std::string& text, const std::string& level, Scan a, Scan b,
         int window) {
  const Scan scans[2] = {a, b};
  double best[2] = {1e9, 1e9};
  for (int turn = 0; turn < kTurns; ++turn) {
    for (int which = 0; which < 2; ++which) {
      const Select select = [which](std::string_view line) { chosen[which] += line.size(); };
      const auto start = std::chrono::steady_clock::now();
      for (int each = 0; each < kScansPerTurn; ++each) {
        scans[which](text, level, select);
      }
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      best[which] = std::min(best[which], took.count());
    }
  }
  const double bytes = static_cast<double>(kScansPerTurn * text.size());
  const double rate_a = bytes / best[0] / 1e9, rate_b = bytes / best[1] / 1e9;
  std::printf("%-16s %2d-byte windows  A %5.2f  B %5.2f GB/s  B/A %.2f\n", name.c_str(), window,
              rate_a, rate_b, rate_b / rate_a);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: scan_ab POSITION-LIST\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string usual;
  std::copy_n(std::istreambuf_iterator<char>(in), kRun, std::back_inserter(usual));
  usual.resize(usual.rfind('\n') + 1);
  for (const int window : {64, 32}) {
    const Scan a = window == 64 ? ScanA64 : ScanA32, b = window == 64 ? ScanB64 : ScanB32;
    for (const char* level : {"1", "23", "179", "12345678", ""}) {
      Row(std::string("usual ") + (*level ? level : "(empty)"), usual, level, a, b, window);
    }
    for (std::size_t length = 1; length <= 20; ++length) {
      std::string text;
      while (text.size() < kRun) {
        text += "a\t" + Field(length) + "\n";
      }
      Row("shared-prefix-" + std::to_string(length), text, Level(length), a, b, window);
    }
  }
  if (chosen[0] != chosen[1]) {
    std::printf("the two chose different lines: %zu and %zu bytes\n", chosen[0], chosen[1]);
    return 1;
  }
  return 0;
}
