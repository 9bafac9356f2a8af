#include "archive/file_routines.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"

TEST(FileRoutines, CreateDirectoryTreeResults) {
  std::u16string root = TestWidePath(TestTempDir()), deep = root;
  for (int i = 0; i < 60; ++i) deep += u"\\d";
  EXPECT_EQ(0, CreateDirectoryTree(deep.c_str()));
  EXPECT_TRUE(PlatformPathExists(deep.c_str()));
  EXPECT_EQ(2, CreateDirectoryTree(deep.c_str()));  // it exists
  EXPECT_EQ(2, CreateDirectoryTree(u"Q:\\setupkit-no-drive\\a\\b"));
  // The parent can be made, the folder cannot: its name is longer than any file system allows.
  EXPECT_EQ(3, CreateDirectoryTree((root + u"\\made\\" + std::u16string(300, u'n')).c_str()));
  EXPECT_TRUE(PlatformPathExists((root + u"\\made").c_str()));
  // A relative path climbs to its first component, a one-letter one too.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::u8path(TestTempDir()));
  EXPECT_EQ(0, CreateDirectoryTree(u"d\\a\\b"));
  EXPECT_TRUE(PlatformPathExists(u"d\\a\\b"));
  std::filesystem::current_path(before);
}

// The small helpers every layer leans on: the system's error or a fallback, and
// a size that is 0 for no file.
TEST(FileRoutines, ErrorFallbackAndSize) {
  for (uint32_t error : {0u, 1u, 5u}) {
    PlatformSetLastError(error);
    EXPECT_EQ(error == 0 ? 87 : static_cast<int>(error), LastErrorOr(87)) << error;
  }
  EXPECT_EQ(0u, FileSizeOrZero(PLATFORM_INVALID_FILE));
  const std::string dir = TestTempDir();
  TestWriteFile(dir + "/three", TestBytes("abc"));
  PlatformFile file = PlatformCreateFile(TestWidePath(dir + "/three").c_str(), false);
  EXPECT_EQ(3u, FileSizeOrZero(file));
  CloseFileHandle(file);
}
