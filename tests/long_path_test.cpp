#include "runtime/long_path.h"

#include <gtest/gtest.h>

namespace velkaro::runtime {
namespace {

// Wine takes paths past MAX_PATH without the prefix, so the window test in a
// deep folder cannot show its need; the forms themselves are checked here.
TEST(ExtendedPath, IsAbsoluteWithBackslashesAndThePrefix) {
  EXPECT_EQ(ExtendedPath(L"C:/Games/ENDGAMES/../ENDGAMES/VIRLA.EPD"),
            L"\\\\?\\C:\\Games\\ENDGAMES\\VIRLA.EPD");
  EXPECT_EQ(ExtendedPath(L"\\\\server\\share\\ENDGAMES"), L"\\\\?\\UNC\\server\\share\\ENDGAMES");
  EXPECT_EQ(ExtendedPath(L"\\\\?\\C:\\Games"), L"\\\\?\\C:\\Games");
  const std::wstring relative = ExtendedPath(L"ENDGAMES");
  EXPECT_EQ(relative.rfind(L"\\\\?\\", 0), 0u);
  EXPECT_TRUE(relative.ends_with(L"\\ENDGAMES"));
}

}  // namespace
}  // namespace velkaro::runtime
