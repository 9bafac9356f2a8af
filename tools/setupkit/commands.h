// The command line of setupkit: pack, list, verify, extract, plan.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "setupkit/command_line.h"

// Runs one command. `args` are the arguments behind the program name, in
// UTF-8. Results go to `out`, errors and warnings to `err` (one line each);
// `style` chooses pack's progress display on `err`. Returns the exit code.
int SetupkitRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, ProgressStyle style);
