#include "endgame/level_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/reference_selection.h"

namespace velkaro::endgame {
namespace {

using Lines = std::vector<std::string>;

Lines Fast(std::string_view run, std::string_view level) {
  Lines lines;
  LevelSearch(level).ForEachLine(run, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

Lines Simple(std::string_view run, std::string_view level) {
  Lines lines;
  tests::ReferenceSelectLinesOfLevel(run, level,
                                     [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(LevelSearch, FindsTheLevelOnlyAsAWholeField1) {
  const std::string run =
      "p\t12\r\n"      // yes
      "p\t123\r\n"     // a longer field
      "p\t012\r\n"     // a longer field
      "p\t1\t12\r\n"   // 12 in field 2
      "12\tq\r\n"      // 12 in field 0
      "p\t12\tq\n"     // yes, LF
      "p\t12\rp\t12";  // yes, lone CR; yes, no terminator at the end
  const Lines expected{"p\t12", "p\t12\tq", "p\t12", "p\t12"};
  EXPECT_EQ(Fast(run, "12"), expected);
  EXPECT_EQ(Simple(run, "12"), expected);
}

TEST(LevelSearch, FindsEmptyLevelFields) {
  EXPECT_EQ(Fast("a\t\r\nb\tc\r\nd\t\te\r\nf\r\n\t", ""), (Lines{"a\t", "d\t\te", "\t"}));
}

TEST(LevelSearch, LooksAtEveryPlaceOfALongRun) {
  // Matches at every offset against the 16-byte steps of the scan.
  for (std::size_t pad = 0; pad < 40; ++pad) {
    const std::string line = std::string(pad, 'x') + "\t77";
    const std::string run = line + "\r\n" + line + "\r\n" + line;
    EXPECT_EQ(Fast(run, "77"), (Lines{line, line, line})) << pad;
  }
}

// The fast and the simple path agree on random runs over a small alphabet
// that makes fields, line ends and near-misses common.
TEST(LevelSearch, AgreesWithTheSimplePathOnRandomRuns) {
  std::mt19937 random(20261207);
  const std::string alphabet = "\t\t\t\r\n12 a";
  const std::string levels[] = {"", "1", "2", "12", "1 ", "a", "21a"};
  for (int round = 0; round < 5000; ++round) {
    std::string run(random() % 120, ' ');
    for (char& c : run) {
      c = alphabet[random() % alphabet.size()];
    }
    for (const std::string& level : levels) {
      ASSERT_EQ(Fast(run, level), Simple(run, level)) << "level '" << level << "' run: " << run;
    }
  }
}

}  // namespace
}  // namespace velkaro::endgame
