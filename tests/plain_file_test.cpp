#include "runtime/plain_file.h"

#include <gtest/gtest.h>

namespace velkaro::runtime {
namespace {

// Attributes and reparse tags as Windows reports them for a folder's entries.
TEST(PlainFile, IsAFileOrAFileKeptInTheCloudAndNothingElse) {
  EXPECT_TRUE(IsPlainFile(0x20, 0));             // FILE_ATTRIBUTE_ARCHIVE
  EXPECT_TRUE(IsPlainFile(0x80, 0xA000000C));    // no reparse point: the tag means nothing
  EXPECT_TRUE(IsPlainFile(0x420, 0x9000001A));   // IO_REPARSE_TAG_CLOUD
  EXPECT_TRUE(IsPlainFile(0x420, 0x9000101A));   // IO_REPARSE_TAG_CLOUD_1
  EXPECT_TRUE(IsPlainFile(0x420, 0x9000F01A));   // IO_REPARSE_TAG_CLOUD_F
  EXPECT_FALSE(IsPlainFile(0x10, 0));            // a folder
  EXPECT_FALSE(IsPlainFile(0x410, 0x9000001A));  // a folder kept in the cloud
  EXPECT_FALSE(IsPlainFile(0x420, 0xA000000C));  // IO_REPARSE_TAG_SYMLINK
  EXPECT_FALSE(IsPlainFile(0x420, 0xA0000003));  // IO_REPARSE_TAG_MOUNT_POINT, a junction
  EXPECT_FALSE(IsPlainFile(0x420, 0x8000001B));  // IO_REPARSE_TAG_APPEXECLINK
  EXPECT_FALSE(IsPlainFile(0x420, 0x9000001B));
  EXPECT_FALSE(IsPlainFile(0x420, 0x1000001A));
  EXPECT_FALSE(IsPlainFile(0x420, 0x9001001A));
  EXPECT_FALSE(IsPlainFile(0x420, 0x9000011A));  // not one of the sixteen variants
}

}  // namespace
}  // namespace velkaro::runtime
