// Files, folders and file times behave as their Win32 namesakes in both backends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_files.h"

TEST(PlatformFile, ReadsToTheEndAndWritingReplaces) {
  const std::string dir = TestTempDir();
  TestWriteFile(dir + "/data.bin", std::vector<uint8_t>(10000, 2));
  // The backslash separates folders in both backends.
  PlatformFile f = PlatformCreateFile((TestWidePath(dir) + u"\\data.bin").c_str(), false);
  ASSERT_NE(PLATFORM_INVALID_FILE, f);
  EXPECT_EQ(10000u, PlatformGetFileSize(f));
  EXPECT_EQ(9990u, PlatformSetFilePointer(f, 9990));
  uint8_t buffer[64];
  uint32_t got = 99;
  EXPECT_TRUE(PlatformReadFile(f, buffer, sizeof buffer, &got));
  EXPECT_EQ(10u, got);
  EXPECT_TRUE(PlatformReadFile(f, buffer, sizeof buffer, &got));
  EXPECT_EQ(0u, got) << "a read at the end of the file succeeds with nothing";
  EXPECT_TRUE(PlatformCloseHandle(f));
  f = PlatformCreateFile(TestWidePath(dir + "/data.bin").c_str(), true);
  EXPECT_TRUE(PlatformWriteFile(f, "abc", 3, &got));
  EXPECT_EQ(3u, got);
  PlatformCloseHandle(f);
  EXPECT_EQ(TestBytes("abc"), TestReadFile(dir + "/data.bin"));
}

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
  EXPECT_FALSE(PlatformPathExists(child.c_str()));
  EXPECT_TRUE(PlatformCreateDirectory(child.c_str()));
  EXPECT_TRUE(PlatformPathExists(child.c_str()));
  EXPECT_FALSE(PlatformCreateDirectory(child.c_str()));
  EXPECT_EQ(kErrorAlreadyExists, PlatformGetLastError());
  EXPECT_FALSE(PlatformCreateDirectory((dir + u"\\missing\\child").c_str()));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());
}

TEST(PlatformTime, LocalNoonIsStampedAndDatesThatDoNotExistFail) {
  PlatformDateTime noon = {2024, 2, 0, 29, 12, 0, 0, 0};
  uint64_t t = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &t));
  // Whatever the time zone, local noon lies within 14 hours of 2024-02-29 12:00 UTC.
  EXPECT_LE(t, 133536528000000000ull + 14 * 36000000000ull);
  EXPECT_GE(t, 133536528000000000ull - 14 * 36000000000ull);
  const std::string path = TestTempDir() + "/stamped.bin";
  TestWriteFile(path, {1, 2, 3});
  PlatformFile f = PlatformCreateFile(TestWidePath(path).c_str(), true);
  EXPECT_TRUE(PlatformSetFileTime(f, t));
  PlatformCloseHandle(f);
  EXPECT_EQ(t, TestFileWriteTime(path));
  // Wine accepts 29 February of a common year, so callers check leap days themselves.
  const PlatformDateTime bad[] = {{2024, 13, 0, 1, 12, 0, 0, 0}, {2024, 4, 0, 31, 12, 0, 0, 0},
                                  {2024, 0, 0, 10, 12, 0, 0, 0}, {2024, 1, 0, 0, 12, 0, 0, 0}};
  for (const PlatformDateTime& d : bad) EXPECT_FALSE(PlatformLocalTimeToFileTime(&d, &t)) << d.month << "/" << d.day;
}
