#include "setupkit/inspector.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#endif

#include "archive/archive_pass.h"
#include "archive/decoder.h"
#include "archive/entry_format.h"
#include "archive/file_routines.h"
#include "setupkit/ansi_text.h"
#include "setupkit/commands.h"
#include "setupkit/product_files.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit/system_error.h"
#include "text/bounded_text.h"

namespace fs = std::filesystem;

namespace {

// A narrow text from the payload as the installer would show it: through the ANSI code page.
std::string AnsiToUtf8(const char* text) {
  char16_t wide[128];
  NarrowToWide(text, wide, 128);
  return Utf16ToUtf8(wide);
}

std::string DateText(uint32_t archiveDate) {
  int year, month, day;
  if (!ArchiveDateToYmd(archiveDate, &year, &month, &day)) return std::string();
  char text[16];
  snprintf(text, sizeof(text), "%04d-%02d-%02d", year, month, day);
  return text;
}

// Names what made a pass fail with a negative result. Only the -1 cases need a
// closer look: a missing magic, bad LZMA data, a broken stream and a wrong
// checksum all end there; a broken stream usually fails the checksum too.
std::string BrokenPayloadText(int result, const ArchivePassSummary& summary) {
  switch (result) {
    case -kDecodeErrorMem:
      return "not enough memory for the payload's LZMA dictionary";
    case -kDecodeErrorUnsupported:
      return "unsupported LZMA properties in the payload header";
    case -kDecodeErrorInputEof:
      return "the payload header is cut short";
    case -kDecodeErrorRead:
      return "read error inside the payload";
    default:
      break;
  }
  if (summary.fileSize == 0) return "is empty";
  if (summary.payloadOffset == 0) return "no payload found";
  if (summary.decoderResult == kDecodeErrorData) return "LZMA data error (the payload is corrupt or cut short)";
  if (summary.limitBroken) return "the entry stream breaks a limit of the format (a text, name or date)";
  if (summary.endedInsideRecord) return "the entry stream ends inside an entry (unpacked size too small)";
  if (summary.expectedChecksum != summary.actualChecksum) {
    char text[80];
    snprintf(text, sizeof(text), "checksum mismatch (stored %08X, computed %08X)",
             static_cast<unsigned>(summary.expectedChecksum), static_cast<unsigned>(summary.actualChecksum));
    return text;
  }
  return "broken payload";
}

// The exit code and message of a pass that read the installer and wrote nothing.
int ReadingPassResult(const fs::path& installer, int result, const ArchivePassSummary& summary, std::string* problem) {
  if (result == 0) return kExitSuccess;
  if (result > 0) {
    *problem = ShowPath(installer) + ": cannot be read (" + SystemErrorText(static_cast<uint32_t>(result)) + ")";
    return kExitFailure;
  }
  *problem = ShowPath(installer) + ": " + BrokenPayloadText(result, summary);
  return kExitBrokenPayload;
}

}  // namespace

// A name or text from the payload with its control characters escaped, so that
// printing it cannot move the cursor, erase a line or start a line of its own.
// The C1 controls (U+0080 to U+009F) count too: some terminals obey them.
std::string Printable(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const unsigned char next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    char escaped[8];
    if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      snprintf(escaped, sizeof(escaped), "\\x%02x", c);
      out += escaped;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      snprintf(escaped, sizeof(escaped), "\\u%04x", next);
      out += escaped;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const unsigned char next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    char escaped[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F)) {
      snprintf(escaped, sizeof(escaped), "\\u%04x", c == 0xC2 ? next : c);
      out += escaped;
      i += c == 0xC2 ? 1 : 0;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

namespace {

// Counts what it is shown: the checking pass of `list`, and `verify`.
// The product description is read from the same leading bytes the installer's scan pass gets.
int VerifyHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  VerifyReport* report = static_cast<VerifyReport*>(context);
  if (data == nullptr) {
    report->entries += 1;
    report->bytes += size;
  } else if (report->description.name[0] == 0 && ClassifyScanEntry(name) == kScanEntryDescription) {
    ParseDescriptionLine(data, size, &report->description);
  }
  return 0;
}

// The checking pass of `list`: counts, and copies the entry the listing's end wants.
struct ListCheck {
  VerifyReport counted;
  const ListEnd* end;
  std::u16string copy;
  bool copied;
};

int ListCheckHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  ListCheck* check = static_cast<ListCheck*>(context);
  VerifyHandler(name, data, size, &check->counted);
  if (data != nullptr || check->end->wanted == nullptr) return 0;
  char narrow[kEntryNameUnits];
  WideToNarrow(name, narrow, kEntryNameUnits);
  if (!check->end->wanted(narrow)) return 0;
  check->copied = true;
  SetWide(check->copy.c_str(), name, kEntryNameUnits);
  return 1;
}

struct ListPrinter {
  std::ostream* out;
  ListFormat format;
  VerifyReport printed;
};

int ListHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr) return 0;
  ListPrinter* printer = static_cast<ListPrinter*>(context);
  const std::string utf8 = Utf16ToUtf8(name);
  *printer->out << (printer->format == ListFormat::kJson ? InstallerEntryJson(utf8, size, printer->printed.entries == 0)
                                                         : InstallerEntryText(utf8, size));
  VerifyHandler(name, data, size, &printer->printed);
  return 0;
}

struct ExtractState {
  std::u16string staging;  // with a trailing separator
  std::string installer;   // for messages
  ExtractReport* report;
  const RefusalSink* refusal;
  std::u16string lastPath;   // the last accepted entry's staged file, until it is looked at
  std::u16string madeFolder; // the last entry's staged folder; if it was not made, the pass fails
  std::string lastName;
  std::string unwritten;     // the first accepted entry whose file the parser could not create
  std::string outputProblem; // the first entry whose staged path cannot even be named
};

void Refuse(ExtractState* state, const std::string& name, const std::string& why) {
  state->report->refused += 1;
  (*state->refusal)(state->installer + ": entry \"" + Printable(name) + "\" " + why + "; not extracted");
}

// The parser keeps only its first error; the first accepted file missing right
// after its turn names the entry it most likely belongs to. An open that worked
// leaves no last error, and a write sets one only when it fails: only after an
// error is the file looked for.
void NoteUnwritten(ExtractState* state) {
  if (state->unwritten.empty() && !state->lastPath.empty() && PlatformGetLastError() != 0 &&
      !PlatformPathExists(state->lastPath.c_str())) {
    state->unwritten = state->lastName;
  }
  state->lastPath.clear();
}

// Makes the folders of the staged file `path`. Those it shares with the last
// entry's folder exist; the ones below them are made top down, so no mkdir
// fails for a missing parent. One that cannot be made fails the file's open.
void MakeStagedFolders(ExtractState* state, const std::u16string& path) {
  const size_t end = path.find_last_of(u"\\/");
  std::u16string& made = state->madeFolder;
  size_t shared = 0;
  for (size_t i = 0;; ++i) {
    if ((i == made.size() || IsSeparator(made[i])) && (i == end || IsSeparator(path[i]))) shared = i;
    if (i == made.size() || i == end || made[i] != path[i]) break;
  }
  made.assign(path, 0, end);
  for (size_t i = shared + 1; i <= end; ++i) {
    if (i < end && !IsSeparator(made[i])) continue;
    const char16_t kept = made[i];
    made[i] = 0;
    PlatformCreateDirectory(made.c_str());
    made[i] = kept;
  }
}

int ExtractHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr) return 0;
  ExtractState* state = static_cast<ExtractState*>(context);
  NoteUnwritten(state);
  state->report->entries += 1;
  const std::u16string stored(name);
  const char* refusal = stored::ExtractRefusal(stored);
  name[0] = 0;
  if (refusal != nullptr) {
    Refuse(state, Utf16ToUtf8(stored), refusal);
    return 0;
  }
  const std::u16string path = state->staging + stored;
  if (path.size() >= kEntryNameUnits) {
    if (state->outputProblem.empty()) {
      state->outputProblem = "entry \"" + Printable(Utf16ToUtf8(stored)) + "\" makes a path longer than " +
                             std::to_string(kEntryNameUnits - 1) + " characters; not extracted";
    }
    return 0;
  }
  MakeStagedFolders(state, path);
  SetWide(path.c_str(), name, kEntryNameUnits);
  state->lastPath = path;
  state->lastName = Utf16ToUtf8(stored);
  state->report->extracted += 1;
  state->report->bytes += size;
  return 1;
}

// No exception may cross the archive pass's code (C, and built without
// exceptions for the stub): a handler's allocation failure is kept here and
// thrown again once the pass is over.
bool g_handlerOutOfMemory = false;

template <EntryHandler handler>
int Guarded(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  try {
    return handler(name, data, size, context);
  } catch (const std::bad_alloc&) {
    g_handlerOutOfMemory = true;
    name[0] = 0;
    return 0;
  }
}

int Pass(const std::u16string& installer, EntryHandler handler, void* context, ArchivePassSummary* summary) {
  g_handlerOutOfMemory = false;
  const int result = ArchivePassReport(installer.c_str(), handler, context, summary);
  if (g_handlerOutOfMemory) throw std::bad_alloc();
  return result;
}

// A new folder inside `folder` for the pass to write into; empty when none can be made.
fs::path MakeStagingFolder(const fs::path& folder, std::error_code* error) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[32];
    snprintf(name, sizeof(name), ".setupkit-%08x", static_cast<unsigned>(random()));
    // Only a folder made here is used, never one that was there, nor a link.
    if (fs::create_directory(folder / name, *error)) return folder / name;
    if (*error && *error != std::errc::file_exists) return fs::path();
  }
  return fs::path();
}

enum Placement { kPlaced, kPlaceRefused, kPlaceFailed };

// Moves the staged file to `relative` below `folder`, creating folders, through
// no symbolic link: each level is looked at without following it, and a link
// there (or in the file's place) refuses the entry. With `foldersChecked` the
// folders on the way passed for the file before. *why gets the refusal or the problem.
Placement PlaceFile(const fs::path& staged, const fs::path& folder, const fs::path& relative, bool foldersChecked,
                    std::string* why) {
  std::error_code error;
  fs::path at = foldersChecked ? folder / relative.parent_path() : folder;
  for (auto part = foldersChecked ? std::prev(relative.end()) : relative.begin(); part != relative.end(); ++part) {
    at /= *part;
    const bool last = std::next(part) == relative.end();
    fs::file_status status = fs::symlink_status(at, error);
    if (fs::status_known(status) && status.type() == fs::file_type::not_found && !last) {
      fs::create_directory(at, error);
      status = fs::symlink_status(at, error);
    }
    if (fs::is_symlink(status)) {
      *why = std::string(last ? "would replace the symbolic link " : "lies below the symbolic link ") + Printable(ShowPath(at));
      return kPlaceRefused;
    }
    if (!last && !fs::is_directory(status)) {
      *why = Printable(ShowPath(at)) + ": cannot be created as a folder" + (error ? " (" + error.message() + ")" : "");
      return kPlaceFailed;
    }
    if (last && fs::is_directory(status)) {
      *why = Printable(ShowPath(at)) + ": cannot be written (is a folder)";
      return kPlaceFailed;
    }
  }
  fs::rename(staged, at, error);
  if (error) *why = Printable(ShowPath(at)) + ": cannot be written (" + error.message() + ")";
  return error ? kPlaceFailed : kPlaced;
}

// Moves each staged file or folder that has no namesake in `folder` (not even a
// dangling link) there in one rename, which refuses to replace anything.
void MoveNewNames(const fs::path& staging, const fs::path& folder) {
#ifdef __linux__
  // A name moved away while the folder is read is one already read, which
  // changes nothing for the others. A failure (a namesake, a kernel or file
  // system without the flag) leaves the name to PlaceFile.
  std::error_code error;
  for (fs::directory_iterator it(staging, error), end; !error && it != end; it.increment(error)) {
    const fs::path name = it->path().filename();
    renameat2(AT_FDCWD, it->path().c_str(), AT_FDCWD, (folder / name).c_str(), RENAME_NOREPLACE);
  }
#else
  (void)staging;
  (void)folder;
#endif
}

// Moves every staged file into place. Returns the exit code; *problem gets the
// first failure.
int PlaceStagedFiles(const fs::path& staging, const fs::path& folder, ExtractState* state, std::string* problem) {
  int exitCode = kExitSuccess;
  std::error_code error;
  MoveNewNames(staging, folder);
  fs::path checked;  // the folder of the last file placed: its levels need no second look
  fs::recursive_directory_iterator it(staging, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (!it->is_regular_file(ignored)) continue;
    const fs::path relative = it->path().lexically_relative(staging);
    std::string why;
    const Placement placement = PlaceFile(it->path(), folder, relative, relative.parent_path() == checked, &why);
    if (placement == kPlaced) {
      checked = relative.parent_path();
      continue;
    }
    state->report->extracted -= 1;
    state->report->bytes -= it->file_size(ignored);
    if (placement == kPlaceRefused) {
      std::string name = relative.u8string();
      std::replace(name.begin(), name.end(), '/', '\\');
      Refuse(state, name, why);
    } else if (exitCode == kExitSuccess) {
      *problem = why;
      exitCode = kExitFailure;
    }
  }
  if (error && exitCode == kExitSuccess) {
    *problem = ShowPath(staging) + ": cannot be read (" + error.message() + ")";
    exitCode = kExitFailure;
  }
  return exitCode;
}

}  // namespace

int InspectList(const fs::path& installer, ListFormat format, const ListEnd& end, std::ostream& out,
                std::string* problem) {
  const std::u16string path = installer.u16string();
  // A folder made here, not a name in the shared temporary folder that a link could already hold.
  fs::path folder;
  if (end.wanted != nullptr) {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (!error) folder = MakeStagingFolder(temporary, &error);
    if (folder.empty()) {
      *problem = ShowPath(temporary) + ": no folder for a copy of an entry can be made there" +
                 (error ? " (" + error.message() + ")" : "");
      return kExitFailure;
    }
  }
  const fs::path copy = folder / "entry";
  ListCheck check = {VerifyReport(), &end, copy.u16string(), false};
  ArchivePassSummary summary;
  int result = Pass(path, Guarded<ListCheckHandler>, &check, &summary);
  int exitCode = ReadingPassResult(installer, result, summary, problem);
  const std::string more = exitCode == kExitSuccess && end.more ? end.more(check.copied ? &copy : nullptr) : "";
  std::error_code ignored;
  if (!folder.empty()) fs::remove_all(folder, ignored);
  if (exitCode != kExitSuccess) return exitCode;
  const VerifyReport& counted = check.counted;
  const InstallerListing listing = {AnsiToUtf8(summary.productCode),    AnsiToUtf8(summary.productWindowClass),
                                    AnsiToUtf8(summary.mainProgramName), DateText(summary.archiveDate),
                                    counted.entries,                     counted.bytes,
                                    AnsiToUtf8(counted.description.name), AnsiToUtf8(counted.description.version)};
  const bool json = format == ListFormat::kJson;
  out << (json ? InstallerListingJsonHead(listing) : InstallerListingText(listing));
  ListPrinter printer = {&out, format, VerifyReport()};
  ArchivePassSummary again;
  result = Pass(path, Guarded<ListHandler>, &printer, &again);
  exitCode = ReadingPassResult(installer, result, again, problem);
  if (exitCode == kExitSuccess && (printer.printed.entries != counted.entries || again.actualChecksum != summary.actualChecksum)) {
    *problem = ShowPath(installer) + ": changed while being listed";
    exitCode = kExitBrokenPayload;
  }
  if (exitCode == kExitSuccess) out << (json ? InstallerListingJsonTail(listing, more) : more);
  return exitCode;
}

std::string InstallerListingJsonHead(const InstallerListing& listing) {
  std::string out = "{\n  \"format\": " + std::to_string(kJsonFormat) + ",\n";
  out += "  \"productName\": " + JsonString(listing.productName) + ",\n";
  out += "  \"productVersion\": " + JsonString(listing.productVersion) + ",\n";
  out += "  \"productCode\": " + JsonString(listing.productCode) + ",\n";
  out += "  \"windowClass\": " + JsonString(listing.windowClass) + ",\n";
  out += "  \"mainProgram\": " + JsonString(listing.mainProgram) + ",\n";
  out += "  \"archiveDate\": " + JsonString(listing.archiveDate) + ",\n";
  return out + "  \"entries\": [";
}

std::string InstallerEntryJson(const std::string& name, uint32_t size, bool first) {
  return std::string(first ? "\n" : ",\n") + "    {\"name\": " + JsonString(name) +
         ", \"size\": " + std::to_string(size) + "}";
}

std::string InstallerListingJsonTail(const InstallerListing& listing, const std::string& member) {
  return std::string(listing.entries == 0 ? "]" : "\n  ]") + (member.empty() ? "" : ",\n" + member) + "\n}\n";
}

std::string InstallerListingText(const InstallerListing& listing) {
  std::string out;
  out += "product code  " + Printable(listing.productCode) + "\n";
  out += "window class  " + Printable(listing.windowClass) + "\n";
  out += "main program  " + Printable(listing.mainProgram) + "\n";
  out += "archive date  " + listing.archiveDate + "\n";
  return out + "entries       " + std::to_string(listing.entries) + ", " + std::to_string(listing.bytes) + " bytes\n";
}

std::string InstallerEntryText(const std::string& name, uint32_t size) {
  char column[24];
  snprintf(column, sizeof(column), "%12u", static_cast<unsigned>(size));
  return std::string(column) + "  " + Printable(name) + "\n";
}

int InspectReadingPass(const fs::path& installer, EntryHandler handler, void* context, ArchivePassSummary* summary,
                       std::string* problem) {
  int result = ArchivePassReport(installer.u16string().c_str(), handler, context, summary);
  return ReadingPassResult(installer, result, *summary, problem);
}

int InspectVerify(const fs::path& installer, VerifyReport* report, std::string* problem) {
  *report = VerifyReport();
  ArchivePassSummary summary;
  int result = Pass(installer.u16string(), Guarded<VerifyHandler>, report, &summary);
  int exitCode = ReadingPassResult(installer, result, summary, problem);
  if (exitCode != kExitSuccess) return exitCode;
  // The magic's offset bounds the image, which the locator has just read through.
  std::vector<uint8_t> image(summary.payloadOffset);
  std::ifstream in(installer, std::ios::binary);
  in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!in) {
    *problem = ShowPath(installer) + ": cannot be read";
    return kExitFailure;
  }
  if (!StubHasMarker(image.data(), image.size())) {
    *problem = ShowPath(installer) + ": its stub is not a setup.exe of this project (no stub marker)";
    return kExitBrokenPayload;
  }
  return kExitSuccess;
}

std::string VerifyJson(const std::string& installer, const VerifyReport* report, const std::string& problem) {
  std::string out = "{\n  \"format\": " + std::to_string(kJsonFormat) + ",\n";
  out += "  \"installer\": " + JsonString(installer) + ",\n";
  if (report == nullptr) return out + "  \"ok\": false,\n  \"problem\": " + JsonString(problem) + "\n}\n";
  out += "  \"ok\": true,\n  \"entries\": " + std::to_string(report->entries) + ",\n";
  out += "  \"bytes\": " + std::to_string(report->bytes) + ",\n";
  out += "  \"productName\": " + JsonString(AnsiToUtf8(report->description.name)) + ",\n";
  return out + "  \"productVersion\": " + JsonString(AnsiToUtf8(report->description.version)) + "\n}\n";
}

int InspectExtract(const fs::path& installer, const fs::path& folder, ExtractReport* report,
                   const RefusalSink& refusal, std::string* problem) {
  *report = ExtractReport();
  PlatformFile file = PLATFORM_INVALID_FILE;
  int opened = OpenFileHandle(installer.u16string().c_str(), false, &file);
  CloseFileHandle(file);
  if (opened != 0) {
    *problem = ShowPath(installer) + ": cannot be read (" + SystemErrorText(static_cast<uint32_t>(opened)) + ")";
    return kExitFailure;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path staging = error || !fs::is_directory(folder) ? fs::path() : MakeStagingFolder(folder, &error);
  if (staging.empty()) {
    *problem = ShowPath(folder) + ": cannot be created as a folder, nor a staging folder in it" +
               (error ? " (" + error.message() + ")" : "");
    return kExitFailure;
  }
  ExtractState state;
  state.staging = staging.u16string() + u'\\';
  state.madeFolder = staging.u16string();
  state.installer = ShowPath(installer);
  state.report = report;
  state.refusal = &refusal;
  ArchivePassSummary summary;
  int result = 0, exitCode = kExitSuccess;
  try {
    result = Pass(installer.u16string(), Guarded<ExtractHandler>, &state, &summary);
    NoteUnwritten(&state);
    if (result == 0) exitCode = PlaceStagedFiles(staging, folder, &state, problem);
  } catch (const std::bad_alloc&) {
    fs::remove_all(staging, error);
    throw;
  }
  if (result < 0) {
    *problem = ShowPath(installer) + ": " + BrokenPayloadText(result, summary);
    exitCode = kExitBrokenPayload;
  } else if (result > 0) {
    const std::string entry = state.unwritten.empty() ? "" : " entry \"" + Printable(state.unwritten) + "\"";
    *problem = ShowPath(folder) + ":" + entry + " cannot be written (" + SystemErrorText(static_cast<uint32_t>(result)) +
               ")";
    exitCode = kExitFailure;
  }
  // Nothing of a failed pass reaches the folder.
  if (result != 0) *report = ExtractReport{report->entries, 0, 0, report->refused};
  fs::remove_all(staging, error);
  const std::string removal = error ? "the staging folder " + ShowPath(staging) + " could not be removed (" +
                                          error.message() + ")"
                                    : "the staging folder was removed";
  if (result != 0) {
    *problem += "; nothing was extracted, " + removal;
  } else if (error && exitCode == kExitSuccess) {
    *problem = ShowPath(folder) + ": " + removal;
    exitCode = kExitFailure;
  }
  if (exitCode == kExitSuccess && !state.outputProblem.empty()) {
    *problem = ShowPath(folder) + ": " + state.outputProblem;
    exitCode = kExitFailure;
  }
  if (exitCode == kExitSuccess && report->refused != 0) {
    *problem = ShowPath(installer) + ": " + std::to_string(report->refused) + " of " +
               std::to_string(report->entries) + " entries refused";
    exitCode = kExitBrokenPayload;
  }
  return exitCode;
}
