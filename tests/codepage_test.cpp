#include "app/runtime/codepage.h"

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

}  // namespace
}  // namespace velkaro::runtime
