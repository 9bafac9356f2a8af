#include <gtest/gtest.h>

#include <filesystem>

#include "archive/lzma_test_util.h"
#include "archive/payload_locator.h"
#include "setupkit/packer.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

uint32_t LocateIn(const std::string& path) {
  TestFile file(path);
  return PayloadLocator(file.file, PlatformGetFileSize(file.file));
}

// A file of `size` zero bytes with the magic at `magicOffset`.
std::string WriteMagicFile(uint64_t magicOffset, uint64_t size) {
  std::vector<uint8_t> bytes(size, 0);
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[magicOffset + i] = PayloadMagicByte(i);
  std::string path = TestTempDir() + "/magic.bin";
  TestWriteFile(path, bytes);
  return path;
}

bool HasText(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Pack, FindableSizeIsWhatTheLocatorNeeds) {
  const uint64_t s = kPayloadSearchStart;
  // Magic wholly in the first read, ending on its last byte or one before, straddling into the second, in the third.
  for (uint64_t offset : {s, s + 1, s + 4087, s + 4088, s + 4089, s + 4091, s + 4092, s + 8179, s + 8180}) {
    const uint64_t size = PackFindableSize(offset);
    EXPECT_EQ(0u, (size - s) % 4092) << offset;
    EXPECT_EQ(offset + kPayloadMagicSize, LocateIn(WriteMagicFile(offset, size))) << "magic at " << offset;
    if (size - 1 >= offset + kPayloadMagicSize + 9) {
      EXPECT_EQ(0u, LocateIn(WriteMagicFile(offset, size - 1))) << "magic at " << offset << ", one byte short";
    }
  }
  EXPECT_EQ(s + 4092, PackFindableSize(s + 4087));
  EXPECT_EQ(s + 2 * 4092, PackFindableSize(s + 4088));
}

TEST(Pack, LayoutBehindShortAndLongStubs) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"a.txt", "hello"}, {"sub/b.bin", std::string(3000, 'b')}});
  for (size_t stubSize : {size_t{1024}, size_t{kPayloadSearchStart}, size_t{kPayloadSearchStart + 7000}}) {
    const std::string stub = TestWriteStub(stubSize);
    const std::string out = TestTempDir() + "/setup.exe";
    std::vector<std::string> args = {"pack", "--stub", stub, "--out", out, "--product-code", "ABC", "--from", product};
    TestRun run = TestSetupkit(args);
    ASSERT_EQ(0, run.code) << run.err;
    std::vector<uint8_t> bytes = TestReadFile(out);
    std::vector<uint8_t> stubBytes = TestReadFile(stub);
    const size_t magic = std::max(stubSize, size_t{kPayloadSearchStart});
    ASSERT_GT(bytes.size(), magic + 13);
    EXPECT_TRUE(std::equal(stubBytes.begin(), stubBytes.end(), bytes.begin())) << "stub of " << stubSize;
    EXPECT_EQ(std::vector<uint8_t>(magic - stubSize, 0),
              std::vector<uint8_t>(bytes.begin() + stubSize, bytes.begin() + magic));
    const std::vector<uint8_t> header(bytes.begin() + magic, bytes.begin() + magic + 13);
    // Magic, properties 5D with 16 MiB, then 14 (stream header) + 10 + 5 + 14 + 3000 = 3043 bytes, big-endian.
    const std::vector<uint8_t> expected = {0xB6, 0x2C, 0xB6, 0x91, 0x5D, 0x00, 0x00,
                                           0x00, 0x01, 0x00, 0x00, 0x0B, 0xE3};
    EXPECT_EQ(expected, header) << "stub of " << stubSize;
    EXPECT_EQ(magic + 4, LocateIn(out));
    EXPECT_GE(bytes.size(), PackFindableSize(magic));
    EXPECT_EQ(0, TestSetupkit({"verify", out}).code);
  }
}

TEST(Pack, OneByteProductIsFound) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"x", "!"}});
  const std::string out = TestTempDir() + "/tiny.exe";
  TestRun run = TestPack(TestWriteStub(), product, out);
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(PackFindableSize(kPayloadSearchStart), TestReadFile(out).size());
  run = TestSetupkit({"list", out});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_TRUE(HasText(run.out, "           1  x\n")) << run.out;
}

TEST(Pack, OutputIsReproducible) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"b/readme.txt", std::string(5000, 'r')}, {"a.dat", "data"}, {"empty", ""}});
  const std::string stub = TestWriteStub();
  const std::string first = TestTempDir() + "/one.exe", second = TestTempDir() + "/two.exe";
  ASSERT_EQ(0, TestPack(stub, product, first).code);
  ASSERT_EQ(0, TestPack(stub, product, second).code);
  EXPECT_EQ(TestReadFile(first), TestReadFile(second));
  // Packing over an existing installer replaces it.
  ASSERT_EQ(0, TestPack(stub, product, first, {"--window-class", "Other"}).code);
  EXPECT_NE(TestReadFile(first), TestReadFile(second));
}

TEST(Pack, RefusesBadInputsAndWritesNothing) {
  const std::string good = TestTempDir();
  TestWriteTree(good, {{"app.exe", "MZ"}, {u8"d\u00e9j\u00e0 vu.txt", "x"}});
  const std::string empty = TestTempDir();
  const std::string stub = TestWriteStub();
  const std::string notPe = TestTempDir() + "/notpe.exe";
  TestWriteFile(notPe, {'#', '!', '/', 'b', 'i', 'n'});
  const std::string signedStub = TestWriteStub(4096, 512);
  const std::string packed = TestTempDir() + "/packed.exe";
  ASSERT_EQ(0, TestPack(stub, good, packed).code);
  const std::string listDir = TestTempDir();
  TestWriteTree(listDir, {{"one.txt", "1"}, {"two.txt", "2"}});
  auto list = [&](const std::string& name, const std::string& text) {
    TestWriteTree(listDir, {{name, text}});
    return listDir + "/" + name;
  };

  const std::string out = TestTempDir() + "/setup.exe";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> expected;  // parts of the one error line
  };
  const std::vector<Case> cases = {
      {{"--stub", notPe, "--from", good}, {notPe, "is not a Windows executable"}},
      {{"--stub", signedStub, "--from", good}, {signedStub, "is signed", "sign after packing"}},
      {{"--stub", packed, "--from", good}, {packed, "already carries a payload"}},
      {{"--stub", stub + ".missing", "--from", good}, {stub + ".missing", "cannot be read", "not found"}},
      {{"--stub", stub, "--from", good, "--product-code", "ABCD"}, {"--product-code \"ABCD\"", "at most 3 fit"}},
      {{"--stub", stub, "--from", good, "--product-code", ""}, {"--product-code \"\" is empty"}},
      {{"--stub", stub, "--from", good, "--window-class", u8"\u0100"}, {"--window-class", "Windows-1252 cannot hold"}},
      {{"--stub", stub, "--from", good, "--main-program", u8"a\u0081.exe"}, {"--main-program", "U+0081"}},
      {{"--stub", stub, "--from", good, "--date", "2011-12-31"}, {"--date 2011-12-31", "before 2012-01-01"}},
      {{"--stub", stub, "--from", good, "--date", "2023-02-29"}, {"--date 2023-02-29: no such day"}},
      {{"--stub", stub, "--from", good, "--date", "2024-5-1"}, {"--date 2024-5-1", "YYYY-MM-DD"}},
      {{"--stub", stub, "--from", good, "--dict-size", "1K"}, {"--dict-size 1K: out of range"}},
      {{"--stub", stub, "--from", good, "--dict-size", "65M"}, {"--dict-size 65M: out of range"}},
      {{"--stub", stub, "--from", good, "--dict-size", "lots"}, {"--dict-size lots: not a size"}},
      {{"--stub", stub, "--from", empty}, {empty, "holds no files"}},
      {{"--stub", stub, "--from", good + "/nowhere"}, {good + "/nowhere", "is not a folder"}},
      {{"--stub", stub, "--entries", list("dup.lst", "A.txt\tone.txt\na.TXT\ttwo.txt\n")},
       {"dup.lst", "\"A.txt\" and \"a.TXT\" name the same file"}},
      {{"--stub", stub, "--entries", list("tabs.lst", "one.txt\n")}, {"tabs.lst:1:", "expected one tab"}},
      {{"--stub", stub, "--entries", list("gone.lst", "\nx\tmissing.txt\n")},
       {"gone.lst:2:", "missing.txt", "does not exist"}},
      {{"--stub", stub, "--entries", list("up.lst", "..\\x\tone.txt\n")}, {"up.lst:1:", "has the component \"..\""}},
      {{"--stub", stub, "--entries", list("device.lst", "Nul\tone.txt\n")}, {"device.lst:1:", "device name"}},
      {{"--stub", stub, "--entries", list("none.lst", "\r\n")}, {"none.lst", "holds no files"}},
      {{"--stub", stub}, {"give exactly one of --from DIR and --entries FILE"}},
      {{"--stub", stub, "--from", good, "--entries", list("x.lst", "")}, {"give exactly one of"}},
      {{"--from", good}, {"missing --stub", "setupkit pack --help"}},
      {{"--stub", stub, "--from", good, "--level", "9"}, {"unknown option --level"}},
      {{"--stub", stub, "--from", good, "--date"}, {"--date needs a value"}},
      {{"--stub", stub, "--from", good, "--product-code", "X", "--product-code", "Y"}, {"--product-code given twice"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"pack", "--out", out};
    bool hasCode = false;
    for (const std::string& a : c.args) hasCode |= a == "--product-code";
    if (!hasCode) args.insert(args.end(), {"--product-code", "ABC"});
    args.insert(args.end(), c.args.begin(), c.args.end());
    TestRun run = TestSetupkit(args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(2, run.code) << shown;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << shown << "\n" << run.err;
    for (const std::string& part : c.expected) EXPECT_TRUE(HasText(run.err, part)) << shown << "\n" << run.err;
    EXPECT_EQ("", run.out) << shown;
    EXPECT_FALSE(fs::exists(fs::u8path(out))) << shown;
  }
  // Nothing was left beside the output either.
  EXPECT_TRUE(fs::is_empty(fs::u8path(out).parent_path()));

  // A refused pack leaves an existing installer as it was.
  TestWriteFile(out, {'o', 'l', 'd'});
  EXPECT_EQ(2, TestPack(stub, empty, out).code);
  EXPECT_EQ(std::vector<uint8_t>({'o', 'l', 'd'}), TestReadFile(out));
  // An output inside the product folder would be packed into the next installer.
  TestRun run = TestPack(stub, good, good + "/setup.exe");
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, "lies inside the product folder")) << run.err;
}

TEST(Pack, UnwritableOutputIsReported) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"a.txt", "a"}});
  const std::string out = TestTempDir() + "/missing-folder/setup.exe";
  TestRun run = TestPack(TestWriteStub(), product, out);
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, out + ": cannot be written (path not found (error 3))")) << run.err;
}

TEST(Pack, WarnsAndReports) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"a/readme.txt", "1"}, {"b/README.TXT", "2"}, {"app.exe", std::string(20000, 'z')}});
  const std::string out = TestTempDir() + "/setup.exe";
  std::ostringstream stdoutText, stderrText;
  int code = SetupkitRun({"pack", "--stub", TestWriteStub(), "--out", out, "--product-code", "ABC", "--date",
                          "2024-05-01", "--dict-size", "64K", "--main-program", "main.exe", "--from", product},
                         stdoutText, stderrText, true);
  ASSERT_EQ(0, code) << stderrText.str();
  EXPECT_TRUE(
      HasText(stderrText.str(), "warning: \"a\\readme.txt\" and \"b\\README.TXT\" both install as \"README.TXT\""))
      << stderrText.str();
  EXPECT_TRUE(HasText(stderrText.str(), "warning: --main-program \"main.exe\" is no entry's file name"))
      << stderrText.str();
  EXPECT_TRUE(HasText(stderrText.str(), "packing 100%")) << stderrText.str();
  EXPECT_TRUE(HasText(stdoutText.str(), out + ": 3 entries, 20002 bytes in, ")) << stdoutText.str();
}

#ifndef _WIN32
TEST(Pack, FollowsFileLinksAndRefusesFolderLinks) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"real.txt", "real"}});
  fs::create_symlink("real.txt", fs::path(product) / "link.txt");
  const std::string stub = TestWriteStub();
  const std::string out = TestTempDir() + "/setup.exe";
  ASSERT_EQ(0, TestPack(stub, product, out).code);
  TestRun run = TestSetupkit({"list", out});
  EXPECT_TRUE(HasText(run.out, "           4  link.txt\n           4  real.txt\n")) << run.out;

  fs::create_directory_symlink(".", fs::path(product) / "loop");
  run = TestPack(stub, product, out);
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(HasText(run.err, product + "/loop: is a symbolic link to a folder, which pack does not follow"))
      << run.err;
  fs::remove(fs::path(product) / "loop");
  fs::create_symlink("gone.txt", fs::path(product) / "dangling");
  run = TestPack(stub, product, out);
  EXPECT_TRUE(HasText(run.err, product + "/dangling: is a dangling symbolic link")) << run.err;
}
#endif
