// `list`, `verify` and `extract`: each one archive pass over an installer with a
// handler of its own; the installer's own archive code does all the reading.
//
// Each returns the exit code: 0 success; 1 the payload is broken or absent (a
// negative pass result), or extract refused an entry; 2 a system error (the
// installer cannot be read, an output cannot be written). On 1 and 2, *problem
// holds one line "path: problem".
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

struct InstallerEntry {
  std::string name;  // UTF-8, backslashes as stored
  uint32_t size;
};

struct InstallerListing {
  std::string productCode;  // identity texts, UTF-8
  std::string windowClass;
  std::string mainProgram;
  std::string archiveDate;  // YYYY-MM-DD
  std::vector<InstallerEntry> entries;
};

int InspectList(const std::filesystem::path& installer, InstallerListing* listing, std::string* problem);

// The listing as JSON text, ending in a newline.
std::string InstallerListingJson(const InstallerListing& listing);

// The listing as lines for people.
std::string InstallerListingText(const InstallerListing& listing);

struct VerifyReport {
  uint32_t entries;
  uint64_t bytes;  // the entries' data
};

int InspectVerify(const std::filesystem::path& installer, VerifyReport* report, std::string* problem);

struct ExtractReport {
  uint32_t entries;                  // in the installer
  uint32_t extracted;                // accepted and handed to the parser to write
  uint64_t bytes;                    // of the extracted entries
  std::vector<std::string> refused;  // one line per refused entry: "installer: entry "name" problem"
};

// Writes every entry below `folder` (created when missing) at its stored path,
// replacing existing files. Entries whose names are absolute, carry a drive or
// would leave `folder` are refused and listed; the others are still written, and
// the result is then 1 unless a worse one applies.
int InspectExtract(const std::filesystem::path& installer, const std::filesystem::path& folder, ExtractReport* report,
                   std::string* problem);
