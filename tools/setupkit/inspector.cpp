#include "setupkit/inspector.h"

#include <stdio.h>

#include <system_error>

#include "archive/archive_pass.h"
#include "archive/decoder.h"
#include "archive/entry_format.h"
#include "archive/file_routines.h"
#include "setupkit/ansi_text.h"
#include "setupkit/commands.h"
#include "setupkit/product_files.h"
#include "setupkit/stored_text.h"
#include "setupkit/system_error.h"
#include "text/bounded_text.h"

namespace fs = std::filesystem;

namespace {

// A narrow text from the payload as the installer would show it: through the ANSI code page.
std::string AnsiToUtf8(const char* text) {
  char16_t wide[64];
  NarrowToWide(text, wide, 64);
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

int ListHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data == nullptr) static_cast<InstallerListing*>(context)->entries.push_back({Utf16ToUtf8(name), size});
  return 0;
}

int VerifyHandler(char16_t*, const uint8_t* data, uint32_t size, void* context) {
  VerifyReport* report = static_cast<VerifyReport*>(context);
  if (data == nullptr) {
    report->entries += 1;
    report->bytes += size;
  }
  return 0;
}

struct ExtractState {
  std::u16string folder;  // with a trailing separator
  std::string installer;  // for messages
  ExtractReport* report;
  std::vector<std::u16string> accepted;  // full paths handed to the parser
  std::string outputProblem;             // first path that cannot even be named
};

int ExtractHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr) return 0;
  ExtractState* state = static_cast<ExtractState*>(context);
  state->report->entries += 1;
  const std::u16string stored(name);
  const char* refusal = stored::ExtractRefusal(stored);
  if (refusal != nullptr) {
    state->report->refused.push_back(state->installer + ": entry \"" + Utf16ToUtf8(stored) + "\" " + refusal +
                                     "; not extracted");
    name[0] = 0;
    return 0;
  }
  const std::u16string path = state->folder + stored;
  if (path.size() >= kEntryNameUnits) {
    if (state->outputProblem.empty()) {
      state->outputProblem = Utf16ToUtf8(path) + ": path longer than " + std::to_string(kEntryNameUnits - 1) +
                             " characters; not extracted";
    }
    name[0] = 0;
    return 0;
  }
  // CreateDirectoryTree climbs from the entry's folder to the first one that exists.
  const size_t separator = path.find_last_of(u"\\/");
  if (separator > state->folder.size() - 1) CreateDirectoryTree(path.substr(0, separator).c_str());
  SetWide(path.c_str(), name, kEntryNameUnits);
  state->accepted.push_back(path);
  state->report->extracted += 1;
  state->report->bytes += size;
  return 1;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace

int InspectList(const fs::path& installer, InstallerListing* listing, std::string* problem) {
  *listing = InstallerListing();
  ArchivePassSummary summary;
  int result = ArchivePassReport(installer.u16string().c_str(), ListHandler, listing, &summary);
  int exitCode = ReadingPassResult(installer, result, summary, problem);
  if (exitCode != kExitSuccess) {
    *listing = InstallerListing();
    return exitCode;
  }
  listing->productCode = AnsiToUtf8(summary.productCode);
  listing->windowClass = AnsiToUtf8(summary.productWindowClass);
  listing->mainProgram = AnsiToUtf8(summary.mainProgramName);
  listing->archiveDate = DateText(summary.archiveDate);
  return kExitSuccess;
}

std::string InstallerListingJson(const InstallerListing& listing) {
  std::string out = "{\n";
  out += "  \"productCode\": " + JsonString(listing.productCode) + ",\n";
  out += "  \"windowClass\": " + JsonString(listing.windowClass) + ",\n";
  out += "  \"mainProgram\": " + JsonString(listing.mainProgram) + ",\n";
  out += "  \"archiveDate\": " + JsonString(listing.archiveDate) + ",\n";
  out += "  \"entries\": [";
  for (size_t i = 0; i < listing.entries.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"name\": " + JsonString(listing.entries[i].name) +
           ", \"size\": " + std::to_string(listing.entries[i].size) + "}";
  }
  out += listing.entries.empty() ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

std::string InstallerListingText(const InstallerListing& listing) {
  uint64_t bytes = 0;
  for (const InstallerEntry& e : listing.entries) bytes += e.size;
  std::string out;
  out += "product code  " + listing.productCode + "\n";
  out += "window class  " + listing.windowClass + "\n";
  out += "main program  " + listing.mainProgram + "\n";
  out += "archive date  " + listing.archiveDate + "\n";
  out += "entries       " + std::to_string(listing.entries.size()) + ", " + std::to_string(bytes) + " bytes\n";
  for (const InstallerEntry& e : listing.entries) {
    char size[24];
    snprintf(size, sizeof(size), "%12u", static_cast<unsigned>(e.size));
    out += std::string(size) + "  " + e.name + "\n";
  }
  return out;
}

int InspectVerify(const fs::path& installer, VerifyReport* report, std::string* problem) {
  *report = VerifyReport();
  ArchivePassSummary summary;
  int result = ArchivePassReport(installer.u16string().c_str(), VerifyHandler, report, &summary);
  return ReadingPassResult(installer, result, summary, problem);
}

int InspectExtract(const fs::path& installer, const fs::path& folder, ExtractReport* report, std::string* problem) {
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
  if (error || !fs::is_directory(folder)) {
    *problem = ShowPath(folder) + ": cannot be created as a folder" + (error ? " (" + error.message() + ")" : "");
    return kExitFailure;
  }
  ExtractState state;
  state.folder = folder.u16string();
  if (state.folder.empty() || (state.folder.back() != u'\\' && state.folder.back() != u'/')) state.folder += u'\\';
  state.installer = ShowPath(installer);
  state.report = report;
  ArchivePassSummary summary;
  int result = ArchivePassReport(installer.u16string().c_str(), ExtractHandler, &state, &summary);
  if (result < 0) {
    *problem = ShowPath(installer) + ": " + BrokenPayloadText(result, summary);
    return kExitBrokenPayload;
  }
  if (result > 0) {
    // The parser keeps only the error; the first accepted file that is missing is most likely its cause.
    std::string where = ShowPath(folder);
    for (const std::u16string& path : state.accepted) {
      if (!PlatformPathExists(path.c_str())) {
        where = Utf16ToUtf8(path);
        break;
      }
    }
    *problem = where + ": cannot be written (" + SystemErrorText(static_cast<uint32_t>(result)) + ")";
    return kExitFailure;
  }
  if (!state.outputProblem.empty()) {
    *problem = state.outputProblem;
    return kExitFailure;
  }
  if (!report->refused.empty()) {
    *problem = ShowPath(installer) + ": " + std::to_string(report->refused.size()) + " of " +
               std::to_string(report->entries) + " entries refused";
    return kExitBrokenPayload;
  }
  return kExitSuccess;
}
