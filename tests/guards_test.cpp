// The guards' decisions, each a portable function of facts, each by its table.
#include <gtest/gtest.h>

#include <string>

#include "endgame/text_encoding.h"
#include "runtime/file_state.h"
#include "runtime/leftover_name.h"

namespace velkaro {
namespace {

using namespace std::string_literals;

TEST(Guards, Utf16IsProvenByACrLfOfItsOwnAtAnEvenOffset) {
  const struct {
    std::string bytes;
    bool proven;
  } cases[] = {
      {"\r\0\n\0"s, true},            // little-endian
      {"\0\r\0\n"s, true},            // big-endian
      {"ab\r\0\n\0"s, true},          // at offset 2
      {"a\r\0\n\0b\r\0\n\0"s, true},  // the second, at offset 6
      {"a\r\0\n\0"s, false},          // at an odd offset: a NUL line in ANSI
      {"a\0\r\0\n"s, false},
      {"x\0\r\n\0\t"s, false},  // NULs beside one CR, one LF, one TAB
      {"\r\0\n"s, false},
      {"\n\0\r\0"s, false},  // LF CR is no line break of UTF-16
      {"a\tb\r\n"s, false},
      {""s, false},
  };
  for (const auto& [bytes, proven] : cases) {
    EXPECT_EQ(endgame::ProveUtf16(bytes), proven) << testing::PrintToString(bytes);
  }
}

TEST(Guards, AFileIsChangedWhenAnyOfItsStatesDifferOrItsReadsDo) {
  const runtime::FileState at_open{100, 5, 7};
  const struct {
    runtime::FileState at_end;
    std::uint64_t bytes_read;
    bool read_past_end;
    bool changed;
  } cases[] = {
      {{100, 5, 7}, 100, false, false}, {{100, 5, 7}, 99, false, true},  // its reads ended early
      {{100, 5, 7}, 100, true, true},                                    // a read found more
      {{101, 5, 7}, 100, false, true},  // grown after its end was read
      {{100, 6, 7}, 100, false, true},  // rewritten at the same size
      {{100, 5, 8}, 100, false, true},  // and its write time set back
  };
  for (const auto& [at_end, bytes_read, read_past_end, changed] : cases) {
    EXPECT_EQ(runtime::ChangedWhileRead(at_open, at_end, bytes_read, read_past_end), changed)
        << at_end.size << " " << at_end.write_time << " " << at_end.change_time << " " << bytes_read
        << " " << read_past_end;
  }
}

TEST(Guards, ALeftoverGoesOnlyAsAQuietPlainFileOfTheFolderWithOneName) {
  using Facts = runtime::LeftoverFacts;
  const struct {
    Facts facts;
    bool removed;
  } cases[] = {
      {{true, true, 1, 900}, true},  // 15 minutes since its last write
      {{true, true, 1, 1 << 30}, true},
      {{true, true, 1, 899}, false},  // written lately: another machine's run
      {{true, true, 1, -5}, false},   // a clock behind the share's
      {{true, true, 2, 900}, false},  // another name of a file elsewhere
      {{true, true, 0, 900}, false},
      {{true, false, 1, 900}, false},  // resolves elsewhere: a link Wine shows as a file
      {{false, true, 1, 900}, false},  // a folder, a link, a reparse point
  };
  for (const auto& [facts, removed] : cases) {
    EXPECT_EQ(runtime::MayRemoveLeftover(facts), removed)
        << facts.plain_file << facts.in_folder << " " << facts.names << " "
        << facts.seconds_since_write;
  }
}

}  // namespace
}  // namespace velkaro
