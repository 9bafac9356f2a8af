// `pack`: from the parsed options to a written installer, in steps that each
// stop at the first problem: the options, the texts, the stub, the files, the
// uninstaller, the warnings, the writing. `uninstaller` takes the same steps
// for the product's texts and files and writes its uninstaller alone.
#pragma once

#include "setupkit/command_line.h"

extern const char kPackHelp[];
extern const char kUninstallerHelp[];

// Runs pack; returns the exit code.
int RunPack(const Options& options, const Console& console);

// Runs uninstaller; returns the exit code.
int RunUninstaller(const Options& options, const Console& console);
