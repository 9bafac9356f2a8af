#include "setupkit/uninstaller.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "archive/archive_pass.h"
#include "install/install_decisions.h"
#include "setupkit/ansi_text.h"
#include "setupkit/inspector.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit/system_error.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "archive/uninstall_trailer.h"

namespace fs = std::filesystem;

const char kUninstallerEntry[] = "UnInst.exe";

namespace {

const char* const kTrailerProblems[] = {"",
                                        "carries no trailer (it was not added by pack --uninstaller)",
                                        "has a trailer of a newer version",
                                        "has a cut trailer",
                                        "has a trailer that fails its checksum",
                                        "has a malformed trailer"};

// At most `limit` bytes of a file: its first ones, or with `tail` its last ones,
// where a trailer sits whatever the size of the entry.
std::vector<uint8_t> ReadBytes(const fs::path& path, size_t limit, bool tail, bool* ok) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? std::max<std::streamoff>(in.tellg(), 0) : 0;
  std::vector<uint8_t> bytes(std::min(limit, static_cast<size_t>(size)));
  in.seekg(tail ? size - static_cast<std::streamoff>(bytes.size()) : 0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  *ok = static_cast<bool>(in) || in.eof();
  return bytes;
}

std::string Utf8(const char* ansi) { return ansi::ToUtf8(ansi); }

}  // namespace

bool IsUninstallerName(const std::string& ansiName) {
  return stored::FoldKey(stored::LastComponent(ansiName)) == stored::FoldKey(kUninstallerEntry);
}

std::string ProductNameOf(const std::vector<ProductFile>& files, bool* described, std::string* problem) {
  *described = false;
  for (const ProductFile& file : files) {
    char16_t wide[kEntryNameUnits];
    NarrowToWide(file.name.c_str(), wide, kEntryNameUnits);
    if (ClassifyScanEntry(wide) != kScanEntryDescription) continue;
    *described = true;
    bool ok = false;
    std::vector<uint8_t> lead = ReadBytes(file.source, kLeadingBytesMax, false, &ok);
    if (!ok) *problem = ShowPath(file.source) + ": cannot be read";
    if (lead.empty()) return std::string();
    ProductDescription description;
    ParseDescriptionLine(lead.data(), static_cast<uint32_t>(lead.size()), &description);
    char name[32] = {};
    AppendNarrow(description.name, name, sizeof(name));
    return name;
  }
  return std::string();
}

std::string UninstallerFieldsFor(const std::vector<ProductFile>& files, const std::string& productCode,
                                 const std::string& windowClass, const std::string& mainProgram,
                                 std::vector<std::string>* texts, std::vector<std::string>* names) {
  std::string problem;
  bool described = false;
  const std::string productName = ProductNameOf(files, &described, &problem);
  if (!problem.empty()) return problem;
  if (productName.empty()) {
    return "the product has no name (FILE_ID.DIZ missing or its first line empty), so the installer would "
           "register no uninstaller";
  }
  InstallState state = {};
  SetWide(u"C:\\P", state.destination, 1024);
  NarrowToWide(mainProgram.c_str(), state.mainProgram, 32);
  std::set<std::string> seen;
  names->clear();
  for (const ProductFile& file : files) {
    char16_t wide[kEntryNameUnits];
    NarrowToWide(file.name.c_str(), wide, kEntryNameUnits);
    DecideInstallEntry(wide, u"", nullptr, nullptr, &state);
    const std::string component = stored::LastComponent(file.name);
    if (seen.insert(stored::FoldKey(component)).second) names->push_back(component);
  }
  if (seen.insert(stored::FoldKey("HVPSAPI.DLL")).second) names->push_back("HVPSAPI.DLL");
  char chosen[32];
  WideToNarrow(state.mainProgram, chosen, sizeof(chosen));
  *texts = {productCode, productName, windowClass.empty() ? productName : windowClass, chosen};
  return std::string();
}

std::string AddUninstaller(const fs::path& program, const fs::path& scratch, PackJob* job) {
  for (const ProductFile& file : job->files) {
    if (IsUninstallerName(file.name)) {
      return "the product already has an uninstaller, \"" + ansi::ToUtf8(file.name) +
             "\"; leave it out or do without --uninstaller";
    }
  }
  bool ok = false;
  std::vector<uint8_t> bytes = ReadBytes(program, SIZE_MAX, false, &ok);
  if (!ok) return ShowPath(program) + ": cannot be read (build uninst.exe, or give --uninstaller-program)";
  if (!PeHeaderProblem(bytes).empty()) return ShowPath(program) + ": is not a Windows program";
  uint32_t bodySize = 0;
  if (bytes.size() >= kTrailerFooterSize &&
      TrailerBodySize(bytes.data() + bytes.size() - kTrailerFooterSize, static_cast<uint32_t>(bytes.size()),
                      &bodySize) != kTrailerMissing) {
    return ShowPath(program) + ": already carries a trailer; give the program as built";
  }

  ProductFile entry{kUninstallerEntry, scratch, 0};
  std::vector<ProductFile> all = job->files;
  all.push_back(entry);
  std::vector<std::string> texts, names;
  std::string problem =
      UninstallerFieldsFor(all, job->productCode, job->productWindowClass, job->mainProgramName, &texts, &names);
  if (!problem.empty()) return "--uninstaller: " + problem;
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  TrailerFields fields = {texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                          texts[3].c_str(), pointers.data(),  static_cast<uint32_t>(pointers.size())};
  const uint32_t size = TrailerSize(&fields);
  if (size == 0) return "--uninstaller: the product names too many files for the uninstaller's trailer";
  const size_t programSize = bytes.size();
  bytes.resize(programSize + size);
  TrailerWrite(&fields, bytes.data() + programSize, size);

  std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return ShowPath(scratch) + ": cannot be written";
  entry.size = bytes.size();
  job->files.push_back(entry);
  return std::string();
}

namespace {

// A trailer's contents, texts in UTF-8.
struct UninstallerInfo {
  std::string productCode, productName, windowClass, mainProgram;
  std::string files;   // the file names, each ended by a NUL
  uint32_t fileCount;
};

std::string UninstallerText(const UninstallerInfo& info, const std::string& problem) {
  if (!problem.empty()) return "uninstaller   " + problem + "\n";
  std::string out = "uninstaller   " + std::string(kUninstallerEntry) + " for \"" + Printable(info.productName) +
                    "\" (product code " + Printable(info.productCode) + ", window class " +
                    Printable(info.windowClass) + ", main program " + Printable(info.mainProgram) + ")\n";
  out += "  removes     " + std::to_string(info.fileCount) + " file names:";
  for (size_t at = 0, end; (end = info.files.find('\0', at)) != std::string::npos; at = end + 1) {
    out += " " + Printable(info.files.substr(at, end - at));
  }
  return out + "\n";
}

std::string UninstallerJson(const UninstallerInfo& info, const std::string& problem) {
  if (!problem.empty()) return "  \"uninstaller\": {\"problem\": " + JsonString(problem) + "}";
  std::string out = "  \"uninstaller\": {\"productCode\": " + JsonString(info.productCode) +
                    ", \"productName\": " + JsonString(info.productName) +
                    ", \"windowClass\": " + JsonString(info.windowClass) +
                    ", \"mainProgram\": " + JsonString(info.mainProgram) + ", \"files\": [";
  const char* separator = "";
  for (size_t at = 0, end; (end = info.files.find('\0', at)) != std::string::npos; at = end + 1, separator = ", ") {
    out += separator + JsonString(info.files.substr(at, end - at));
  }
  return out + "]}";
}

}  // namespace

std::string UninstallerListing(const fs::path& copy, bool json) {
  bool ok = false;
  std::vector<uint8_t> bytes = ReadBytes(copy, kTrailerBodyMax + kTrailerFooterSize, true, &ok);
  UninstallerInfo info = UninstallerInfo();
  Trailer trailer;
  const int read = ok ? TrailerRead(bytes.data(), static_cast<uint32_t>(bytes.size()), &trailer) : kTrailerMissing;
  const std::string problem = read == kTrailerOk ? "" : std::string(kUninstallerEntry) + " " + kTrailerProblems[read];
  if (read == kTrailerOk) {
    info = {Utf8(trailer.productCode), Utf8(trailer.productName), Utf8(trailer.windowClass),
            Utf8(trailer.mainProgram), std::string(), 0};
    uint32_t cursor = 0;
    char name[kTrailerNameMax + 1];
    while (TrailerNextFile(&trailer, &cursor, name, sizeof(name))) {
      info.files += Utf8(name) + '\0';
      ++info.fileCount;
    }
  }
  return json ? UninstallerJson(info, problem) : UninstallerText(info, problem);
}
