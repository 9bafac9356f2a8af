// The command table: every command describes itself, and all share one parser.
#include <gtest/gtest.h>

#include <sstream>

#include "setupkit_test_util.h"

TEST(Commands, EveryCommandDescribesItselfAndSharesTheParser) {
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
  EXPECT_EQ((std::vector<std::string>{"pack", "uninstaller", "list", "verify", "extract", "plan"}), listed);
  EXPECT_TRUE(TestHasText(TestSetupkit({"--version"}).out, "setupkit "));
  const TestRun usage = TestSetupkit({"extract", "setup.exe"});  // the other commands share one parser
  EXPECT_TRUE(usage.code == 2 && TestHasText(usage.err, "extract: missing arguments (see 'setupkit extract --help')"));
}

// The grammar every command shares: --name=value or --name value, "--" ends the
// options; each mistake is named, with the command's help to see, and exit 2.
TEST(Commands, OptionGrammarAndItsMistakes) {
  const std::string installer = TestTempDir() + "/none.exe";
  const struct { std::vector<std::string> args; std::string problem; } cases[] = {
      {{"plan", installer, "--dest"}, "plan: --dest needs a value (see 'setupkit plan --help')"},
      {{"plan", installer, "--json=yes"}, "plan: --json takes no value"},
      {{"plan", installer, "--json", "--json"}, "plan: --json given twice"},
      {{"plan", installer, "--bogus"}, "plan: unknown option --bogus"},
      {{"verify", installer, "extra"}, "verify: unexpected argument extra"},
      {{"frobnicate"}, "unknown command frobnicate (see 'setupkit --help')"},
  };
  for (const auto& c : cases) {
    const TestRun run = TestSetupkit(c.args);
    EXPECT_EQ(2, run.code) << c.problem;
    EXPECT_TRUE(TestHasText(run.err, c.problem)) << run.err;
  }
  // After "--" a name that looks like an option is the installer; both value forms reach the command.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"verify", "--", "--help"},
                                               {"plan", "--dest=C:\\A", installer}, {"plan", "--dest", "C:\\A", installer}}) {
    const TestRun run = TestSetupkit(args);
    EXPECT_EQ(2, run.code) << args[1];
    EXPECT_TRUE(TestHasText(run.err, "setupkit: " + args.back() + ": cannot be read (")) << run.err;
  }
}
