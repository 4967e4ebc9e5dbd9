// The guards' decisions, each a portable function of facts, each by its table.
#include <gtest/gtest.h>

#include <string>

#include "endgame/text_encoding.h"
#include "runtime/file_state.h"
#include "runtime/leftover_name.h"
#include "runtime/unread_input.h"
#include "runtime/virtual_store.h"

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

// A process that Windows virtualizes finds its copy of a file at the same path
// below VirtualStore, less the drive; nothing on a share.
TEST(Guards, TheTwinIsThePathBelowTheStoreLessItsDrive) {
  using runtime::VirtualStoreTwin;
  const std::wstring store = L"C:\\Users\\u\\AppData\\Local\\VirtualStore";
  const std::wstring twin = store + L"\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD";
  EXPECT_EQ(VirtualStoreTwin(store, L"C:\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD"),
            twin);
  EXPECT_EQ(VirtualStoreTwin(store + L"\\",
                             L"\\\\?\\c:\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD"),
            twin);
  EXPECT_EQ(VirtualStoreTwin(store, L"\\\\?\\UNC\\server\\share\\VIRLA.EPD"), L"");
  EXPECT_EQ(VirtualStoreTwin(store, L"\\\\server\\share\\VIRLA.EPD"), L"");
  EXPECT_EQ(VirtualStoreTwin(L"", L"C:\\VIRLA.EPD"), L"");
}

// The set's folder is as resolved through a handle: a short name, a link, a
// substituted drive or another letter for the same volume gives the folder's
// place, which is all the rule sees.
TEST(Guards, TheTrainersCopyIsLookedForOnlyWhereWindowsWouldKeepOne) {
  using Kind = runtime::TwinPlace::Kind;
  const std::wstring store = L"C:\\Users\\u\\AppData\\Local\\VirtualStore";
  const std::vector<std::wstring> protected_folders = {
      L"\\\\?\\C:\\Program Files (x86)", L"\\\\?\\C:\\Program Files", L"\\\\?\\C:\\ProgramData",
      L"\\\\?\\C:\\Windows"};
  const auto facts = [&](std::wstring folder) {
    runtime::TwinFacts made;
    made.set_folder = std::move(folder);
    made.virtualized_folders = protected_folders;
    made.elevated = true;
    made.store = store;
    return made;
  };
  const std::wstring installed = L"\\\\?\\C:\\Program Files (x86)\\T\\ENDGAMES";
  auto uac_off = facts(installed);
  uac_off.uac_on = false;
  auto policy_off = facts(installed);
  policy_off.virtualization_on = false;
  auto not_elevated = facts(installed);
  not_elevated.elevated = false;
  auto other_user = facts(installed);
  other_user.session_user = false;
  const struct {
    runtime::TwinFacts facts;
    Kind kind;
    std::wstring folder;
  } cases[] = {
      {facts(installed), Kind::kFolder, store + L"\\Program Files (x86)\\T\\ENDGAMES"},
      {facts(L"c:\\program files\\T\\ENDGAMES\\"), Kind::kFolder,
       store + L"\\program files\\T\\ENDGAMES"},
      {facts(L"\\\\?\\C:\\ProgramData\\T"), Kind::kFolder, store + L"\\ProgramData\\T"},
      {facts(L"\\\\?\\C:\\Windows"), Kind::kFolder, store + L"\\Windows"},
      {facts(L"\\\\?\\D:\\VS\\T\\ENDGAMES"), Kind::kNone, L""},  // another drive
      {facts(L"\\\\?\\D:\\Program Files (x86)\\T"), Kind::kNone, L""},
      {facts(L"\\\\?\\C:\\Program Files (x86)X\\T"), Kind::kNone, L""},
      {facts(L"\\\\?\\C:\\Users\\u\\T\\ENDGAMES"), Kind::kNone, L""},
      {facts(L"\\\\?\\UNC\\server\\share\\T"), Kind::kNone, L""},
      {uac_off, Kind::kNone, L""},
      {policy_off, Kind::kNone, L""},
      {not_elevated, Kind::kNone, L""},  // virtualized itself, or UAC's default
      {other_user, Kind::kOtherUser, L""},
  };
  for (const auto& [given, kind, folder] : cases) {
    const runtime::TwinPlace place = runtime::WhereTheTrainersCopyMayBe(given);
    EXPECT_EQ(place.kind, kind) << testing::PrintToString(given.set_folder);
    EXPECT_EQ(place.folder, folder) << testing::PrintToString(given.set_folder);
  }
}

// A message box answers only input given once it could be read: none before
// it showed, none in its first half second, no repeat of a key held since,
// no end of a press it did not see begin.
TEST(Guards, AMessageBoxAnswersOnlyInputGivenOnceItCouldBeRead) {
  using Kind = runtime::BoxInput::Kind;
  const struct {
    runtime::BoxInput input;
    bool unread;
  } cases[] = {
      {{Kind::kKeyDown, true, 500, false, false}, false},  // Enter, read
      {{Kind::kKeyDown, true, 499, false, false}, true},   // in its first moments
      {{Kind::kKeyDown, true, -40, false, false}, true},   // typed during the press
      {{Kind::kKeyDown, false, 900, false, false}, true},  // before it showed
      {{Kind::kButtonDown, true, 499, false, false}, true},
      {{Kind::kButtonDown, true, 600, false, false}, false},
      {{Kind::kCharacter, true, 300, false, false}, true},
      {{Kind::kCharacter, true, 600, false, false}, false},
      {{Kind::kKeyDown, true, 700, true, false}, true},  // a key held since
      {{Kind::kKeyDown, true, 700, true, true}, false},  // held, pressed in the box
      {{Kind::kKeyUp, true, 700, false, false}, true},   // released, pressed before
      {{Kind::kKeyUp, true, 700, false, true}, false},
      {{Kind::kButtonUp, true, 700, false, false}, true},
      {{Kind::kButtonUp, true, 700, false, true}, false},
      {{Kind::kOther, false, -40, false, false}, false},  // painting, commands
  };
  for (const auto& [input, unread] : cases) {
    EXPECT_EQ(runtime::IsUnreadInput(input), unread)
        << static_cast<int>(input.kind) << " " << input.box_shown << " " << input.ms_after_shown
        << " " << input.repeat << input.went_down_in_box;
  }
}

}  // namespace
}  // namespace velkaro
