// list, verify and extract through the installer's own archive pass, on
// installers packed here and on ones built byte by byte with names and damage
// that pack itself never writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "archive/decoder.h"
#include "archive/lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/file_io.h"
#include "setupkit/packer.h"
#include "setupkit/reading_pass.h"
#include "setupkit/text_output.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Stream(const std::vector<EntryStreamEntry>& entries) {
  return BuildEntryStream({"ABC", "", ""}, 32, entries);
}

#ifndef _WIN32
// Runs the setupkit program under `ulimit -v` of `limitMiB`, its output
// discarded. Returns the exit code, and in *peakKiB its peak resident memory.
int RunUnderLimit(std::vector<std::string> args, rlim_t limitMiB, long* peakKiB) {
  std::vector<char*> argv = {const_cast<char*>(SETUPKIT_PROGRAM)};
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const struct rlimit limit = {limitMiB << 20, limitMiB << 20};
    const int null = open("/dev/null", O_WRONLY);
    if (setrlimit(RLIMIT_AS, &limit) == 0 && dup2(null, 1) == 1 && dup2(null, 2) == 2) execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(child, &status, 0, &usage);
  *peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

}  // namespace

// and noise longer than one chunk of the archive pass. A stub shorter than the
// search start is padded up to it (as in every other test); this one is longer.
TEST(RoundTrip, TreeComesBackWholeFromTheSameBytesEachTime) {
  std::mt19937 random(7);
  std::string text, noise;
  while (noise.size() < 70000) noise.push_back(static_cast<char>(random()));
  while (text.size() < 90000) text += "line " + std::to_string(random() % 50) + "\r\n";
  const std::map<std::string, std::string> tree = {{"plain.txt", "plain"}, {"empty", ""}, {"a/b/c/d.txt", text},
                                                   {u8"Gr\u00fc\u00dfe/with space/\u20ac 5.bin", noise},
                                                   {u8"docs/caf\u00e9 cr\u00e8me", text + noise}, {"a/b/e/f", "f"}};
  const std::string product = TestTempDir(), out = TestTempDir() + "/setup.exe", target = TestTempDir() + "/x";
  const std::string stub = TestWriteStub(kPayloadSearchStart + 7000);
  const std::string bytes = std::to_string(6 + 2 * (text.size() + noise.size()));
  TestWriteTree(product, tree);
  EXPECT_TRUE(TestHasText(TestPack(stub, product, out).out, out + ": 6 entries, " + bytes + " bytes in, "));
  const std::vector<uint8_t> installer = TestReadFile(out), stubBytes = TestReadFile(stub);
  EXPECT_TRUE(std::equal(stubBytes.begin(), stubBytes.end(), installer.begin()));
  EXPECT_EQ(out + ": ok, 6 entries, " + bytes + " bytes\n", TestSetupkit({"verify", out}).out);
  EXPECT_EQ(target + ": 6 of 6 entries extracted, " + bytes + " bytes\n", TestSetupkit({"extract", out, target}).out);
  EXPECT_EQ(tree, TestReadTree(target));
  ASSERT_EQ(0, TestPack(stub, product, out).code);
  EXPECT_EQ(installer, TestReadFile(out)) << "packed again over itself";
}

TEST(RoundTrip, ListShowsIdentityAndEntriesInListOrder) {
  const std::string dir = TestTempDir(), out = TestTempDir() + "/setup.exe";
  TestWriteTree(dir, {{"z.txt", "zz"}, {"a.txt", ""}, {"d", "Pad Version 1.2\n"},
                      {"list", "\xEF\xBB\xBFZ last/z.txt\tz.txt\r\n\r\nA\ta.txt\nFILE_ID.DIZ\td\n"}});
  TestRun run = TestSetupkit({"pack", "--stub", TestWriteStub(), "--out", out, "--product-code", u8"\u00c9X",
                              "--window-class", "Say \"hi\" \\o/", "--main-program", "Z.exe", "--date", "2012-02-29",
                              "--entries", dir + "/list"});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(u8"product name  Pad\nversion       1.2\nproduct code  \u00c9X\nwindow class  Say \"hi\" \\o/\nmain program  Z.exe\narchive date  2012-02-29\narchitecture  x86\n"
            "entries       3, 18 bytes\n           2  Z last\\z.txt\n           0  A\n          16  FILE_ID.DIZ\n",
            TestSetupkit({"list", out}).out);
  EXPECT_EQ(u8"{\n  \"format\": 1,\n  \"productName\": \"Pad\",\n  \"productVersion\": \"1.2\",\n  \"productCode\": \"\u00c9X\",\n  \"windowClass\": \"Say \\\"hi\\\" \\\\o/\",\n"
            "  \"mainProgram\": \"Z.exe\",\n  \"archiveDate\": \"2012-02-29\",\n  \"architecture\": \"x86\",\n  \"entries\": [\n"
            "    {\"name\": \"Z last\\\\z.txt\", \"size\": 2},\n    {\"name\": \"A\", \"size\": 0},\n"
            "    {\"name\": \"FILE_ID.DIZ\", \"size\": 16}\n  ]\n}\n",
            TestSetupkit({"list", "--json", out}).out);
  EXPECT_EQ("{\n  \"format\": 1,\n  \"installer\": " + JsonString(ShowPath(fs::u8path(out))) + ",\n  \"ok\": true,\n  \"entries\": 3,\n  \"bytes\": 18,\n"
            "  \"productName\": \"Pad\",\n  \"productVersion\": \"1.2\",\n  \"architecture\": \"x86\"\n}\n", TestSetupkit({"verify", "--json", out}).out);
}

TEST(Extract, RefusesNamesThatLeaveTheFolderAndWritesTheRest) {
  // Windows reads "..." as "..", and opens device names as devices, with an extension and in a
  // folder too (¹ is B9). The scan already breaks on such a last component; folders are setupkit's.
  const std::string installer =
      TestCrafted(Stream({{"..\\evil", {'e'}}, {"a/../../evil", {}}, {"...\\evil", {}}, {"\\evil", {}}, {"C:\x1b[2K\\x", {}},
                      {"COM1\\x", {}}, {"a\\nul.txt\\x", {}}, {"lpt\xB9\\x", {}}, {"a..b\\..c\\ok", {'o', 'k'}}}));
  const std::string parent = TestTempDir(), target = parent + "/out";
  TestRun run = TestSetupkit({"extract", installer, target});
  EXPECT_EQ(1, run.code);
  for (const char* line : {"entry \"..\\evil\" would leave the folder (\"..\"); not extracted\n",
                           "entry \"C:\\x1b[2K\\\\x\" names a drive or a stream (':'); not extracted\n",
                           "entry \"COM1\\\\x\" uses a Windows device name (CON, NUL, COM1, ...); not extracted\n",
                           "entry \"lpt\u00b9\\\\x\" uses a Windows device name", "8 of 9 entries refused\n"})
    EXPECT_TRUE(TestHasText(run.err, "setupkit: " + installer + ": " + line)) << run.err;
  EXPECT_EQ(target + ": 1 of 9 entries extracted, 2 bytes\n", run.out);
  EXPECT_EQ((std::map<std::string, std::string>{{"out/a..b/..c/ok", "ok"}}), TestReadTree(parent));
}

TEST(Verify, NamesWhatIsBroken) {
  const std::vector<uint8_t> stream = Stream({{"one.txt", TestBytes(std::string(3000, '1'))}, {"two", {'2'}}});
  std::vector<uint8_t> wrongByte = stream;
  wrongByte.back() ^= 1;
  const struct { std::string installer; int code; std::string message; } cases[] = {
      {TestCrafted(stream), 0, ": ok, 2 entries, 3001 bytes\n"},
      {TestWriteStub(100000), 1, ": no payload found\n"},
      {TestCrafted(wrongByte), 1, ": checksum mismatch (stored "},
      {TestCrafted(stream, 0x55), 1, ": LZMA data error"},
      // A name longer than the format allows breaks the stream, whatever the checksum says.
      {TestCrafted(Stream({{"ok", {'1'}}, {std::string(1020, 'n'), {'x'}}})), 1, ": the entry stream breaks a limit"},
      // A stream, whole as LZMA data, that ends one byte into the last entry's data.
      {TestCrafted(std::vector<uint8_t>(stream.begin(), stream.end() - 1)), 1, ": the entry stream ends inside an entry"},
      {TestTempDir() + "/missing.exe", 2, ": cannot be read (" + std::string(kTestNoSuchFile) + ")\n"},
  };
  for (const auto& c : cases) {
    TestRun run = TestSetupkit({"verify", c.installer});
    EXPECT_EQ(c.code, run.code) << c.message;
    EXPECT_TRUE(TestHasText(c.code == 0 ? run.out : run.err, c.installer + c.message)) << run.out << run.err;
    EXPECT_TRUE(c.code == 0 || TestSetupkit({"list", c.installer}).out.empty()) << "list prints nothing but the error";
  }
}

// A name or text that would move the cursor, erase the line or fake a listing
// line of its own is printed escaped; the C1 control U+009D (stored 9D) too.
TEST(List, EscapesControlCharacters) {
  const std::string installer =
      TestCrafted(BuildEntryStream({"A\tB", "W\x1b[2J", "M\x9D"}, 32, {{"fake\n           9  other.txt\r", {'x'}}}));
  EXPECT_EQ("product name  (none)\nversion       (none)\nproduct code  A\\tB\nwindow class  W\\x1b[2J\nmain program  M\\u009d\narchive date  2012-01-01\narchitecture  x86\n"
            "entries       1, 1 bytes\n           1  fake\\n           9  other.txt\\r\n",
            TestSetupkit({"list", installer}).out);
  EXPECT_EQ("{\n  \"format\": 1,\n  \"productName\": \"\",\n  \"productVersion\": \"\",\n  \"productCode\": \"A\\u0009B\",\n  \"windowClass\": \"W\\u001b[2J\",\n  \"mainProgram\": \"M\\u009d\",\n"
            "  \"archiveDate\": \"2012-01-01\",\n  \"architecture\": \"x86\",\n  \"entries\": [\n"
            "    {\"name\": \"fake\\u000a           9  other.txt\\u000d\", \"size\": 1}\n  ]\n}\n",
            TestSetupkit({"list", "--json", installer}).out);
}

// The parser keeps one error: that of the file "a" stands in the way of, which is named.
TEST(Extract, NamesTheEntryItCannotWriteAndWritesNothing) {
  const std::string installer = TestCrafted(Stream({{"a", {'1'}}, {"a\\b", {'2'}}, {"c", {'3'}}})), target = TestTempDir();
  const TestRun run = TestSetupkit({"extract", installer, target});
  EXPECT_EQ(2, run.code);
  EXPECT_TRUE(TestHasText(run.err, target + ": entry \"a\\b\" cannot be written (")) << run.err;
  EXPECT_TRUE(TestReadTree(target).empty());
  // A name the folder already holds as a folder: named, and the exit code says so.
  TestWriteTree(target, {{"c/keep", "k"}});
  const TestRun clash = TestSetupkit({"extract", TestCrafted(Stream({{"c", {'3'}}})), target});
  EXPECT_TRUE(clash.code == 2 && TestHasText(clash.err, "c: cannot be written (is a folder)")) << clash.err;
}

#ifndef _WIN32
// Links already in the folder lead nowhere: neither the file a link stands in
// place of (a dangling one too) nor a folder below a link is written, and both are named.
TEST(Extract, WritesThroughNoLinkInTheFolder) {
  const std::string parent = TestTempDir(), target = parent + "/out", outside = parent + "/outside";
  TestWriteTree(outside, {{"secret.txt", "keep"}});
  fs::create_directories(target + "/ok");
  fs::create_symlink("../outside/secret.txt", target + "/filelink.txt");
  fs::create_symlink("../../outside", target + "/ok/lnk");
  fs::create_symlink("../outside/new.txt", target + "/dangling.txt");
  const std::string installer = TestCrafted(Stream({{"filelink.txt", {'x'}}, {"ok\\lnk\\inside.txt", {'y'}},
                                                {"ok\\new\\fine.txt", {'z'}}, {"dangling.txt", {'d'}}}));
  const TestRun run = TestSetupkit({"extract", installer, target});
  EXPECT_EQ(1, run.code);
  EXPECT_EQ(target + ": 1 of 4 entries extracted, 1 bytes\n", run.out);
  EXPECT_TRUE(TestHasText(run.err, ": entry \"dangling.txt\" would replace the symbolic link ")) << run.err;
  EXPECT_TRUE(TestHasText(run.err, ": entry \"filelink.txt\" would replace the symbolic link " + target +
                                       "/filelink.txt; not extracted\n")) << run.err;
  EXPECT_TRUE(TestHasText(run.err, ": entry \"ok\\lnk\\inside.txt\" lies below the symbolic link " + target +
                                       "/ok/lnk; not extracted\n")) << run.err;
  EXPECT_EQ((std::map<std::string, std::string>{{"secret.txt", "keep"}}), TestReadTree(outside));
  EXPECT_TRUE(fs::is_symlink(target + "/filelink.txt"));
  EXPECT_EQ(TestBytes("z"), TestReadFile(target + "/ok/new/fine.txt"));
  EXPECT_EQ(PLATFORM_INVALID_FILE, TestFile(target + "/filelink.txt", true).file) << "opened through the link";
}

// The decoder takes the dictionary the header claims, cut to the unpacked size:
// above --memlimit every command that decodes refuses the installer before it
// decodes anything, with 2. A claim of 4 GiB is refused by default, and the
// default admits pack's largest dictionary with the largest probability table.
TEST(MemoryLimit, RefusesWhatTheHeaderClaimsBeforeDecoding) {
  const std::string installer = TestCrafted(Stream({{"zeros", std::vector<uint8_t>(3u << 20)}}), 0, 1u << 22);
  const std::string target = TestTempDir() + "/out";
  for (std::vector<std::string> args : {std::vector<std::string>{"list"}, {"verify"}, {"plan"}, {"extract"}}) {
    args.push_back(installer);
    if (args[0] == "extract") args.push_back(target);
    args.insert(args.end(), {"--memlimit", "2M"});
    const TestRun refused = TestSetupkit(args);
    EXPECT_EQ(2, refused.code) << args[0];
    EXPECT_TRUE(TestHasText(refused.err, ": its LZMA dictionary needs 3.0 MiB of memory, more than the limit of 2.0 MiB"))
        << refused.err;
    args.back() = "4M";
    EXPECT_EQ(0, TestSetupkit(args).code) << args[0];
  }
  std::vector<uint8_t> bytes = TestReadFile(installer);
  std::fill(bytes.begin() + kPayloadSearchStart + 5, bytes.begin() + kPayloadSearchStart + 13, 0xFF);
  TestWriteFile(installer, bytes);
  EXPECT_TRUE(TestHasText(TestSetupkit({"verify", installer}).err, "needs 4096.0 MiB of memory, more than the limit of 80.0"));
  for (const char* bad : {"0", "1x", "2P", ""})
    EXPECT_TRUE(TestHasText(TestSetupkit({"list", installer, "--memlimit", bad}).err, ": not a size")) << bad;
  uint8_t largest[kPayloadMagicSize + kContainerHeaderSize];
  WriteContainerHeader((2 * 5 + 4) * 9 + 8, kPackDictionaryMax, 0xFFFFFFFF, largest);  // pb 2, lp 4, lc 8
  EXPECT_GT(DecoderMemory(largest + kPayloadMagicSize), kPackDictionaryMax + (6u << 20));
  EXPECT_LE(DecoderMemory(largest + kPayloadMagicSize), kDefaultMemoryLimit);
}

#ifndef _WIN32
// An extract ended by SIGTERM while it decodes a big entry into its staging
// folder, below which earlier entries made folders: the process ends by that
// signal and leaves nothing in the folder it was given.
TEST(Extract, InterruptedExtractLeavesNoStagingFolder) {
  const std::string target = TestTempDir() + "/out";
  const std::string installer = TestCrafted(
      Stream({{"a\\b\\c\\one.txt", {'1'}}, {"a\\two.txt", {'2'}}, {"big.bin", std::vector<uint8_t>(96u << 20)}}), 0,
      1u << 20);
  std::vector<std::string> args = {SETUPKIT_PROGRAM, "extract", installer, target};
  std::vector<char*> argv = {&args[0][0], &args[1][0], &args[2][0], &args[3][0], nullptr};
  const pid_t child = fork();
  if (child == 0) _exit(signal(SIGTERM, SIG_DFL) != SIG_ERR ? execv(argv[0], argv.data()) : 127);
  bool staged = false;
  while (!staged && waitpid(child, nullptr, WNOHANG) == 0) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(target, error), end; !error && it != end; it.increment(error))
      staged = staged || it->path().filename() == "one.txt";
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(staged);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(0, std::distance(fs::directory_iterator(target), {}));
}
#endif

// A million entries with short names, and 20,000 with names of 750 bytes, with a
// 16 MiB dictionary, the most the bound holds for. Extract refuses the first ones
// (':') and writes the others, all one name, over one file; plan lands each set on
// one file, so the paths it keeps stay few however many entries write them.
TEST(Memory, BoundedWhateverTheEntryCount) {
  const std::string target = TestTempDir() + "/out", longName = std::string(250, 'a') + "\\" + std::string(250, 'b');
  for (uint32_t count : {1000000u, 20000u}) {
    std::vector<uint8_t> stream;
    AppendStreamHeader(&stream, {"ABC", "", ""}, 32, 0);
    for (uint32_t i = 0; i < count; ++i)
      AppendEntryHeader(&stream, count == 20000 ? longName + "\\" + std::string(248, 'c') : "x:" + std::to_string(i) + "\\f",
                        0);
    const std::string installer = TestCrafted(stream, 0, 1u << 24);
    stream = std::vector<uint8_t>();
    // A child's peak counts the pages it shares with this process from the fork on.
    malloc_trim(0);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"list"}, {"list", "--json"}, {"verify"}, {"extract"}, {"plan"}, {"plan", "--json"}}) {
      args.push_back(installer);
      if (args[0] == "extract") args.push_back(target);
      long peakKiB = 0;
      EXPECT_EQ(args[0] == "extract" && count != 20000 ? 1 : 0, RunUnderLimit(args, 32, &peakKiB)) << args[0];
      EXPECT_LE(peakKiB, 24 * 1024) << args[0] << " of " << count << " entries";
    }
  }
}
#endif

// Thousands of empty files with long names: a stream of headers alone, which fall across the encoder's reads.
TEST(RoundTrip, HeadersAcrossTheEncodersReads) {
  std::map<std::string, std::string> tree;
  for (int i = 0; i < 10000; ++i) tree["d" + std::to_string(i % 10) + "/" + std::string(100, 'n') + std::to_string(i)] = "";
  const std::string product = TestTempDir(), out = TestTempDir() + "/setup.exe";
  TestWriteTree(product, tree);
  ASSERT_EQ(0, TestPack(TestWriteStub(), product, out).code);
  EXPECT_TRUE(TestHasText(TestSetupkit({"verify", out}).out, ": ok, 10000 entries, 0 bytes\n"));
}
