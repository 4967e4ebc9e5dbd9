#pragma once

// The scans behind LevelSearch and the byte searches, shared by the builds of
// their window masks for each kind of processor (window_masks.h,
// level_search_avx2.cpp).

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "endgame/lines.h"
#include "endgame/window_masks.h"

namespace velkaro::endgame::scan {

// What `make` makes of a window that reaches past the text's end, made from
// a copy padded with `filler`.
template <class Word, std::size_t kReach, class Make>
auto PaddedWindowOf(const Make& make, std::string_view text, std::size_t base, char filler) {
  char padded[kWindowOf<Word> + kReach];
  std::memset(padded, filler, sizeof padded);
  std::memcpy(padded, text.data() + base, std::min(text.size() - base, sizeof padded));
  return make(static_cast<const char*>(padded));
}

// What `make` makes of the window of `text` at `base`, from its bytes and the
// kReach after them; past the text's end, bytes count as `filler`. Kept this
// small so that it is inlined into the scans' loops: called out of line, each
// window would pay for a call and its vector registers' save.
template <class Word, std::size_t kReach, class Make>
VELKARO_ALWAYS_INLINE auto WindowOf(const Make& make, std::string_view text, std::size_t base,
                                    char filler) {
  return base + kWindowOf<Word> + kReach <= text.size()
             ? make(text.data() + base)
             : PaddedWindowOf<Word, kReach>(make, text, base, filler);
}

// Where a line starts that is open after the window at `base` whose line
// breaks are `breaks`: after the last of them, or at `before` if none.
template <class Word>
std::size_t LineStartAfter(std::size_t base, Word breaks, std::size_t before) {
  return breaks != 0 ? base + kWindowOf<Word> - static_cast<std::size_t>(std::countl_zero(breaks))
                     : before;
}

// Decides every line of `lines` (a run of whole lines) at once per window,
// from the masks `Classify` makes; see Reach for kEnds and kWhole.
template <template <std::size_t, bool, std::size_t> class Classify, class Word, std::size_t kEnds,
          bool kWhole, std::size_t kMasked>
void ScanWith(std::string_view lines, const std::string& level,
              const std::function<void(std::string_view)>& select) {
  constexpr std::size_t kWindow = kWindowOf<Word>;
  constexpr std::size_t kLast = kWindow - 1;  // the window's last byte
  constexpr std::size_t kReach = Reach(kEnds, kWhole);
  const std::size_t size = lines.size();
  if (size == 0) {
    return;
  }
  using Classifier = Classify<kEnds, kWhole, kMasked>;
  const Classifier classify(level);
  const char* data = lines.data();
  const std::size_t n = level.size();
  // Past the run, every byte counts as a line break: the last line may lack one.
  const auto masks_at = [&](std::size_t base) {
    return WindowOf<Word, kReach>(
        [&](const char* at) { return classify.template Window<Word>(at); }, lines, base, '\n');
  };
  // Generic, so that it is built only for the levels that have a middle.
  const auto middle_at = [&](std::size_t base, auto candidates) {
    return WindowOf<Word, kReach>(
        [&](const char* at) { return classify.template Middle<Word>(at, candidates); }, lines, base,
        '\n');
  };

  // Whether the window's first byte is in its line's first field: the last
  // line break before it comes after the last TAB, or the run starts there.
  Word in_first_field = 1;
  std::size_t line_start = 0;  // of the line the window's first byte is in
  std::size_t base = 0;
  Masks<Word> now = masks_at(0);
  for (;;) {
    Word selected = 0;
    // Windows that select no line, the most of them: a loop of its own, so
    // that what it keeps stays in the registers.
    for (;;) {
      // The first TAB of each line: add a 1 at each line start to the bytes
      // that are neither TAB nor line break; the carry runs over the line's
      // first field and lands on what ends it, its first TAB or its line
      // break. A carry out of the window goes on into the next, as does a
      // line break at its end: a 1 at the next window's first byte for either.
      const Word fields = ~now.separators;
      const Word sum = fields + ((now.breaks << 1) | in_first_field);
      in_first_field = Word{sum < fields} | (now.breaks >> kLast);
      // Candidates are TABs: those landed on are lines' first TABs.
      selected = sum & now.candidates;
      if constexpr (Classifier::kHasMiddle) {
        if (selected != 0) {
          selected = middle_at(base, selected);
        }
      }
      if (selected != 0) {
        break;
      }
      line_start = LineStartAfter(base, now.breaks, line_start);
      base += kWindow;
      if (base >= size) {
        return;
      }
      now = masks_at(base);
    }
    std::size_t next = base + kWindow;
    bool past_window = false;
    while (selected != 0) {
      const auto tab = static_cast<std::size_t>(std::countr_zero(selected));
      selected &= selected - 1;
      const std::size_t at = base + tab;
      if constexpr (!kWhole) {
        // A longer level: its other bytes, then what ends the field.
        const std::size_t after = at + 1 + n;
        if (after > size ||
            std::memcmp(data + at + 1 + kMaskedBytes, level.data() + kMaskedBytes,
                        n - kMaskedBytes) != 0 ||
            (after < size && !EndsField(data[after]))) {
          continue;
        }
      }
      // The line starts after the last line break before its first TAB: in
      // this window, or before it.
      const std::size_t start = LineStartAfter(base, now.breaks & ~(~Word{0} << tab), line_start);
      const Word breaks_after = tab == kLast ? 0 : now.breaks & (~Word{0} << (tab + 1));
      if (breaks_after != 0) {
        const std::size_t end = base + static_cast<std::size_t>(std::countr_zero(breaks_after));
        select(lines.substr(start, std::min(end, size) - start));
        continue;
      }
      // The line goes on past this window, to the first line break after it.
      // The windows before that start no line and hold no first TAB: the
      // scan goes on at the window of that break, whose bytes before it are
      // this line's, past its first TAB. No carry goes into it: this line's
      // first field ended at the TAB, and no line break came after it.
      while (next < size && (now = masks_at(next)).breaks == 0) {
        next += kWindow;
      }
      // Past the run, the line ends with it.
      const std::size_t end = next + static_cast<std::size_t>(std::countr_zero(now.breaks));
      select(lines.substr(start, std::min(end, size) - start));
      past_window = true;
      break;
    }
    if (!past_window) {
      line_start = LineStartAfter(base, now.breaks, line_start);
    }
    base = next;
    if (base >= size) {
      return;
    }
    if (!past_window) {
      now = masks_at(base);
    }
  }
}

// The scan of a whole level of 2 to 16 bytes: the one built for kEach + 2
// bytes, of the kEach that makes the level's length.
template <template <std::size_t, bool, std::size_t> class Classify, class Word,
          std::size_t... kEach>
void ScanWhole(std::string_view lines, const std::string& level,
               const std::function<void(std::string_view)>& select, std::index_sequence<kEach...>) {
  static_cast<void>(((level.size() == kEach + 2 &&
                      (ScanWith<Classify, Word, 2, true, kEach + 2>(lines, level, select), true)) ||
                     ...));
}

// Picks the scan for the level's length, with windows of `Word`'s width. Each
// is built for its length (see ClassifyWith's kMasked).
template <template <std::size_t, bool, std::size_t> class Classify, class Word = Bits>
void Scan(std::string_view lines, const std::string& level,
          const std::function<void(std::string_view)>& select) {
  switch (level.size()) {
    case 0:
      return ScanWith<Classify, Word, 0, true, 0>(lines, level, select);
    case 1:
      return ScanWith<Classify, Word, 1, true, 1>(lines, level, select);
    default:
      if (level.size() <= kMaskedBytes) {
        return ScanWhole<Classify, Word>(lines, level, select,
                                         std::make_index_sequence<kMaskedBytes - 1>());
      }
      return ScanWith<Classify, Word, 2, false, kMaskedBytes>(lines, level, select);
  }
}

// Which bytes a byte search looks for.
enum class Sought { kLineBreaks, kSeparators, kTabs };
// A byte that is none of them, to fill a window past a text's end.
constexpr char kNone = ' ';

template <class Word>
Word Hits(const Masks<Word>& masks, Sought sought) {
  switch (sought) {
    case Sought::kLineBreaks:
      return masks.breaks;
    case Sought::kSeparators:
      return masks.separators;
    case Sought::kTabs:
      break;
  }
  return masks.separators & ~masks.breaks;
}

// The first sought byte of `text`, or text.size().
template <template <std::size_t, bool, std::size_t> class Classify, class Word = Bits>
std::size_t FindFirst(std::string_view text, Sought sought) {
  const Classify<0, false, 0> classify{std::string()};
  const auto masks = [&](const char* at) { return classify.template Window<Word>(at); };
  for (std::size_t base = 0; base < text.size(); base += kWindowOf<Word>) {
    if (const Word hits = Hits(WindowOf<Word, 0>(masks, text, base, kNone), sought); hits != 0) {
      return base + static_cast<std::size_t>(std::countr_zero(hits));
    }
  }
  return text.size();
}

// The last sought byte of `text`, or std::string_view::npos. The windows end
// at the text's end; the first may reach before its start, and is read from
// its start instead: the bytes it then holds twice were searched, in vain.
template <template <std::size_t, bool, std::size_t> class Classify, class Word = Bits>
std::size_t FindLast(std::string_view text, Sought sought) {
  constexpr std::size_t kWindow = kWindowOf<Word>;
  const Classify<0, false, 0> classify{std::string()};
  const auto masks = [&](const char* at) { return classify.template Window<Word>(at); };
  for (std::size_t end = text.size(); end > 0;) {
    const std::size_t base = end > kWindow ? end - kWindow : 0;
    if (const Word hits = Hits(WindowOf<Word, 0>(masks, text, base, kNone), sought); hits != 0) {
      return base + kWindow - 1 - static_cast<std::size_t>(std::countl_zero(hits));
    }
    end = base;
  }
  return std::string_view::npos;
}

// Whether `text` holds a NUL byte, four of `Vectors` at a time, each byte looked
// at once.
template <class Vectors>
bool HoldsNulWith(std::string_view text) {
  constexpr std::size_t kWidth = Vectors::kWidth;
  const auto zero = Vectors::Splat('\0');
  const auto nul_at = [&](const char* at) { return Vectors::Equal(Vectors::Load(at), zero); };
  std::size_t at = 0;
  for (; at + 4 * kWidth <= text.size(); at += 4 * kWidth) {
    const char* const from = text.data() + at;
    const auto nuls =
        Vectors::Or(Vectors::Or(nul_at(from), nul_at(from + kWidth)),
                    Vectors::Or(nul_at(from + 2 * kWidth), nul_at(from + 3 * kWidth)));
    if (Vectors::Mask(nuls) != 0) {
      return true;
    }
  }
  return text.find('\0', at) != std::string_view::npos;
}

// The scan and the byte searches with AVX2, for processors that have it
// (level_search_avx2.cpp).
void ScanAvx2(std::string_view lines, const std::string& level,
              const std::function<void(std::string_view)>& select);
std::size_t FindFirstAvx2(std::string_view text, Sought sought);
std::size_t FindLastAvx2(std::string_view text, Sought sought);
bool HoldsNulAvx2(std::string_view text);

}  // namespace velkaro::endgame::scan
