// The command line of setupkit: pack, list, verify, extract.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit codes.
const int kExitSuccess = 0;
const int kExitBrokenPayload = 1;  // a negative archive pass result; extract: an entry refused
const int kExitFailure = 2;        // usage, unreadable input, unwritable output, system error

enum ProgressStyle {
  kProgressNone,      // no progress
  kProgressTerminal,  // one line rewritten in place
  kProgressLines,     // plain lines for a log: start, each quarter, end
};

// Runs one command. `args` are the arguments behind the program name, in
// UTF-8. Results go to `out`, errors and warnings to `err` (one line each);
// `style` chooses pack's progress display on `err`. Returns the exit code.
int SetupkitRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, ProgressStyle style);
