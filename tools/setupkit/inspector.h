// `list`, `verify` and `extract`: archive passes over an installer with handlers
// of their own; the installer's own archive code does all the reading.
//
// Each returns no problem, kExitBrokenPayload when the payload is broken or
// absent (a negative pass result) or extract refused an entry, kExitFailure
// for a system error (the installer cannot be read, an output cannot be
// written) or a payload whose decoder would take more than `memoryLimit` bytes
// (ReadingPass).
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "setupkit/exit_codes.h"
#include "setupkit/uninstaller.h"
#include "text/product_description.h"

// Prints the listing on `out`: identity texts, product name and version,
// archive date, the entries and, for an installer whose last "UnInst.exe"
// entry is there, what its trailer says. A first pass checks the whole payload
// (and copies that entry into a folder of its own in the temporary folder, for
// its trailer), so a broken one prints nothing; a second prints each entry as
// it is decoded, so no entry is kept in memory.
Problem InspectList(const std::filesystem::path& installer, bool json, uint64_t memoryLimit, std::ostream& out);

// The trailer of the uninstaller the installer would write (its last entry
// named UnInst.exe), read from a copy made by a checking pass; *found false
// when there is no such entry. The problem is the pass's.
Problem ReadUninstallerOf(const std::filesystem::path& installer, uint64_t memoryLimit, UninstallerInfo* info,
                          bool* found);

struct VerifyReport {
  uint32_t entries;
  uint64_t bytes;  // the entries' data
  ProductDescription description;  // the first entry "FILE_ID.DIZ" read as the installer reads it; zero when none
  std::string architecture;        // the stub's: "x86", "x64", or empty for another machine
};

// Decodes the whole payload and checks that the image before it carries the
// stub marker: an installer whose stub is some other program is refused (1).
Problem InspectVerify(const std::filesystem::path& installer, uint64_t memoryLimit, VerifyReport* report);

// verify's result as one JSON object: format, installer, ok, and then either
// problem or entries, bytes, productName, productVersion and architecture.
void PrintVerifyJson(const std::string& installer, const VerifyReport* report, const std::string& problem,
                     std::ostream& out);

struct ExtractReport {
  uint32_t entries;    // in the installer
  uint32_t extracted;  // moved into place
  uint64_t bytes;      // of the extracted entries
  uint32_t refused;    // entries not extracted, each reported through the refusal callback
};

// Receives one line per refused entry: "installer: entry "name" problem".
typedef std::function<void(const std::string& line)> RefusalSink;

// Writes every entry below `folder` (created when missing) at its stored path,
// replacing existing files. The pass writes into a staging folder inside
// `folder`; only when it succeeded are the files moved into place, and the
// staging folder is removed whatever happens. Refused, reported and left out:
// names that are absolute, carry a drive, would leave `folder` or use a Windows
// device name, and names whose place is a symbolic link or lies below one. The
// result is then kExitBrokenPayload unless a worse one applies.
Problem InspectExtract(const std::filesystem::path& installer, const std::filesystem::path& folder,
                       uint64_t memoryLimit, ExtractReport* report, const RefusalSink& refusal);
