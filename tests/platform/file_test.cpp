// The file primitives behave as their Win32 namesakes in both backends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_files.h"

namespace {

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  return v;
}

}  // namespace

TEST(PlatformFile, ReadSeekSizeAndEnd) {
  std::string path = TestTempDir() + "/data.bin";
  TestWriteFile(path, Bytes(10000));
  PlatformFile f = PlatformCreateFile(TestWidePath(path).c_str(), false);
  ASSERT_NE(PLATFORM_INVALID_FILE, f);
  EXPECT_EQ(10000u, PlatformGetFileSize(f));

  EXPECT_EQ(9990u, PlatformSetFilePointer(f, 9990));
  uint8_t buffer[64];
  uint32_t got = 99;
  ASSERT_TRUE(PlatformReadFile(f, buffer, sizeof buffer, &got));
  EXPECT_EQ(10u, got);
  EXPECT_EQ(Bytes(10000)[9990], buffer[0]);
  ASSERT_TRUE(PlatformReadFile(f, buffer, sizeof buffer, &got));
  EXPECT_EQ(0u, got) << "a read at the end of the file succeeds with nothing";

  EXPECT_EQ(0u, PlatformSetFilePointer(f, 0));
  ASSERT_TRUE(PlatformReadFile(f, buffer, 4, &got));
  EXPECT_EQ(4u, got);
  EXPECT_EQ(1, buffer[0]);
  EXPECT_EQ(8, buffer[1]);
  EXPECT_TRUE(PlatformCloseHandle(f));
}

TEST(PlatformFile, WriteReplacesContents) {
  std::string path = TestTempDir() + "/out.bin";
  TestWriteFile(path, Bytes(500));
  PlatformFile f = PlatformCreateFile(TestWidePath(path).c_str(), true);
  ASSERT_NE(PLATFORM_INVALID_FILE, f);
  uint32_t put = 0;
  ASSERT_TRUE(PlatformWriteFile(f, "abc", 3, &put));
  EXPECT_EQ(3u, put);
  PlatformCloseHandle(f);
  EXPECT_EQ((std::vector<uint8_t>{'a', 'b', 'c'}), TestReadFile(path));
}

TEST(PlatformFile, ErrorNumbersAreWin32) {
  std::string dir = TestTempDir();
  std::u16string missingFile = TestWidePath(dir + "/missing.bin");
  EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(missingFile.c_str(), false));
  EXPECT_EQ(kErrorFileNotFound, PlatformGetLastError());

  std::u16string missingFolder = TestWidePath(dir + "/no/such/file.bin");
  EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(missingFolder.c_str(), false));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());
  EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(missingFolder.c_str(), true));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());

  // A folder is not a file for reading or writing.
  std::u16string folder = TestWidePath(dir);
  EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(folder.c_str(), false));
  EXPECT_EQ(kErrorAccessDenied, PlatformGetLastError());
  EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(folder.c_str(), true));
  EXPECT_EQ(kErrorAccessDenied, PlatformGetLastError());
}

TEST(PlatformFile, BackslashSeparatesFolders) {
  std::string dir = TestTempDir();
  TestWriteFile(dir + "/inner.txt", {'x'});
  std::u16string path = TestWidePath(dir) + u"\\inner.txt";
  EXPECT_TRUE(PlatformPathExists(path.c_str()));
  PlatformFile f = PlatformCreateFile(path.c_str(), false);
  ASSERT_NE(PLATFORM_INVALID_FILE, f);
  PlatformCloseHandle(f);
  EXPECT_FALSE(PlatformPathExists((TestWidePath(dir) + u"\\other.txt").c_str()));
}
