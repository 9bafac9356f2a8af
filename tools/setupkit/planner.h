// `plan`: what setup.exe will do with an installer, told without Windows. One
// archive pass collects what the installer's scan pass reads (product
// description, language files, identity texts) and every entry's stored name;
// the installer's own decisions (install_decisions, install_record) then run
// over them for the destination, once with every language checked and once
// per language with its box cleared.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "setupkit/exit_codes.h"

struct PlanRequest {
  std::string destination;        // UTF-8 as the user would type it; empty: the one proposed on a first run
  std::string interfaceLanguage;  // "US", "DE" or "IT": the texts the dialog shows
  bool json;
  std::string installedVersion;   // the version recorded in the destination; empty: none (a first install)
  uint64_t memoryLimit;           // the most the decoder may take (ReadingPass)
};

// Prints the plan on `out`. The problem: a broken payload (kExitBrokenPayload),
// an installer that cannot be read or a destination that cannot be used
// (kExitFailure).
Problem PlanInstallation(const std::filesystem::path& installer, const PlanRequest& request, std::ostream& out);
