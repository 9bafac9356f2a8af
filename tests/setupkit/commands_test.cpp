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
