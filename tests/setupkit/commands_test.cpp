// The setupkit commands: pack, then list, verify and extract through the
// installer's own archive pass, and installers built here byte by byte with
// names and damage that pack itself never writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "archive/lzma_test_util.h"
#include "archive/payload_locator.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/packer.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

uint32_t LocateIn(const std::string& path) {
  TestFile file(path);
  return PayloadLocator(file.file, PlatformGetFileSize(file.file));
}

std::vector<uint8_t> Stream(const std::vector<EntryStreamEntry>& entries) {
  return BuildEntryStream({"ABC", "", ""}, 32, entries);
}

// Stub, payload and enough zeros behind it for the locator; `flip` inverts bits in the middle of the LZMA stream.
std::string WriteInstaller(const std::vector<uint8_t>& stream, uint8_t flip = 0) {
  TestLzma lzma = TestLzmaEncode(stream, false, 1u << 16);
  lzma.stream[lzma.stream.size() / 2] ^= flip;
  std::vector<uint8_t> bytes = TestFakeStub(kPayloadSearchStart), container = TestContainer(lzma, stream.size());
  bytes.insert(bytes.end(), container.begin(), container.end());
  bytes.resize(std::max<uint64_t>(bytes.size(), PackFindableSize(kPayloadSearchStart)), 0);
  std::string path = TestTempDir() + "/crafted.exe";
  TestWriteFile(path, bytes);
  return path;
}

}  // namespace

TEST(Pack, FindableSizeIsWhatTheLocatorNeeds) {
  const uint64_t s = kPayloadSearchStart;
  // Magic in the first read, ending on its last byte or one before, straddling into the second, in the third.
  for (uint64_t offset : {s, s + 4087, s + 4088, s + 4091, s + 8180}) {
    const uint64_t size = PackFindableSize(offset);
    EXPECT_EQ(0u, (size - s) % 4092) << offset;
    std::vector<uint8_t> bytes(size, 0);
    for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[offset + i] = PayloadMagicByte(i);
    const std::string path = TestTempDir() + "/magic.bin";
    TestWriteFile(path, bytes);
    EXPECT_EQ(offset + kPayloadMagicSize, LocateIn(path)) << "magic at " << offset;
    fs::resize_file(path, size - 1);
    EXPECT_EQ(0u, LocateIn(path)) << "magic at " << offset << ", one byte short";
  }
}

TEST(Pack, StubThenZerosThenPayloadSameBytesEachTime) {
  const std::string product = TestTempDir();
  TestWriteTree(product, {{"a.txt", "hello"}, {"sub/b.bin", std::string(3000, 'b')}, {"empty", ""}});
  for (size_t stubSize : {size_t{1024}, size_t{kPayloadSearchStart + 7000}}) {
    const std::string stub = TestWriteStub(stubSize), out = TestTempDir() + "/setup.exe";
    TestRun run = TestPack(stub, product, out);
    EXPECT_TRUE(TestHasText(run.out, out + ": 3 entries, 3005 bytes in, ")) << run.out << run.err;
    const std::vector<uint8_t> bytes = TestReadFile(out), stubBytes = TestReadFile(stub);
    const size_t magic = std::max(stubSize, size_t{kPayloadSearchStart});
    ASSERT_GE(bytes.size(), PackFindableSize(magic));
    EXPECT_TRUE(std::equal(stubBytes.begin(), stubBytes.end(), bytes.begin())) << "stub of " << stubSize;
    EXPECT_EQ(std::vector<uint8_t>(magic - stubSize, 0), std::vector<uint8_t>(&bytes[stubSize], &bytes[magic]));
    EXPECT_EQ(magic + 4, LocateIn(out)) << "stub of " << stubSize;
    ASSERT_EQ(0, TestPack(stub, product, out).code);
    EXPECT_EQ(bytes, TestReadFile(out)) << "packed again over itself";
  }
}

TEST(Pack, RefusesBadInputsAndWritesNothing) {
  const std::string good = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/o.exe";
  TestWriteTree(good, {{"one.txt", "1"}, {"two.txt", "2"}, {"dup.lst", "A.txt\tone.txt\na.TXT\ttwo.txt\n"},
                       {"tabs.lst", "\none.txt\n"}, {"gone.lst", "x\tmissing.txt\n"}});
  const struct { std::vector<std::string> args; std::string problem; } cases[] = {
      {{"--product-code", "ABCD", "--from", good}, "pack: --product-code \"ABCD\" is 4 bytes long"},
      {{"--from", good, "--date", "2011-12-31"}, "pack: --date 2011-12-31: before 2012-01-01"},
      {{"--from", good, "--date", "2023-02-29"}, "pack: --date 2023-02-29: no such day"},
      {{"--from", good, "--dict-size", "1K"}, "pack: --dict-size 1K: out of range"},
      {{"--from", good + "/none"}, good + "/none: is not a folder"},
      {{"--entries", good + "/dup.lst"}, "dup.lst: stored names \"A.txt\" and \"a.TXT\" name the same file"},
      {{"--entries", good + "/tabs.lst"}, "tabs.lst:2: expected one tab"},
      {{"--entries", good + "/gone.lst"}, "gone.lst:1: source " + good + "/missing.txt does not exist"},
      {{"--entries", good + "/dup.lst", "--from", good}, "give exactly one of --from DIR and --entries FILE"},
      {{"--from", good, "--date"}, "pack: --date needs a value (see 'setupkit pack --help')"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"pack", "--out", out, "--stub", stub, "--product-code", "A"};
    if (c.args[0] == "--product-code") args.resize(5);
    args.insert(args.end(), c.args.begin(), c.args.end());
    TestRun run = TestSetupkit(args);
    EXPECT_EQ(2, run.code) << c.problem;
    EXPECT_TRUE(TestHasText(run.err, c.problem)) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
  // Nothing was written, not even beside the output; an existing installer stays as it was.
  EXPECT_TRUE(fs::is_empty(fs::u8path(out).parent_path()));
  TestWriteFile(out, TestBytes("old"));
  EXPECT_EQ(2, TestPack(stub, TestTempDir(), out).code);
  EXPECT_EQ(TestBytes("old"), TestReadFile(out));
  // An output inside the product folder would be packed into the next installer.
  EXPECT_TRUE(TestHasText(TestPack(stub, good, good + "/setup.exe").err, "lies inside the product folder"));
  EXPECT_TRUE(TestHasText(TestPack(stub + ".x", good, out).err, ".x: cannot be read (file not found (error 2))"));
}

// Folders, spaces and Windows-1252 letters in names; an empty file, and text
// and noise longer than one chunk of the archive pass.
TEST(RoundTrip, TreeComesBackWhole) {
  std::mt19937 random(7);
  std::string text, noise;
  while (noise.size() < 70000) noise.push_back(static_cast<char>(random()));
  while (text.size() < 90000) text += "line " + std::to_string(random() % 50) + "\r\n";
  const std::map<std::string, std::string> tree = {{"plain.txt", "plain"}, {"empty", ""}, {"a/b/c/d.txt", text},
                                                   {u8"Gr\u00fc\u00dfe/with space/\u20ac 5.bin", noise},
                                                   {u8"docs/caf\u00e9 cr\u00e8me", text + noise}};
  const std::string product = TestTempDir(), out = TestTempDir() + "/setup.exe", target = TestTempDir() + "/x";
  TestWriteTree(product, tree);
  ASSERT_EQ(0, TestPack(TestWriteStub(), product, out).code);
  const std::string bytes = std::to_string(5 + 2 * (text.size() + noise.size()));
  EXPECT_EQ(out + ": ok, 5 entries, " + bytes + " bytes\n", TestSetupkit({"verify", out}).out);
  TestRun run = TestSetupkit({"extract", out, target});
  EXPECT_EQ(target + ": 5 of 5 entries extracted, " + bytes + " bytes\n", run.out) << run.err;
  EXPECT_EQ(tree, TestReadTree(target));
  PlatformDateTime noon = {2024, 5, 0, 1, 12, 0, 0, 0};
  uint64_t archiveTime = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &archiveTime));
  EXPECT_EQ(archiveTime, TestFileWriteTime(target + "/plain.txt"));
}

TEST(RoundTrip, ListShowsIdentityAndEntriesInListOrder) {
  const std::string dir = TestTempDir(), out = TestTempDir() + "/setup.exe";
  TestWriteTree(dir, {{"z.txt", "zz"}, {"a.txt", ""}, {"list", "\xEF\xBB\xBFZ last/z.txt\tz.txt\r\n\r\nA\ta.txt\n"}});
  TestRun run = TestSetupkit({"pack", "--stub", TestWriteStub(), "--out", out, "--product-code", u8"\u00c9X",
                              "--window-class", "Say \"hi\" \\o/", "--main-program", "Z.exe", "--date", "2012-02-29",
                              "--entries", dir + "/list"});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(u8"product code  \u00c9X\nwindow class  Say \"hi\" \\o/\nmain program  Z.exe\narchive date  2012-02-29\n"
            "entries       2, 2 bytes\n           2  Z last\\z.txt\n           0  A\n",
            TestSetupkit({"list", out}).out);
  EXPECT_EQ(u8"{\n  \"productCode\": \"\u00c9X\",\n  \"windowClass\": \"Say \\\"hi\\\" \\\\o/\",\n"
            "  \"mainProgram\": \"Z.exe\",\n  \"archiveDate\": \"2012-02-29\",\n  \"entries\": [\n"
            "    {\"name\": \"Z last\\\\z.txt\", \"size\": 2},\n    {\"name\": \"A\", \"size\": 0}\n  ]\n}\n",
            TestSetupkit({"list", "--json", out}).out);
}

TEST(Extract, RefusesNamesThatLeaveTheFolderAndWritesTheRest) {
  // Windows reads ".. " and "..." as "..".
  const std::string installer = WriteInstaller(Stream({{"..\\evil", {'e'}}, {"a/../../evil", {}}, {".. \\evil", {}},
                                                       {"...\\evil", {}}, {"\\evil", {}}, {"C:evil", {}},
                                                       {"a.txt:evil", {}}, {"a..b\\..c\\ok", {'o', 'k'}}, {"top", {}}}));
  const std::string parent = TestTempDir(), target = parent + "/out";
  TestRun run = TestSetupkit({"extract", installer, target});
  EXPECT_EQ(1, run.code);
  for (const std::string line : {"entry \"..\\evil\" would leave the folder (\"..\"); not extracted\n",
                                 "entry \"\\evil\" is an absolute path; not extracted\n",
                                 "entry \"C:evil\" names a drive or a stream (':'); not extracted\n",
                                 "7 of 9 entries refused\n"})
    EXPECT_TRUE(TestHasText(run.err, "setupkit: " + installer + ": " + line)) << run.err;
  EXPECT_EQ(target + ": 2 of 9 entries extracted, 2 bytes\n", run.out);
  EXPECT_EQ((std::map<std::string, std::string>{{"out/a..b/..c/ok", "ok"}, {"out/top", ""}}), TestReadTree(parent));
}

TEST(Verify, NamesWhatIsBroken) {
  const std::vector<uint8_t> stream = Stream({{"one.txt", TestBytes(std::string(3000, '1'))}, {"two", {'2'}}});
  std::vector<uint8_t> wrongByte = stream;
  wrongByte.back() ^= 1;
  const struct { std::string installer; int code; std::string message; } cases[] = {
      {WriteInstaller(stream), 0, ": ok, 2 entries, 3001 bytes\n"},
      {TestWriteStub(100000), 1, ": no payload found\n"},
      {WriteInstaller(wrongByte), 1, ": checksum mismatch (stored "},
      {WriteInstaller(stream, 0x55), 1, ": LZMA data error"},
      // A name longer than the format allows breaks the stream, whatever the checksum says.
      {WriteInstaller(Stream({{"ok", {'1'}}, {std::string(1020, 'n'), {'x'}}})), 1, ": the entry stream breaks a limit"},
      // A stream, whole as LZMA data, that ends one byte into the last entry's data.
      {WriteInstaller(std::vector<uint8_t>(stream.begin(), stream.end() - 1)), 1, ": the entry stream ends inside an entry"},
      {TestTempDir() + "/missing.exe", 2, ": cannot be read (file not found (error 2))\n"},
  };
  for (const auto& c : cases) {
    TestRun run = TestSetupkit({"verify", c.installer});
    EXPECT_EQ(c.code, run.code) << c.message;
    EXPECT_TRUE(TestHasText(c.code == 0 ? run.out : run.err, c.installer + c.message)) << run.out << run.err;
    if (c.code == 0) continue;
    // list prints nothing but the same error.
    run = TestSetupkit({"list", c.installer});
    EXPECT_EQ(c.code, run.code) << c.message;
    EXPECT_EQ("", run.out);
    EXPECT_TRUE(TestHasText(run.err, c.installer + c.message)) << run.err;
  }
}
