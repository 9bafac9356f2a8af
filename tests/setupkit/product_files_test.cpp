#include "setupkit/product_files.h"

#include <gtest/gtest.h>

#include "setupkit_test_util.h"

TEST(ProductFiles, WholeSetLimits) {
  // Sizes as gathered; no file needs to exist for the set's checks.
  std::vector<ProductFile> files = {{"a.txt", "a.txt", 100}, {"b\\c.txt", "c.txt", 0}};
  EXPECT_EQ("", ProductFilesCheck(files, 14, "product"));
  // 14 + (10 + 100) + (12 + size) bytes of stream; one byte more than 4 GiB - 1 is refused.
  files[1].size = 0xFFFFFFFFull - 136 + 1;
  EXPECT_EQ("product: the files make an entry stream of 4294967296 bytes; an installer holds at most 4294967295",
            ProductFilesCheck(files, 14, "product"));
  files[1].size -= 1;
  EXPECT_EQ("", ProductFilesCheck(files, 14, "product"));
  EXPECT_EQ("product: holds no files; an installer needs at least one", ProductFilesCheck({}, 14, "product"));

  files = {{"x\\Read.me", "1", 1}, {"y\\READ.ME", "2", 1}, {"z\\read.me", "3", 1}, {"read.me.txt", "4", 1}};
  std::vector<std::string> expected = {
      "\"x\\Read.me\" and \"y\\READ.ME\" both install as \"READ.ME\"; the installer keeps the later one",
      "\"y\\READ.ME\" and \"z\\read.me\" both install as \"read.me\"; the installer keeps the later one"};
  EXPECT_EQ(expected, ProductFilesFlatteningClashes(files));
}

TEST(ProductFiles, FolderNamesAreSortedByStoredBytes) {
  const std::string root = TestTempDir();
  TestWriteTree(root, {{"b.txt", ""}, {"B/a.txt", ""}, {u8"\u00e9.txt", ""}, {u8"\u20ac.txt", ""}, {"a b/z", ""}});
  std::vector<ProductFile> files;
  ASSERT_EQ("", ProductFilesFromFolder(std::filesystem::u8path(root), &files));
  std::vector<std::string> names;
  for (const ProductFile& f : files) names.push_back(f.name);
  // € is 0x80 and é 0xE9 in Windows-1252; '\' (0x5C) sorts before 'a'.
  EXPECT_EQ(std::vector<std::string>({"B\\a.txt", "a b\\z", "b.txt", "\x80.txt", "\xE9.txt"}), names);
}
