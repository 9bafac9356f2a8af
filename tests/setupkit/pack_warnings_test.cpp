// pack's warnings and --strict: what the installer would do that the maker
// probably did not mean.
#include <gtest/gtest.h>

#include <filesystem>

#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

// The good product and `n` files that the installer writes over one another: d0/x.txt, d1/x.txt, ...
std::map<std::string, std::string> Clashing(int n) {
  std::map<std::string, std::string> files = kTestGoodProduct;
  for (int i = 0; i <= n; ++i) files["d" + std::to_string(i) + "/x.txt"] = "x";
  return files;
}

}  // namespace

TEST(PackWarnings, EachTrapWarnsAndStrictRefuses) {
  struct Case {
    std::map<std::string, std::string> files;
    std::vector<std::string> options;
    const char* expected;  // in the warning; empty: no warning at all
  } cases[] = {
      {kTestGoodProduct, {}, ""},
      {TestChanged(kTestGoodProduct, "FILE_ID.DIZ", nullptr), {}, "the product has no FILE_ID.DIZ: the installer will show no"},
      {TestChanged(kTestGoodProduct, "FILE_ID.DIZ", "COM1 Version 2\n"), {}, "FILE_ID.DIZ gives no product name the installer can"},
      {TestChanged(TestChanged(kTestGoodProduct, "Ed.exe", nullptr), "Pad.exe", "p"), {}, "no entry is named E*.exe"},
      {TestChanged(TestChanged(kTestGoodProduct, "Pad.exe", "p"), "Ed.exe", nullptr), {"--main-program", "Pad.exe"}, ""},
      {TestChanged(kTestGoodProduct, "Pad.exe", "p"), {}, "will take \"Ed.exe\" as the main program (the first entry named E*.exe), "
                                          "not \"Pad.exe\""},
      {kTestGoodProduct, {"--main-program", "Zed.exe"}, "--main-program \"Zed.exe\" is no entry's file name"},
      {TestChanged(kTestGoodProduct, "UnInst.exe", nullptr), {}, "no UnInst.exe: the installer will write no uninstall entry"},
      {TestChanged(kTestGoodProduct, "UnInst.exe", nullptr), {"--uninstaller"}, ""},
      {kTestGoodProduct, {"--window-class", "#32770"}, "the window class \"#32770\" belongs to Windows"},
      {TestChanged(kTestGoodProduct, "FILE_ID.DIZ", "shell_traywnd\n"), {}, "the window class \"shell_traywnd\" belongs to Windows"},
      {Clashing(12), {}, ": 2 more files share their file name with an earlier one\n"},
  };
  for (const Case& c : cases) {
    const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/setup.exe";
    TestWriteFile((fs::u8path(stub).parent_path() / "uninst.exe").u8string(), TestFakeStub(2000));
    TestWriteTree(dir, c.files);
    std::vector<std::string> args = {"pack", "--stub", stub, "--out", out, "--product-code", "P", "--date",
                                     "2024-05-01", "--from", dir};
    args.insert(args.end(), c.options.begin(), c.options.end());
    TestRun run = TestSetupkit(args);
    EXPECT_EQ(0, run.code) << c.expected << run.err;
    const bool warns = *c.expected != 0;
    EXPECT_EQ(warns ? 0 : std::string::npos, run.err.find("setupkit: warning: ")) << run.err;
    EXPECT_TRUE(TestHasText(run.err, c.expected)) << run.err;
    fs::remove(out);
    args.push_back("--strict");
    run = TestSetupkit(args);
    EXPECT_EQ(warns ? kExitFailure : kExitSuccess, run.code) << c.expected;
    EXPECT_EQ(warns, TestHasText(run.err, "setupkit: error: ") && TestHasText(run.err, c.expected)) << run.err;
    EXPECT_EQ(!warns, fs::exists(out)) << c.expected;
    EXPECT_EQ(warns ? 0 : 1, std::distance(fs::directory_iterator(fs::u8path(out).parent_path()), {}));
  }
}
