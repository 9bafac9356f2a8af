// Folders, file times and full paths behave as their Win32 namesakes.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "test_files.h"

TEST(PlatformFolder, CreateDirectoryResults) {
  std::u16string dir = TestWidePath(TestTempDir());
  std::u16string child = dir + u"\\child";
  EXPECT_TRUE(PlatformCreateDirectory(child.c_str()));
  EXPECT_TRUE(PlatformPathExists(child.c_str()));
  EXPECT_FALSE(PlatformCreateDirectory(child.c_str()));
  EXPECT_EQ(kErrorAlreadyExists, PlatformGetLastError());
  std::u16string orphan = dir + u"\\missing\\child";
  EXPECT_FALSE(PlatformCreateDirectory(orphan.c_str()));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());
}

TEST(PlatformTime, LocalNoonSurvivesTheRoundTrip) {
  PlatformDateTime noon = {2024, 2, 0, 29, 12, 0, 0, 0};
  uint64_t t = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &t));
  // Whatever the time zone, local noon lies within 14 hours of 12:00 UTC that day.
  const uint64_t kNoonUtc = 133536528000000000ull;  // 2024-02-29 12:00:00 UTC
  const uint64_t kHour = 36000000000ull;
  EXPECT_LE(t, kNoonUtc + 14 * kHour);
  EXPECT_GE(t, kNoonUtc - 14 * kHour);

  std::string path = TestTempDir() + "/stamped.bin";
  TestWriteFile(path, {1, 2, 3});
  PlatformFile f = PlatformCreateFile(TestWidePath(path).c_str(), true);
  ASSERT_NE(PLATFORM_INVALID_FILE, f);
  EXPECT_TRUE(PlatformSetFileTime(f, t));
  PlatformCloseHandle(f);
  EXPECT_EQ(t, TestFileWriteTime(path));
}

TEST(PlatformTime, DatesThatDoNotExistFail) {
  uint64_t t = 0;
  // Wine accepts 29 February of a common year, so callers check leap days themselves.
  PlatformDateTime bad[] = {
      {2024, 13, 0, 1, 12, 0, 0, 0}, {2024, 4, 0, 31, 12, 0, 0, 0},
      {2024, 0, 0, 10, 12, 0, 0, 0}, {2024, 1, 0, 0, 12, 0, 0, 0},
  };
  for (const PlatformDateTime& d : bad)
    EXPECT_FALSE(PlatformLocalTimeToFileTime(&d, &t)) << d.year << "-" << d.month << "-" << d.day;
}

TEST(PlatformPath, FullPathOfARelativeName) {
  char16_t full[1024];
  uint32_t n = PlatformGetFullPathName(u"a\\.\\b\\..\\c.txt", full, 1024);
  ASSERT_GT(n, 6u);
  ASSERT_LT(n, 1024u);
  std::u16string result(full, n);
  EXPECT_EQ(u"a", result.substr(n - 7, 1));
  EXPECT_EQ(u"c.txt", result.substr(n - 5));
  char16_t tiny[4] = {u'x', 0, 0, 0};
  EXPECT_GT(PlatformGetFullPathName(u"a\\c.txt", tiny, 4), 4u);
  EXPECT_EQ(u'x', tiny[0]) << "a buffer too small is left alone";
}
