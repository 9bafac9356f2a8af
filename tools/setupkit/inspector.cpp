#include "setupkit/inspector.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#endif

#include "archive/entry_parser.h"
#include "archive/file_routines.h"
#include "setupkit/ansi_text.h"
#include "setupkit/file_io.h"
#include "setupkit/interrupt_cleanup.h"
#include "setupkit/reading_pass.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit/system_error.h"
#include "setupkit/text_output.h"
#include "setupkit/uninstaller.h"
#include "text/bounded_text.h"

namespace fs = std::filesystem;

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

// A new folder inside `folder` for a pass to write into; empty when none can be made.
fs::path MakeStagingFolder(const fs::path& folder, std::error_code* error) {
  fs::path made;
  MakeFreshName([&](const std::string& random) {
    const fs::path path = folder / (".setupkit-" + random);
    // Only a folder made here is used, never one that was there, nor a link.
    if (fs::create_directory(path, *error)) made = path;
    return !made.empty() ? kNameMade : *error && *error != std::errc::file_exists ? kNameFailed : kNameTaken;
  });
  return made;
}

// The checking pass of `list`: counts, and copies the last uninstaller entry for its trailer.
struct ListCheck {
  VerifyReport counted;
  std::u16string copy;
  bool copied;
};

int ListCheckHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  ListCheck* check = static_cast<ListCheck*>(context);
  VerifyHandler(name, data, size, &check->counted);
  if (data != nullptr) return 0;
  char narrow[kEntryNameUnits];
  WideToNarrow(name, narrow, kEntryNameUnits);
  if (!IsUninstallerName(narrow)) return 0;
  check->copied = true;
  SetWide(check->copy.c_str(), name, kEntryNameUnits);
  return 1;
}

struct ListPrinter {
  std::ostream* out;
  JsonWriter* json;  // null: text
  VerifyReport printed;
};

int ListHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr) return 0;
  ListPrinter* printer = static_cast<ListPrinter*>(context);
  const std::string utf8 = Utf16ToUtf8(name);
  if (printer->json != nullptr) {
    JsonOpen(printer->json, nullptr, '{', false);
    JsonText(printer->json, "name", utf8);
    JsonNumber(printer->json, "size", size);
    JsonClose(printer->json);
  } else {
    char column[24];
    snprintf(column, sizeof(column), "%12u", static_cast<unsigned>(size));
    *printer->out << column << "  " << Printable(utf8) << "\n";
  }
  VerifyHandler(name, data, size, &printer->printed);
  return 0;
}

// The first pass of `list`, with the uninstaller's trailer read from its copy.
Problem CheckForList(const fs::path& installer, uint64_t memoryLimit, ListCheck* check, ArchivePassSummary* summary,
                     UninstallerInfo* uninstaller) {
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  // A folder made here, not a name in the shared temporary folder that a link could already hold.
  const fs::path folder = error ? fs::path() : MakeStagingFolder(temporary, &error);
  if (folder.empty()) {
    return Failure(ShowPath(temporary) + ": no folder for a copy of an entry can be made there" +
                   (error ? " (" + error.message() + ")" : ""));
  }
  const fs::path copy = folder / "entry";
  *check = ListCheck{VerifyReport(), copy.u16string(), false};
  RemoveOnInterrupt(folder);
  const Problem problem = ReadingPass(installer, memoryLimit, ListCheckHandler, check, summary);
  if (problem.code == kExitSuccess && check->copied) *uninstaller = ReadUninstallerInfo(copy);
  fs::remove_all(folder, error);
  RemoveOnInterrupt(fs::path());
  return problem;
}

}  // namespace

Problem ReadUninstallerOf(const fs::path& installer, uint64_t memoryLimit, UninstallerInfo* info, bool* found) {
  ListCheck check;
  ArchivePassSummary summary;
  *info = UninstallerInfo();
  Problem problem = CheckForList(installer, memoryLimit, &check, &summary, info);
  *found = problem.code == kExitSuccess && check.copied;
  return problem;
}

namespace {

void PrintListHead(const ArchivePassSummary& summary, const VerifyReport& counted, JsonWriter* json,
                   std::ostream& out) {
  const std::pair<const char*, std::string> texts[] = {
      {"productName", ansi::ToUtf8(counted.description.name)}, {"productVersion", ansi::ToUtf8(counted.description.version)},
      {"productCode", ansi::ToUtf8(summary.productCode)},      {"windowClass", ansi::ToUtf8(summary.productWindowClass)},
      {"mainProgram", ansi::ToUtf8(summary.mainProgramName)},  {"archiveDate", DateText(summary.archiveDate)},
      {"architecture", counted.architecture}};
  if (json != nullptr) {
    JsonOpen(json, nullptr, '{', true);
    JsonNumber(json, "format", kJsonFormat);
    for (const auto& text : texts) JsonText(json, text.first, text.second);
    JsonOpen(json, "entries", '[', true);
    return;
  }
  const char* const labels[] = {"product name  ", "version       ", "product code  ", "window class  ",
                                "main program  ", "archive date  ", "architecture  "};
  for (size_t i = 0; i < 7; ++i) {
    // Product name and version come from FILE_ID.DIZ, which a product may lack.
    out << labels[i] << (i < 2 && texts[i].second.empty() ? "(none)" : Printable(texts[i].second)) << "\n";
  }
  out << "entries       " << counted.entries << ", " << counted.bytes << " bytes\n";
}

}  // namespace

Problem InspectList(const fs::path& installer, bool json, uint64_t memoryLimit, std::ostream& out) {
  ListCheck check;
  ArchivePassSummary summary;
  UninstallerInfo uninstaller;
  bool hasUninstaller = false;
  Problem problem = CheckForList(installer, memoryLimit, &check, &summary, &uninstaller);
  hasUninstaller = check.copied;
  if (problem.code != kExitSuccess) return problem;
  check.counted.architecture = FileArchitecture(installer);
  JsonWriter writer = {&out, {}};
  JsonWriter* jsonWriter = json ? &writer : nullptr;
  PrintListHead(summary, check.counted, jsonWriter, out);
  ListPrinter printer = {&out, jsonWriter, VerifyReport()};
  ArchivePassSummary again;
  problem = ReadingPass(installer, memoryLimit, ListHandler, &printer, &again);
  if (problem.code == kExitSuccess &&
      (printer.printed.entries != check.counted.entries || again.actualChecksum != summary.actualChecksum)) {
    problem = Broken(ShowPath(installer) + ": changed while being listed");
  }
  if (problem.code != kExitSuccess) return problem;
  if (json) JsonClose(&writer);
  if (hasUninstaller) PrintUninstallerInfo(uninstaller, jsonWriter, out);
  if (json) JsonClose(&writer);
  return NoProblem();
}

Problem InspectVerify(const fs::path& installer, uint64_t memoryLimit, VerifyReport* report) {
  *report = VerifyReport();
  ArchivePassSummary summary;
  Problem problem = ReadingPass(installer, memoryLimit, VerifyHandler, report, &summary);
  if (problem.code != kExitSuccess) return problem;
  // The magic's offset bounds the image, which the locator has just read through.
  std::vector<uint8_t> image;
  if (ReadFileBytes(installer, summary.payloadOffset, false, &image).code != kExitSuccess ||
      image.size() != summary.payloadOffset) {
    return Failure(ShowPath(installer) + ": cannot be read");
  }
  if (!StubHasMarker(image.data(), image.size())) {
    return Broken(ShowPath(installer) + ": its stub is not a setup.exe of this project (no stub marker)");
  }
  report->architecture = FileArchitecture(installer);
  return NoProblem();
}

void PrintVerifyJson(const std::string& installer, const VerifyReport* report, const std::string& problem,
                     std::ostream& out) {
  JsonWriter json = {&out, {}};
  JsonOpen(&json, nullptr, '{', true);
  JsonNumber(&json, "format", kJsonFormat);
  JsonText(&json, "installer", installer);
  JsonBool(&json, "ok", report != nullptr);
  if (report == nullptr) {
    JsonText(&json, "problem", problem);
  } else {
    JsonNumber(&json, "entries", report->entries);
    JsonNumber(&json, "bytes", report->bytes);
    JsonText(&json, "productName", ansi::ToUtf8(report->description.name));
    JsonText(&json, "productVersion", ansi::ToUtf8(report->description.version));
    JsonText(&json, "architecture", report->architecture);
  }
  JsonClose(&json);
}

namespace {

// An accepted entry's stored name, its place below the staging folder; a run of
// entries of one name, each overwriting the last, is kept once.
struct StagedName {
  std::u16string name;
  uint32_t entries;
  uint64_t bytes;
};

struct ExtractState {
  std::u16string staging;  // with a trailing separator
  std::string installer;   // for messages
  ExtractReport* report;
  const RefusalSink* refusal;
  std::vector<StagedName> staged;
  std::u16string lastPath;    // the last accepted entry's staged file, until it is looked at
  std::u16string madeFolder;  // the last entry's staged folder; if it was not made, the pass fails
  std::string unwritten;      // the first accepted entry whose file the parser could not create
  std::string outputProblem;  // the first entry whose staged path cannot even be named
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
    state->unwritten = Utf16ToUtf8(state->staged.back().name);
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

void NoteStaged(ExtractState* state, const std::u16string& stored, uint32_t size) {
  if (state->staged.empty() || state->staged.back().name != stored) state->staged.push_back({stored, 0, 0});
  state->staged.back().entries += 1;
  state->staged.back().bytes += size;
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
  NoteStaged(state, stored, size);
  return 1;
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
      *why = std::string(last ? "would replace the symbolic link " : "lies below the symbolic link ") +
             Printable(ShowPath(at));
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

// A stored name as a path below the extraction folder, '\' and '/' both separators.
fs::path RelativePath(const std::u16string& stored) {
  fs::path relative;
  for (size_t start = 0, end; start <= stored.size(); start = end + 1) {
    end = std::min(stored.find_first_of(u"\\/", start), stored.size());
    if (end > start) relative /= fs::path(stored.substr(start, end - start));
  }
  return relative;
}

// Moves every staged file into place, counting what arrived. A staged file no
// longer there went with its top-level name already.
Problem PlaceStagedFiles(const fs::path& staging, const fs::path& folder, ExtractState* state) {
  Problem problem = NoProblem();
  MoveNewNames(staging, folder);
  fs::path checked;  // the folder of the last file placed: its levels need no second look
  for (const StagedName& entry : state->staged) {
    const fs::path relative = RelativePath(entry.name), staged = staging / relative;
    std::error_code error;
    std::string why;
    const bool moved = !fs::exists(fs::symlink_status(staged, error));
    const Placement placement =
        moved ? kPlaced : PlaceFile(staged, folder, relative, relative.parent_path() == checked, &why);
    if (placement == kPlaced) {
      checked = relative.parent_path();
      state->report->extracted += entry.entries;
      state->report->bytes += entry.bytes;
    } else if (placement == kPlaceRefused) {
      Refuse(state, Utf16ToUtf8(entry.name), why);
    } else if (problem.code == kExitSuccess) {
      problem = Failure(why);
    }
  }
  return problem;
}

// The pass into the staging folder, then the files into place.
Problem ExtractInto(const fs::path& installer, uint64_t memoryLimit, const fs::path& folder, const fs::path& staging,
                    ExtractState* state, int* result) {
  ArchivePassSummary summary;
  const Problem problem = ReadingPass(installer, memoryLimit, ExtractHandler, state, &summary, result);
  NoteUnwritten(state);
  if (*result <= 0 && problem.code != kExitSuccess) return problem;
  if (*result > 0) {
    const std::string entry = state->unwritten.empty() ? "" : " entry \"" + Printable(state->unwritten) + "\"";
    return Failure(ShowPath(folder) + ":" + entry + " cannot be written (" +
                   SystemErrorText(static_cast<uint32_t>(*result)) + ")");
  }
  return PlaceStagedFiles(staging, folder, state);
}

// The installer can be opened and the staging folder made, or the problem.
Problem PrepareExtract(const fs::path& installer, const fs::path& folder, fs::path* staging) {
  PlatformFile file = PLATFORM_INVALID_FILE;
  const int opened = OpenFileHandle(installer.u16string().c_str(), false, &file);
  CloseFileHandle(file);
  if (opened != 0) {
    return Failure(ShowPath(installer) + ": cannot be read (" + SystemErrorText(static_cast<uint32_t>(opened)) + ")");
  }
  std::error_code error;
  fs::create_directories(folder, error);
  *staging = error || !fs::is_directory(folder) ? fs::path() : MakeStagingFolder(folder, &error);
  if (staging->empty()) {
    return Failure(ShowPath(folder) + ": cannot be created as a folder, nor a staging folder in it" +
                   (error ? " (" + error.message() + ")" : ""));
  }
  return NoProblem();
}

}  // namespace

Problem InspectExtract(const fs::path& installer, const fs::path& folder, uint64_t memoryLimit, ExtractReport* report,
                       const RefusalSink& refusal) {
  *report = ExtractReport();
  fs::path staging;
  Problem problem = PrepareExtract(installer, folder, &staging);
  if (problem.code != kExitSuccess) return problem;
  ExtractState state = {staging.u16string() + u'\\', ShowPath(installer), report, &refusal, {}, {},
                        staging.u16string(), {}, {}};
  int result = 0;
  std::error_code error;
  RemoveOnInterrupt(staging);
  try {
    problem = ExtractInto(installer, memoryLimit, folder, staging, &state, &result);
  } catch (const std::bad_alloc&) {
    fs::remove_all(staging, error);
    RemoveOnInterrupt(fs::path());
    throw;
  }
  fs::remove_all(staging, error);
  RemoveOnInterrupt(fs::path());
  const std::string removal = error ? "the staging folder " + ShowPath(staging) + " could not be removed (" +
                                          error.message() + ")"
                                    : "the staging folder was removed";
  // Nothing of a failed pass reaches the folder.
  if (result != 0) return Problem{problem.code, problem.text + "; nothing was extracted, " + removal};
  if (problem.code != kExitSuccess) return problem;
  if (error) return Failure(ShowPath(folder) + ": " + removal);
  if (!state.outputProblem.empty()) return Failure(ShowPath(folder) + ": " + state.outputProblem);
  if (report->refused != 0) {
    return Broken(ShowPath(installer) + ": " + std::to_string(report->refused) + " of " +
                  std::to_string(report->entries) + " entries refused");
  }
  return NoProblem();
}
