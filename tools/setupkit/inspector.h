// `list`, `verify` and `extract`: archive passes over an installer with handlers
// of their own; the installer's own archive code does all the reading.
//
// Each returns the exit code: 0 success; 1 the payload is broken or absent (a
// negative pass result), or extract refused an entry; 2 a system error (the
// installer cannot be read, an output cannot be written). On 1 and 2, *problem
// holds one line "path: problem".
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "archive/archive_pass.h"
#include "text/product_description.h"

// The version of the JSON that list and verify print, its "format" member. It
// grows when members change meaning or go away; new members keep it.
const int kJsonFormat = 1;

// What `list` shows before and after the entries; its size does not grow with
// the entry count.
struct InstallerListing {
  std::string productCode;  // identity texts, UTF-8
  std::string windowClass;
  std::string mainProgram;
  std::string archiveDate;  // YYYY-MM-DD
  uint32_t entries;
  uint64_t bytes;           // the entries' data
  std::string productName;  // from FILE_ID.DIZ's first line as the installer reads it, UTF-8
  std::string productVersion;
};

enum class ListFormat { kText, kJson };

// What ends a listing: the checking pass copies the last entry that `wanted`
// accepts (by its stored name, Windows-1252) into a new folder of its own in the
// temporary folder, then `more` is called with the copy's path (null: there was
// none) for lines of text or, in JSON, one more member of the object (empty:
// none). The folder is removed afterwards. No `wanted`: nothing is copied.
struct ListEnd {
  bool (*wanted)(const std::string& ansiName);
  std::function<std::string(const std::filesystem::path* copy)> more;
};

// Prints the listing on `out`. A first pass checks the whole payload, so a
// broken one prints nothing; a second prints each entry as it is decoded, so
// no entry is kept in memory.
int InspectList(const std::filesystem::path& installer, ListFormat format, const ListEnd& end, std::ostream& out,
                std::string* problem);

// A name or text from a payload made safe to print: control characters (C0,
// DEL and C1) escaped as "\x1b", "\n"; and the same as a quoted JSON string.
std::string Printable(const std::string& utf8);
std::string JsonString(const std::string& utf8);

// The listing's lines for people up to the entries, and one entry's line.
// Control characters in names and texts are shown escaped ("\x1b", "\n").
std::string InstallerListingText(const InstallerListing& listing);
std::string InstallerEntryText(const std::string& name, uint32_t size);

// The listing as one JSON object: the head up to the entries array, an entry
// (with the separator it needs), and the tail from the array's end on.
std::string InstallerListingJsonHead(const InstallerListing& listing);
std::string InstallerEntryJson(const std::string& name, uint32_t size, bool first);
std::string InstallerListingJsonTail(const InstallerListing& listing, const std::string& member);

// One archive pass that writes nothing, with the caller's handler; the exit
// code and problem as for verify. summary is filled whatever the result.
int InspectReadingPass(const std::filesystem::path& installer, EntryHandler handler, void* context,
                       ArchivePassSummary* summary, std::string* problem);

struct VerifyReport {
  uint32_t entries;
  uint64_t bytes;  // the entries' data
  ProductDescription description;  // the first entry "FILE_ID.DIZ" read as the installer reads it; zero when none
};

// Decodes the whole payload and checks that the image before it carries the
// stub marker: an installer whose stub is some other program is refused (1).
int InspectVerify(const std::filesystem::path& installer, VerifyReport* report, std::string* problem);

// verify's result as one JSON object: format, installer, ok, and then either
// problem or entries, bytes, productName and productVersion.
std::string VerifyJson(const std::string& installer, const VerifyReport* report, const std::string& problem);

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
// result is then 1 unless a worse one applies.
int InspectExtract(const std::filesystem::path& installer, const std::filesystem::path& folder, ExtractReport* report,
                   const RefusalSink& refusal, std::string* problem);
