// setupkit pack's warnings and --strict, the checks of --out, and the
// conventions of a command-line tool: interrupted packs leave nothing behind.
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

namespace {

// Warns of nothing: a name, a main program and an uninstaller.
const std::map<std::string, std::string> kGood = {
    {"FILE_ID.DIZ", "Pad Version 1.2\n"}, {"Ed.exe", "e"}, {"UnInst.exe", "u"}};

std::map<std::string, std::string> Changed(std::map<std::string, std::string> files, const std::string& name,
                                           const char* contents) {
  return contents == nullptr ? (files.erase(name), files) : (files[name] = contents, files);
}

}  // namespace

TEST(PackWarnings, EachTrapWarnsAndStrictRefuses) {
  struct Case {
    std::map<std::string, std::string> files;
    std::vector<std::string> options;
    const char* expected;  // in the warning; empty: no warning at all
  } cases[] = {
      {kGood, {}, ""},
      {Changed(kGood, "FILE_ID.DIZ", nullptr), {}, "the product has no FILE_ID.DIZ: the installer will show no"},
      {Changed(kGood, "FILE_ID.DIZ", "COM1 Version 2\n"), {}, "FILE_ID.DIZ gives no product name the installer can"},
      {Changed(Changed(kGood, "Ed.exe", nullptr), "Pad.exe", "p"), {}, "no entry is named E*.exe"},
      {Changed(Changed(kGood, "Pad.exe", "p"), "Ed.exe", nullptr), {"--main-program", "Pad.exe"}, ""},
      {Changed(kGood, "Pad.exe", "p"), {}, "will take \"Ed.exe\" as the main program (the first entry named E*.exe), "
                                          "not \"Pad.exe\""},
      {kGood, {"--main-program", "Zed.exe"}, "--main-program \"Zed.exe\" is no entry's file name"},
      {Changed(kGood, "UnInst.exe", nullptr), {}, "no UnInst.exe: the installer will write no uninstall entry"},
      {Changed(kGood, "UnInst.exe", nullptr), {"--uninstaller"}, ""},
      {kGood, {"--window-class", "#32770"}, "the window class \"#32770\" belongs to Windows"},
      {Changed(kGood, "FILE_ID.DIZ", "shell_traywnd\n"), {}, "the window class \"shell_traywnd\" belongs to Windows"},
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

TEST(PackConventions, OutputDateHelpAndVersion) {
  const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir();
  TestWriteTree(dir, kGood);
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
  // Every command the overall help lists describes itself.
  std::istringstream commands(TestSetupkit({"--help"}).out.substr(TestSetupkit({"--help"}).out.find("commands:\n")));
  std::string line, command;
  std::vector<std::string> listed;
  for (std::getline(commands, line); std::getline(commands, line) && !line.empty();) {
    std::istringstream(line) >> command;
    listed.push_back(command);
    for (const char* help : {"-h", "--help"})
      EXPECT_TRUE(TestHasText(TestSetupkit({command, help}).out, "usage: setupkit " + command)) << help;
  }
  EXPECT_EQ((std::vector<std::string>{"pack", "list", "verify", "extract", "plan"}), listed);
  EXPECT_TRUE(TestHasText(TestSetupkit({"--version"}).out, "setupkit "));
}

#ifndef _WIN32
// A pack stopped by Ctrl-C or SIGTERM while it compresses: the process ends by
// that signal and leaves no temporary installer; the uninstaller never touches
// the disk. Progress lines on a pipe tell when compression is under way.
TEST(PackConventions, InterruptedPackLeavesNothing) {
  const struct { int signalNumber; bool uninstaller; } cases[] = {{SIGINT, false}, {SIGTERM, true}, {SIGHUP, false}};
  std::vector<uint8_t> noise(6u << 20);
  std::mt19937 random(7);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  for (const auto& c : cases) {
    const std::string dir = TestTempDir(), stub = TestWriteStub(), out = TestTempDir();
    TestWriteFile((fs::u8path(stub).parent_path() / "uninst.exe").u8string(), TestFakeStub(2000));
    TestWriteTree(dir, Changed(kGood, "UnInst.exe", c.uninstaller ? nullptr : "u"));
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
