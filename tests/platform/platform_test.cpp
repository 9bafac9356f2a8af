// The POSIX backend answers as the Win32 calls it stands in for. Reading, writing
// and seeking are exercised by every archive test on both backends.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "test_files.h"

TEST(PlatformFile, ErrorNumbersAreWin32) {
  const std::u16string dir = TestWidePath(TestTempDir()), child = dir + u"\\child";
  const struct { std::u16string path; bool forWrite; uint32_t error; } opens[] = {
      {dir + u"\\missing.bin", false, kErrorFileNotFound}, {dir + u"\\no\\such.bin", false, kErrorPathNotFound},
      {dir + u"\\no\\such.bin", true, kErrorPathNotFound}, {dir, false, kErrorAccessDenied},
      {dir, true, kErrorAccessDenied},
  };
  for (const auto& o : opens) {
    EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(o.path.c_str(), o.forWrite));
    EXPECT_EQ(o.error, PlatformGetLastError()) << testing::PrintToString(o.path) << " for writing " << o.forWrite;
  }
  EXPECT_TRUE(PlatformCreateDirectory(child.c_str()) && PlatformPathExists(child.c_str()));
  EXPECT_FALSE(PlatformCreateDirectory(child.c_str()));
  EXPECT_EQ(kErrorAlreadyExists, PlatformGetLastError());
  EXPECT_FALSE(PlatformCreateDirectory((dir + u"\\missing\\child").c_str()));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());
}

TEST(PlatformTime, LocalNoonAndDatesThatDoNotExist) {
  PlatformDateTime noon = {2024, 2, 0, 29, 12, 0, 0, 0};
  uint64_t t = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &t));
  // Whatever the time zone, local noon lies within 14 hours of 2024-02-29 12:00 UTC.
  EXPECT_LE(t, 133536528000000000ull + 14 * 36000000000ull);
  EXPECT_GE(t, 133536528000000000ull - 14 * 36000000000ull);
  // Wine accepts 29 February of a common year, so callers check leap days themselves.
  for (uint16_t month : {0, 4, 13}) {
    PlatformDateTime bad = {2024, month, 0, 31, 12, 0, 0, 0};
    EXPECT_FALSE(PlatformLocalTimeToFileTime(&bad, &t)) << "month " << month << ", day 31";
  }
}
