// The installer's install pass, run over stored names without Windows: the
// install handler's own decision per entry (install/install_decisions.h) says
// what lands where, which entry becomes the main program and which the
// uninstaller. pack's warnings, the uninstaller's trailer and plan all ask it.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "install/install_decisions.h"
#include "setupkit/product_files.h"

struct SimulatedInstall {
  InstallState state;                 // as the pass leaves it
  std::vector<std::u16string> paths;  // per entry, where it lands; empty when it is skipped
  size_t mainProgramEntry;            // the entry that became the main program; SIZE_MAX when none did
};

// Runs the pass over `entries` (stored names, payload order) into `destination`
// with the StreamHeader's main program (Windows-1252; one that
// IsUsableMainProgramName refuses counts as none, as in the installer) and the
// language items' check states from checkOf (null: every item checked).
void SimulateInstall(const std::vector<std::u16string>& entries, const std::u16string& destination,
                     const std::string& mainProgram, const char16_t* languageFileBase, LanguageCheckQuery checkOf,
                     void* queryContext, SimulatedInstall* install);

// The same pass one entry at a time, for a caller that streams the entries:
// StartSimulatedInstall sets *state up as SimulateInstall does; SimulateEntry
// decides one stored name and returns where it lands, empty when it is skipped.
void StartSimulatedInstall(const std::u16string& destination, const std::string& mainProgram, InstallState* state);
std::u16string SimulateEntry(const std::u16string& stored, const char16_t* languageFileBase,
                             LanguageCheckQuery checkOf, void* queryContext, InstallState* state);

// The pass over a product about to be packed: every language checked, a short
// destination, so that no name is refused for its length.
void SimulateProductInstall(const std::vector<ProductFile>& files, const std::string& mainProgram,
                            SimulatedInstall* install);
