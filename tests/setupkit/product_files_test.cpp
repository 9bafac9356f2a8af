// The files pack gathers, and what the whole set must satisfy.
#include <gtest/gtest.h>

#include <filesystem>

#include "setupkit/product_files.h"
#include "setupkit_test_util.h"

TEST(ProductFiles, WholeSetLimitsAndOrder) {
  // Sizes as gathered; no file needs to exist for the set's checks.
  std::vector<ProductFile> files = {{"a.txt", "a.txt", 100, {}}, {"b\\c.txt", "c.txt", 0xFFFFFFFFull - 136, {}}};
  // 14 + (10 + 100) + (12 + size) bytes of stream: exactly 4 GiB - 1 fits, one byte more does not.
  EXPECT_EQ("", ProductFilesCheck(files, 14, "product").text);
  files[1].size += 1;
  EXPECT_EQ("product: the files make an entry stream of 4294967296 bytes; an installer holds at most 4294967295",
            ProductFilesCheck(files, 14, "product").text);

  const std::string root = TestTempDir();
  TestWriteTree(root, {{"b.txt", ""}, {"B/a.txt", ""}, {"A.TXT", ""}, {u8"\u00e9.txt", ""}, {u8"\u20ac.txt", ""}});
  ASSERT_EQ("", ProductFilesFromFolder(std::filesystem::u8path(root), &files).text);
  std::vector<std::string> names;
  for (const ProductFile& f : files) names.push_back(f.name);
  // Bytes of the stored names: € is 0x80 and é 0xE9 in Windows-1252 (in UTF-8 é comes first).
  EXPECT_EQ(std::vector<std::string>({"A.TXT", "B\\a.txt", "b.txt", "\x80.txt", "\xE9.txt"}), names);
  // The installer puts every file straight into the destination folder.
  EXPECT_EQ(std::vector<std::string>{"\"A.TXT\" and \"B\\a.txt\" both install as \"a.txt\"; "
                                     "the installer keeps the later one"},
            ProductFilesFlatteningClashes(files));
}
