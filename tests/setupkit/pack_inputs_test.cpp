// What pack accepts before it writes anything: texts, entry names, the stub and
// the set of product files.
#include <gtest/gtest.h>

#include "archive/payload_format.h"
#include "setupkit/ansi_text.h"
#include "setupkit/product_files.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit_test_util.h"

TEST(StoredText, TextsAndNamesInWindows1252) {
  std::string ansi, accents;
  EXPECT_EQ(u8"contains U+1F600 (\U0001F600), which Windows-1252 cannot hold", ansi::FromUtf8(u8"\U0001F600", &ansi));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "a\x80"})
    EXPECT_EQ("is not valid UTF-8", ansi::FromUtf8(bad, &ansi)) << bad;
  for (int i = 0; i < 31; ++i) accents += u8"\u00e9";  // 31 bytes in Windows-1252, 62 in UTF-8
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kMainProgram, accents, &ansi));
  EXPECT_EQ("must be a file name without folders",
            stored::CheckIdentity(stored::Identity::kMainProgram, "bin\\app.exe", &ansi));

  // stored: the name in Windows-1252, or "!" and the start of the problem.
  const struct { std::string utf8, stored; } names[] = {
      {u8"docs/Stra\u00dfe\\\u20ac \u0178", "docs\\Stra\xDF" "e\\\x80 \x9F"}, {"COM10", "COM10"},
      {std::string(1019, 'n'), std::string(1019, 'n')}, {std::string(1020, 'n'), "!is 1020 bytes long in Windows-1252"},
      {"/x.txt", "!starts with a separator"}, {"C:\\x.txt", "!contains ':', which Windows file names cannot hold"},
      {"a\\..\\x", "!has the component \"..\""}, {"a\\\\x.txt", "!has an empty folder component"},
      {"dir \\x", "!has the component \"dir \" ending in a space"}, {"x.", "!has the component \"x.\" ending in a dot"},
      {"a/nul.txt", "!uses the device name \"nul.txt\""}, {"a\nb", "!contains the control character U+000A"},
      {u8"\u0081.txt", "!contains U+0081, the one character a stored text cannot hold"},
  };
  for (const auto& c : names) {
    std::string problem = stored::CheckEntryName(c.utf8, &ansi);
    EXPECT_EQ(c.stored, problem.empty() ? ansi : ("!" + problem).substr(0, c.stored.size())) << c.utf8.substr(0, 20);
  }
  EXPECT_EQ(stored::FoldKey("\xC9T\xC9.\x8A"), stored::FoldKey("\xE9t\xE9.\x9A"));  // ÉTÉ.Š and été.š
  EXPECT_NE(stored::FoldKey("a\xF7"), stored::FoldKey("a\xD7"));                    // ÷ and × are no letters
}

TEST(StubCheck, AcceptsOnlyAnUnsignedPeWithoutPayload) {
  auto with = [](std::vector<uint8_t> stub, size_t at, std::vector<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), stub.begin() + at);
    return stub;
  };
  const std::vector<uint8_t> magic = {PayloadMagicByte(0), PayloadMagicByte(1), PayloadMagicByte(2), PayloadMagicByte(3)};
  EXPECT_EQ("", StubCheck(with(TestFakeStub(100000), kPayloadSearchStart - 1, magic)));  // never found there
  EXPECT_EQ("already carries a payload (magic at offset 90049); pack the bare stub",
            StubCheck(with(TestFakeStub(100000), kPayloadSearchStart + 50, magic)));
  EXPECT_EQ("is not a Windows executable (no MZ header)", StubCheck({'#', '!', '/', 'b'}));
  EXPECT_EQ("is not a PE executable (no PE header)", StubCheck(with(TestFakeStub(), 0x3C, {0xF0, 0, 0, 0x7F})));
  EXPECT_EQ("is not a PE executable (no valid optional header)", StubCheck(with(TestFakeStub(), 0x44 + 20, {7})));
  EXPECT_EQ("is signed (Authenticode certificate table); sign after packing", StubCheck(TestFakeStub(4096, 1024)));
}

TEST(ProductFiles, WholeSetLimitsAndOrder) {
  // Sizes as gathered; no file needs to exist for the set's checks.
  std::vector<ProductFile> files = {{"a.txt", "a.txt", 100}, {"b\\c.txt", "c.txt", 0xFFFFFFFFull - 136}};
  // 14 + (10 + 100) + (12 + size) bytes of stream: exactly 4 GiB - 1 fits, one byte more does not.
  EXPECT_EQ("", ProductFilesCheck(files, 14, "product"));
  files[1].size += 1;
  EXPECT_EQ("product: the files make an entry stream of 4294967296 bytes; an installer holds at most 4294967295",
            ProductFilesCheck(files, 14, "product"));

  const std::string root = TestTempDir();
  TestWriteTree(root, {{"b.txt", ""}, {"B/a.txt", ""}, {"A.TXT", ""}, {u8"\u00e9.txt", ""}, {u8"\u20ac.txt", ""}});
  ASSERT_EQ("", ProductFilesFromFolder(std::filesystem::u8path(root), &files));
  std::vector<std::string> names;
  for (const ProductFile& f : files) names.push_back(f.name);
  // Bytes of the stored names: € is 0x80 and é 0xE9 in Windows-1252 (in UTF-8 é comes first).
  EXPECT_EQ(std::vector<std::string>({"A.TXT", "B\\a.txt", "b.txt", "\x80.txt", "\xE9.txt"}), names);
  // The installer puts every file straight into the destination folder.
  EXPECT_EQ(std::vector<std::string>{"\"A.TXT\" and \"B\\a.txt\" both install as \"a.txt\"; the installer keeps the later one"},
            ProductFilesFlatteningClashes(files));
}
