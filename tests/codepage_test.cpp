#include "runtime/codepage.h"

#include <gtest/gtest.h>

namespace velkaro::runtime {
namespace {

// The files' code page is 936 here: natively by design, under Wine by the
// Simplified Chinese locale the tests run in.
TEST(CodePage, SpellsATextInTheFilesBytes) {
  EXPECT_EQ(ToFileBytes("12"), "12");
  EXPECT_EQ(ToFileBytes(""), "");
  EXPECT_EQ(ToFileBytes("高级"), "\xb8\xdf\xbc\xb6");
  EXPECT_EQ(ToFileBytes("１２"), "\xa3\xb1\xa3\xb2");  // full-width digits are not ASCII digits
}

TEST(CodePage, CannotSpellWhatTheCodePageLacks) {
  EXPECT_EQ(ToFileBytes("😀"), std::nullopt);
  EXPECT_EQ(ToFileBytes("1😀"), std::nullopt);
  EXPECT_EQ(ToFileBytes("\xff"), std::nullopt);  // not UTF-8
}

TEST(CodePage, ReadsTheFilesBytes) {
  EXPECT_EQ(FromFileBytes(" 12"), " 12");
  EXPECT_EQ(FromFileBytes("\xb8\xdf\xbc\xb6"), "高级");
}

// Each byte that starts no character of code page 936 reads as U+FFFD, on
// every system alike (Windows itself would show 0xFF as U+F8F5, a lone lead
// byte as "?").
TEST(CodePage, ShowsEachByteThatIsNoCharacterAsAReplacement) {
  EXPECT_EQ(FromFileBytes("\xff"), "\xEF\xBF\xBD");
  EXPECT_EQ(FromFileBytes("1\x81"), "1\xEF\xBF\xBD");
  EXPECT_EQ(FromFileBytes("\x81\x30"),
            "\xEF\xBF\xBD"
            "0");
  EXPECT_EQ(FromFileBytes("\xb8\xdf\xff\x80\xbc\xb6\x81"), "高\xEF\xBF\xBD€级\xEF\xBF\xBD");
  EXPECT_EQ(ToFileBytes("\xEF\xA3\xB5"), std::nullopt);  // U+F8F5 spells no byte either
}

}  // namespace
}  // namespace velkaro::runtime
