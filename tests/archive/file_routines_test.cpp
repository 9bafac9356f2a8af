#include "archive/file_routines.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include "test_files.h"

TEST(FileRoutines, OpenFileHandleReadsAndReplaces) {
  std::string dir = TestTempDir();
  PlatformFile file = reinterpret_cast<PlatformFile>(static_cast<intptr_t>(1234));
  EXPECT_EQ(2, OpenFileHandle(TestWidePath(dir + "/missing").c_str(), false, &file));
  EXPECT_EQ(reinterpret_cast<PlatformFile>(static_cast<intptr_t>(1234)), file);
  EXPECT_EQ(3, OpenFileHandle(TestWidePath(dir + "/no/such").c_str(), true, &file));

  std::string path = dir + "/f";
  TestWriteFile(path, {1, 2, 3, 4, 5});
  ASSERT_EQ(0, OpenFileHandle(TestWidePath(path).c_str(), false, &file));
  EXPECT_EQ(5u, FileSizeOrZero(file));
  CloseFileHandle(file);
  ASSERT_EQ(0, OpenFileHandle(TestWidePath(path).c_str(), true, &file));
  EXPECT_EQ(0u, FileSizeOrZero(file));
  CloseFileHandle(file);
  CloseFileHandle(PLATFORM_INVALID_FILE);
  EXPECT_EQ(0u, FileSizeOrZero(PLATFORM_INVALID_FILE));
}

TEST(FileRoutines, LastErrorOrFallsBackOnZero) {
  PlatformSetLastError(0);
  EXPECT_EQ(5, LastErrorOr(5));
  PlatformSetLastError(183);
  EXPECT_EQ(183, LastErrorOr(5));
}

TEST(FileRoutines, CreateDirectoryTreeResults) {
  std::u16string root = TestWidePath(TestTempDir());
  EXPECT_EQ(0, CreateDirectoryTree((root + u"\\parent\\child").c_str()));
  EXPECT_TRUE(PlatformPathExists((root + u"\\parent\\child").c_str()));
  EXPECT_EQ(2, CreateDirectoryTree((root + u"\\parent").c_str()));  // exists
  EXPECT_EQ(2, CreateDirectoryTree(u"Q:\\setupkit-no-drive\\a\\b"));
  // A deep chain of missing folders.
  std::u16string deep = root;
  for (int i = 0; i < 60; ++i) deep += u"\\d";
  EXPECT_EQ(0, CreateDirectoryTree(deep.c_str()));
  EXPECT_TRUE(PlatformPathExists(deep.c_str()));
  // The parent can be made, the folder cannot: its name is longer than any file system allows.
  std::u16string tooLong = root + u"\\made\\" + std::u16string(300, u'n');
  EXPECT_EQ(3, CreateDirectoryTree(tooLong.c_str()));
  EXPECT_TRUE(PlatformPathExists((root + u"\\made").c_str()));
}

TEST(FileRoutines, MakeFullPathKeepsWhatDoesNotFit) {
  char16_t path[1024] = u"a\\b";
  MakeFullPath(path);
  std::u16string full(path);
  EXPECT_GT(full.size(), 3u);
  EXPECT_EQ(u"b", full.substr(full.size() - 1));
  EXPECT_NE(u'a', full[0]);
  std::u16string relative(1023, u'r');
  std::copy(relative.c_str(), relative.c_str() + 1024, path);
  MakeFullPath(path);  // the current folder in front makes it more than 1023 units
  EXPECT_EQ(relative, std::u16string(path));
}

TEST(FileRoutines, AllocZeroedAndFreeAndClear) {
  EXPECT_EQ(nullptr, AllocZeroed(0));
  uint8_t* block = static_cast<uint8_t*>(AllocZeroed(4096));
  ASSERT_NE(nullptr, block);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(0, block[i]) << "byte " << i;
  FreeAndClear(block);
  EXPECT_EQ(nullptr, block);
  FreeAndClear(block);
  volatile size_t huge = SIZE_MAX;
  EXPECT_EQ(nullptr, AllocZeroed(huge));
}
