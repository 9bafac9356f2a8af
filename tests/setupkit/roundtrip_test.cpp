// pack, then list, verify and extract through the installer's own archive pass.
#include <gtest/gtest.h>

#include <random>

#include "platform/platform.h"
#include "setupkit_test_util.h"

namespace {

bool HasText(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A product tree of `count` files: nested folders, spaces and Windows-1252
// letters in names, empty, small and multi-chunk files, text and noise.
std::map<std::string, std::string> RandomTree(uint32_t seed, int count) {
  static const char* const kFolders[] = {"docs", u8"Gr\u00fc\u00dfe", "with space", u8"\u20ac", "a"};
  static const char* const kNames[] = {"readme.txt", u8"caf\u00e9 cr\u00e8me.txt", u8"\u00fcber.dat", u8"\u20ac 5.bin",
                                       "Setup Notes"};
  std::mt19937 random(seed);
  std::map<std::string, std::string> tree;
  for (int i = 0; i < count; ++i) {
    std::string path;
    for (uint32_t depth = random() % 4; depth > 0; --depth) path += std::string(kFolders[random() % 5]) + "/";
    path += std::to_string(i) + " " + kNames[random() % 5];
    std::string data;
    switch (random() % 4) {
      case 0:
        break;
      case 1:
        data.assign(1 + random() % 100, static_cast<char>('a' + random() % 26));
        break;
      case 2:
        for (uint32_t n = random() % 90000; data.size() < n;) data += "line " + std::to_string(random() % 50) + "\r\n";
        break;
      default:
        for (uint32_t n = 65536 + random() % 4000; data.size() < n;) data.push_back(static_cast<char>(random()));
    }
    tree[path] = data;
  }
  tree["plain.txt"] = "plain";  // a name every test file helper takes on every system
  return tree;
}

uint64_t NoonOf(uint16_t year, uint16_t month, uint16_t day) {
  PlatformDateTime local = {year, month, 0, day, 12, 0, 0, 0};
  uint64_t fileTime = 0;
  PlatformLocalTimeToFileTime(&local, &fileTime);
  return fileTime;
}

}  // namespace

TEST(RoundTrip, RandomTreesComeBackWhole) {
  const std::string stub = TestWriteStub();
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const std::string product = TestTempDir();
    const std::map<std::string, std::string> tree = RandomTree(seed, 12);
    TestWriteTree(product, tree);
    const std::string out = TestTempDir() + "/setup.exe";
    TestRun run = TestPack(stub, product, out);
    ASSERT_EQ(0, run.code) << "seed " << seed << ": " << run.err;

    uint64_t bytes = 0;
    for (const auto& f : tree) bytes += f.second.size();
    run = TestSetupkit({"verify", out});
    EXPECT_EQ(0, run.code) << run.err;
    EXPECT_EQ(out + ": ok, 13 entries, " + std::to_string(bytes) + " bytes\n", run.out);

    run = TestSetupkit({"list", out});
    ASSERT_EQ(0, run.code) << run.err;
    for (const auto& f : tree) {
      std::string stored = f.first;
      for (char& c : stored) c = c == '/' ? '\\' : c;
      EXPECT_TRUE(HasText(run.out, std::to_string(f.second.size()) + "  " + stored + "\n")) << stored << "\n"
                                                                                            << run.out;
    }

    const std::string target = TestTempDir() + "/extracted";
    run = TestSetupkit({"extract", out, target});
    ASSERT_EQ(0, run.code) << run.err;
    EXPECT_EQ(target + ": 13 of 13 entries extracted, " + std::to_string(bytes) + " bytes\n", run.out);
    EXPECT_EQ(tree, TestReadTree(target)) << "seed " << seed;
    EXPECT_EQ(NoonOf(2024, 5, 1), TestFileWriteTime(target + "/plain.txt"));
  }
}

TEST(RoundTrip, ListShowsIdentityAndEntriesInListOrder) {
  const std::string dir = TestTempDir();
  TestWriteTree(dir, {{"src/z.txt", "zz"},
                      {"src/a.txt", ""},
                      {"list.txt", "\xEF\xBB\xBFZ last\\z.txt\tsrc/z.txt\r\n\r\nA/first.txt\tsrc/a.txt\n"}});
  const std::string out = TestTempDir() + "/setup.exe";
  TestRun run = TestSetupkit({"pack", "--stub", TestWriteStub(), "--out", out, "--product-code", u8"\u00c9X",
                              "--window-class", "Say \"hi\" \\o/", "--main-program", "Z.exe", "--date", "2012-02-29",
                              "--entries", dir + "/list.txt"});
  ASSERT_EQ(0, run.code) << run.err;

  run = TestSetupkit({"list", out});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(
      u8"product code  \u00c9X\n"
      "window class  Say \"hi\" \\o/\n"
      "main program  Z.exe\n"
      "archive date  2012-02-29\n"
      "entries       2, 2 bytes\n"
      "           2  Z last\\z.txt\n"
      "           0  A\\first.txt\n",
      run.out);

  run = TestSetupkit({"list", "--json", out});
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(
      u8"{\n"
      "  \"productCode\": \"\u00c9X\",\n"
      "  \"windowClass\": \"Say \\\"hi\\\" \\\\o/\",\n"
      "  \"mainProgram\": \"Z.exe\",\n"
      "  \"archiveDate\": \"2012-02-29\",\n"
      "  \"entries\": [\n"
      "    {\"name\": \"Z last\\\\z.txt\", \"size\": 2},\n"
      "    {\"name\": \"A\\\\first.txt\", \"size\": 0}\n"
      "  ]\n"
      "}\n",
      run.out);
}

TEST(RoundTrip, HelpAndUsage) {
  TestRun run = TestSetupkit({"--help"});
  EXPECT_EQ(0, run.code);
  for (const char* command : {"pack", "list", "verify", "extract"}) {
    EXPECT_TRUE(HasText(run.out, std::string("  ") + command + " ")) << run.out;
    TestRun help = TestSetupkit({command, "--help"});
    EXPECT_EQ(0, help.code) << command;
    EXPECT_TRUE(HasText(help.out, std::string("usage: setupkit ") + command)) << help.out;
  }
  run = TestSetupkit({});
  EXPECT_EQ(2, run.code);
  EXPECT_EQ("setupkit: no command (see 'setupkit --help')\n", run.err);
  run = TestSetupkit({"unpack", "x"});
  EXPECT_EQ(2, run.code);
  EXPECT_EQ("setupkit: unknown command unpack (see 'setupkit --help')\n", run.err);
  run = TestSetupkit({"extract", "setup.exe"});
  EXPECT_EQ(2, run.code);
  EXPECT_EQ("setupkit extract: missing arguments (see 'setupkit extract --help')\n", run.err);
  run = TestSetupkit({"verify", "a.exe", "b.exe"});
  EXPECT_EQ("setupkit verify: unexpected argument b.exe (see 'setupkit verify --help')\n", run.err);
  run = TestSetupkit({"list", "a.exe", "--xml"});
  EXPECT_EQ("setupkit list: unknown option --xml (see 'setupkit list --help')\n", run.err);
}
