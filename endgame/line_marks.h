#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace velkaro::endgame {

// Where the chosen lines of a block start and end, one bit per place: its
// memory is a fixed part of the block's however many lines are chosen. Marked
// on a reading thread, taken on the thread that hands the lines out, which
// leaves it clear for the block after.
class LineMarks {
 public:
  // Places 0 to `places` - 1.
  explicit LineMarks(std::size_t places)
      : summary_words_(places / kBits / kBits + 1),
        starts_(std::make_unique<std::uint64_t[]>(places / kBits + 1)),
        ends_(std::make_unique<std::uint64_t[]>(places / kBits + 1)),
        words_with_starts_(std::make_unique<std::uint64_t[]>(summary_words_)) {}

  // The line from `start` to its terminator at `end` (start <= end), after
  // every line marked before it.
  void Mark(std::size_t start, std::size_t end) {
    Set(starts_.get(), start);
    Set(ends_.get(), end);
    Set(words_with_starts_.get(), start / kBits);
  }

  // Calls take(start, end) for each line marked, in order, and clears them.
  template <typename Take>
  void TakeEach(Take&& take) {
    for (std::size_t summary = 0; summary < summary_words_; ++summary) {
      while (words_with_starts_[summary] != 0) {
        const std::size_t word = summary * kBits + Lowest(words_with_starts_[summary]);
        std::uint64_t starts = std::exchange(starts_[word], 0);
        while (starts != 0) {
          const std::size_t start = word * kBits + Lowest(starts);
          take(start, TakeEnd(start));
        }
      }
    }
  }

 private:
  static constexpr std::size_t kBits = 64;

  static void Set(std::uint64_t* words, std::size_t place) {
    words[place / kBits] |= std::uint64_t{1} << (place % kBits);
  }
  // The lowest bit set, which it clears.
  static std::size_t Lowest(std::uint64_t& bits) {
    const auto place = static_cast<std::size_t>(std::countr_zero(bits));
    bits &= bits - 1;
    return place;
  }
  // The first end at or after `start`, which it clears: the line's own, as
  // the ends of the lines before it were taken.
  std::size_t TakeEnd(std::size_t start) {
    std::size_t word = start / kBits;
    std::uint64_t ends = ends_[word] & (~std::uint64_t{0} << (start % kBits));
    while (ends == 0) {
      ends = ends_[++word];
    }
    const std::size_t end = word * kBits + static_cast<std::size_t>(std::countr_zero(ends));
    ends_[word] &= ~(std::uint64_t{1} << (end % kBits));
    return end;
  }

  std::size_t summary_words_;
  std::unique_ptr<std::uint64_t[]> starts_;
  std::unique_ptr<std::uint64_t[]> ends_;
  std::unique_ptr<std::uint64_t[]> words_with_starts_;
};

}  // namespace velkaro::endgame
