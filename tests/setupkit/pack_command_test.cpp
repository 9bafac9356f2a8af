// pack as a command: what it refuses before it writes anything, the checks of
// --out, the date from the environment, and interrupted packs leave nothing behind.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <random>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "setupkit_test_util.h"

namespace fs = std::filesystem;

TEST(PackCommand, RefusesBadInputsAndWritesNothing) {
  const std::string good = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/o.exe";
  TestWriteTree(good, {{"one.txt", "1"}, {"two.txt", "2"}, {"dup.lst", "A.txt\tone.txt\na.TXT\ttwo.txt\n"},
                       {"gone.lst", "\nx\tmissing.txt\n"}});
  const struct { std::vector<std::string> args; std::string problem; } cases[] = {
      {{"--product-code", "ABCD", "--from", good}, "pack: --product-code \"ABCD\" is 4 bytes long"},
      {{"--from", good, "--date", "2011-12-31"}, "pack: --date 2011-12-31: before 2012-01-01"},
      {{"--from", good, "--date", "2023-02-29"}, "pack: --date 2023-02-29: no such day"},
      {{"--from", good + "/none"}, good + "/none: is not a folder"},
      {{"--entries", good + "/dup.lst"}, "dup.lst: stored names \"A.txt\" and \"a.TXT\" name the same file"},
      {{"--entries", good + "/gone.lst"}, "gone.lst:2: source "},
      {{"--entries", good + "/dup.lst", "--from", good}, "give exactly one of --from DIR and --entries FILE"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"pack", "--out", out, "--stub", stub, "--product-code", "A"};
    args.resize(c.args[0] == "--product-code" ? 5 : 7);
    args.insert(args.end(), c.args.begin(), c.args.end());
    TestRun run = TestSetupkit(args);
    EXPECT_EQ(2, run.code) << c.problem;
    EXPECT_TRUE(TestHasText(run.err, c.problem) && run.err.find('\n') == run.err.size() - 1) << run.err;
  }
  // Nothing was written, not even beside the output; an existing installer stays as it was.
  EXPECT_TRUE(fs::is_empty(fs::u8path(out).parent_path()));
  TestWriteFile(out, TestBytes("old"));
  EXPECT_EQ(2, TestPack(stub, TestTempDir(), out).code);
  EXPECT_EQ(TestBytes("old"), TestReadFile(out));
  // An output inside the product folder would be packed into the next installer.
  EXPECT_TRUE(TestHasText(TestPack(stub, good, good + "/setup.exe").err, "lies inside the product folder"));
  EXPECT_TRUE(TestHasText(TestPack(stub + ".x", good, out).err, ".x: cannot be read (" + std::string(kTestNoSuchFile) + ")"));
}

TEST(PackCommand, OutputCheckedAndDateFromTheEnvironment) {
  const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir();
  TestWriteTree(dir, kTestGoodProduct);
  std::vector<std::string> targets = {out, stub};
#ifndef _WIN32
  targets.push_back(out + "/link.exe");
  fs::create_symlink(stub, targets.back());
#endif
  const std::vector<uint8_t> stubBytes = TestReadFile(stub);
  for (const std::string& target : targets) {
    TestRun run = TestSetupkit({"pack", "--stub", stub, "--out", target, "--product-code", "P", "--from", dir});
    EXPECT_EQ(kExitFailure, run.code) << target;
    EXPECT_TRUE(TestHasText(run.err, target == out ? ": is a folder" : ": is the stub itself")) << run.err;
  }
  EXPECT_EQ(stubBytes, TestReadFile(stub));
#ifndef _WIN32
  for (const char* epoch : {"x", "1", "1714564800"}) {
    setenv("SOURCE_DATE_EPOCH", epoch, 1);
    TestRun run = TestSetupkit({"pack", "--stub", stub, "--out", out + "/s.exe", "--product-code", "P", "--from", dir});
    const bool good = epoch[0] == '1' && epoch[1] != 0;
    EXPECT_EQ(good ? kExitSuccess : kExitFailure, run.code) << run.err;
    EXPECT_EQ(good, TestHasText(TestSetupkit({"list", out + "/s.exe"}).out, "archive date  2024-05-01")) << epoch;
    EXPECT_EQ(good, !TestHasText(run.err, std::string("SOURCE_DATE_EPOCH=") + epoch + ": ")) << run.err;
  }
  unsetenv("SOURCE_DATE_EPOCH");
#endif
}

#ifndef _WIN32
// Links planted at names beside --out are never written through: the
// installer's temporary name is random and opened exclusively, and the
// uninstaller is packed from memory.
TEST(PackCommand, WritesThroughNoPlantedLink) {
  const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir() + "/setup.exe";
  const std::string victim = TestTempDir() + "/victim";
  TestWriteFile((fs::u8path(stub).parent_path() / "uninst.exe").u8string(), TestFakeStub(2000));
  TestWriteTree(dir, TestChanged(kTestGoodProduct, "UnInst.exe", nullptr));
  TestWriteFile(victim, TestBytes("keep"));
  for (const char* suffix : {"", ".uninst.tmp", ".tmp"}) fs::create_symlink(victim, out + suffix);
  const TestRun run = TestSetupkit({"pack", "--stub", stub, "--out", out, "--product-code", "P", "--date", "2024-05-01",
                                    "--from", dir, "--uninstaller"});
  EXPECT_EQ(0, run.code) << run.err;
  EXPECT_EQ(TestBytes("keep"), TestReadFile(victim));
  EXPECT_FALSE(fs::is_symlink(out));
}

// A pack stopped by Ctrl-C or SIGTERM while it compresses: the process ends by
// that signal and leaves no temporary installer; the uninstaller never touches
// the disk. Progress lines on a pipe tell when compression is under way.
TEST(PackCommand, InterruptedPackLeavesNothing) {
  const struct { int signalNumber; bool uninstaller; } cases[] = {{SIGINT, false}, {SIGTERM, true}, {SIGHUP, false}};
  std::vector<uint8_t> noise(6u << 20);
  std::mt19937 random(7);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  for (const auto& c : cases) {
    const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir();
    TestWriteFile((fs::u8path(stub).parent_path() / "uninst.exe").u8string(), TestFakeStub(2000));
    TestWriteTree(dir, TestChanged(kTestGoodProduct, "UnInst.exe", c.uninstaller ? nullptr : "u"));
    TestWriteFile(dir + "/noise.bin", noise);
    std::vector<std::string> args = {SETUPKIT_PROGRAM, "pack", "--stub", stub, "--out", out + "/setup.exe",
                                     "--product-code", "P", "--date", "2024-05-01", "--from", dir};
    if (c.uninstaller) args.push_back("--uninstaller");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    int pipeEnds[2];
    ASSERT_EQ(0, pipe(pipeEnds));
    const pid_t child = fork();
    // A shell starts background jobs with SIGINT ignored, and pack keeps what it inherits.
    if (child == 0) _exit(dup2(pipeEnds[1], 2) == 2 && signal(c.signalNumber, SIG_DFL) != SIG_ERR
                              ? execv(argv[0], argv.data()) : 127);
    close(pipeEnds[1]);
    std::string progress;
    char buffer[256];
    for (ssize_t got = 1; !TestHasText(progress, "packing 25%") && (got = read(pipeEnds[0], buffer, 256)) > 0;)
      progress.append(buffer, static_cast<size_t>(got));
    const size_t during = static_cast<size_t>(std::distance(fs::directory_iterator(out), {}));
    kill(child, c.signalNumber);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeEnds[0]);
    EXPECT_TRUE(TestHasText(progress, "setupkit: packing 4 files, ")) << progress;
    EXPECT_EQ(1u, during) << "the temporary installer while packing";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) << status;
    EXPECT_EQ(0, std::distance(fs::directory_iterator(out), {})) << c.signalNumber;
  }
}
#endif

// --arch picks the stub's architecture and refuses a stub or uninstaller of the
// other one; list and verify name what they find.
TEST(PackCommand, ArchitectureOfStubAndUninstallerMustAgree) {
  const std::string x64 = TestTempDir(), x86 = TestTempDir(), product = TestTempDir(), out = TestTempDir() + "/s.exe";
  TestWriteFile(x64 + "/setup.exe", TestFakeStub64());
  TestWriteFile(x64 + "/uninst.exe", TestFakeStub(2000));
  TestWriteFile(x86 + "/setup.exe", TestFakeStub());
  TestWriteTree(product, {{"FILE_ID.DIZ", "Zq Tool 2\r\n"}, {"Editor.exe", "e"}});
  auto pack = [&](const std::string& stub, std::vector<std::string> more) {
    std::vector<std::string> args = {"pack", "--stub", stub + "/setup.exe", "--out", out, "--product-code", "ZQT",
                                     "--dict-size", "64K", "--from", product};
    args.insert(args.end(), more.begin(), more.end());
    return TestSetupkit(args);
  };
  const struct { std::string stub; std::vector<std::string> more; std::string problem; } refusals[] = {
      {x86, {"--arch", "x64"}, "setup.exe: is an x86 program, not x64 (--arch x64)"},
      {x64, {"--arch", "x86"}, "setup.exe: is an x64 program, not x86 (--arch x86)"},
      {x64, {"--arch", "arm64"}, "--arch arm64: not x86 or x64"},
      {x64, {"--uninstaller"}, "uninst.exe: is built for another architecture than the stub (x64)"},
  };
  for (const auto& r : refusals) {
    const TestRun run = pack(r.stub, r.more);
    EXPECT_TRUE(run.code == 2 && TestHasText(run.err, r.problem)) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }
  const TestRun alone = TestSetupkit({"uninstaller", "--out", out, "--product-code", "ZQT", "--from", product, "--arch",
                                      "x64", "--uninstaller-program", x64 + "/uninst.exe"});
  EXPECT_TRUE(alone.code == 2 && TestHasText(alone.err, "uninst.exe: is an x86 program, not x64")) << alone.err;
  EXPECT_FALSE(fs::exists(out));

  ASSERT_EQ(0, pack(x64, {"--arch", "x64"}).code);
  EXPECT_TRUE(TestHasText(TestSetupkit({"list", out}).out, "\narchitecture  x64\n"));
  EXPECT_TRUE(TestHasText(TestSetupkit({"verify", "--json", out}).out, "\"architecture\": \"x64\"\n"));
}
