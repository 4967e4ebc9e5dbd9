// Writes a position list for the benchmark: LINES lines of a FEN, TAB, a level
// from 1 to 179 (uniform), TAB, a few EPD operations, CR LF. The same seed
// gives the same file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

std::string RandomFen(Random& random) {
  static const char kPieces[] = "KQRBNPkqrbnpppPP";
  std::string fen;
  for (int rank = 0; rank < 8; ++rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      if (random.Below(5) == 0) {
        if (empty > 0) {
          fen += static_cast<char>('0' + empty);
          empty = 0;
        }
        fen += kPieces[random.Below(sizeof kPieces - 1)];
      } else {
        ++empty;
      }
    }
    if (empty > 0) {
      fen += static_cast<char>('0' + empty);
    }
    fen += rank < 7 ? '/' : ' ';
  }
  fen += random.Below(2) == 0 ? "w - - 0 1" : "b - - 0 1";
  return fen;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: make_positions FILE LINES SEED\n", stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const long lines = std::atol(argv[2]);
  Random random{0x9E3779B97F4A7C15ull ^ std::strtoull(argv[3], nullptr, 10)};
  std::vector<std::string> fens;
  for (int i = 0; i < 4096; ++i) {
    fens.push_back(RandomFen(random));
  }
  static const char* kMoves[] = {"Qxf7+", "Rd8#", "Kd2", "e8=Q", "Nf6+", "Bb5", "Rxa7", "Kg6"};
  std::string block;
  char buffer[160];
  for (long i = 0; i < lines; ++i) {
    const int length = std::snprintf(
        buffer, sizeof buffer, "%s\t%u\tbm %s; id \"BENCH.%07ld\"; c0 \"endgame study\";\r\n",
        fens[random.Below(4096)].c_str(), 1 + random.Below(179), kMoves[random.Below(8)], i);
    block.append(buffer, static_cast<std::size_t>(length));
    if (block.size() > (1u << 20)) {
      std::fwrite(block.data(), 1, block.size(), out);
      block.clear();
    }
  }
  std::fwrite(block.data(), 1, block.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
