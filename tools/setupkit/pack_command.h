// `pack`: from the parsed options to a written installer, in steps that each
// stop at the first problem: the options, the texts, the stub, the files, the
// uninstaller, the warnings, the writing.
#pragma once

#include "setupkit/command_line.h"

extern const char kPackHelp[];

// Runs pack; returns the exit code.
int RunPack(const Options& options, const Console& console);
