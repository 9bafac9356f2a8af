// What the commands share: the options as parsed, the table row that
// describes a command, and where its output goes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "setupkit/exit_codes.h"

enum ProgressStyle {
  kProgressNone,      // no progress
  kProgressTerminal,  // one line rewritten in place
  kProgressLines,     // plain lines for a log: start, each quarter, end
};

struct Console {
  std::ostream& out;  // results
  std::ostream& err;  // errors, warnings and progress, one line each
  ProgressStyle style;
};

// One option as given: `given` false when it is absent; a flag has no text.
struct OptionValue {
  bool given;
  std::string text;
};

// Every option of every command; a command's row says which it accepts.
struct Options {
  OptionValue stub, out, productCode, windowClass, mainProgram, date, dictSize, from, entries;
  OptionValue uninstaller, uninstallerProgram, strict, arch;
  OptionValue json, dest, language, installedVersion, memLimit;
  std::vector<std::string> positional;  // in UTF-8
  bool help;
};

struct OptionSpec {
  const char* name;  // "--out"
  OptionValue Options::*field;
  bool takesValue;
};

// A row of the command table: it drives the parsing, -h, the overall help and
// the dispatch.
struct Command {
  const char* name;
  const char* summary;  // its line in the overall help
  const char* help;     // what -h prints: the usage lines, then what it does
  std::vector<OptionSpec> options;
  size_t positionals;  // exactly this many
  int (*run)(const Options& options, const Console& console);
};

// Parses the arguments behind the command's name: "--name value" or
// "--name=value" for an option with a value, "--name" for a flag, -h and --help,
// "--" before positional arguments that start with "--". The problem's text is
// a phrase for UsageError ("unknown option --x", "--out given twice").
Problem ParseOptions(const Command& command, const std::vector<std::string>& args, Options* options);

// "16M", "4096", "512k", "2G": bytes, with an optional K, M or G (powers of
// 1024). False for anything else and for more than 2^50 bytes.
bool ParseByteSize(const std::string& text, uint64_t* bytes);

// "setupkit COMMAND: problem (see 'setupkit COMMAND --help')"; an empty command
// for the tool itself.
std::string UsageError(const std::string& command, const std::string& problem);

// Prints the problem, if any, as one line "setupkit: text"; returns its code.
int Report(const Console& console, const Problem& problem);

// Prints a usage error; returns kExitFailure.
int ReportUsage(const Console& console, const std::string& command, const std::string& problem);
