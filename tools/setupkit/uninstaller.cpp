#include "setupkit/uninstaller.h"

#include <set>

#include "archive/uninstall_trailer.h"
#include "setupkit/ansi_text.h"
#include "setupkit/file_io.h"
#include "setupkit/install_simulation.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "text/bounded_text.h"

namespace fs = std::filesystem;

namespace {

const char* const kTrailerProblems[] = {"",
                                        "carries no trailer (it was not added by pack --uninstaller)",
                                        "has a trailer of a newer version",
                                        "has a cut trailer",
                                        "has a trailer that fails its checksum",
                                        "has a malformed trailer"};

// The program as built: a PE executable without a trailer.
Problem ReadUninstallerProgram(const fs::path& program, std::vector<uint8_t>* bytes) {
  if (ReadWholeFile(program, bytes).code != kExitSuccess) {
    return Failure(ShowPath(program) + ": cannot be read (build uninst.exe, or give --uninstaller-program)");
  }
  if (!PeHeaderProblem(*bytes).empty()) return Failure(ShowPath(program) + ": is not a Windows program");
  uint32_t bodySize = 0;
  if (bytes->size() >= kTrailerFooterSize &&
      TrailerBodySize(bytes->data() + bytes->size() - kTrailerFooterSize, static_cast<uint32_t>(bytes->size()),
                      &bodySize) != kTrailerMissing) {
    return Failure(ShowPath(program) + ": already carries a trailer; give the program as built");
  }
  return NoProblem();
}

// Appends the trailer for `job` to the program's bytes.
Problem AppendTrailer(const PackJob& job, std::vector<uint8_t>* bytes) {
  std::vector<std::string> texts, names;
  const Problem problem = UninstallerFieldsFor(job, &texts, &names);
  if (problem.code != kExitSuccess) return Failure("--uninstaller: " + problem.text);
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  TrailerFields fields = {texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                          texts[3].c_str(), pointers.data(),  static_cast<uint32_t>(pointers.size())};
  const uint32_t size = TrailerSize(&fields);
  if (size == 0) return Failure("--uninstaller: the product names too many files for the uninstaller's trailer");
  const size_t programSize = bytes->size();
  bytes->resize(programSize + size);
  TrailerWrite(&fields, bytes->data() + programSize, size);
  return NoProblem();
}

}  // namespace

Problem UninstallerFieldsFor(const PackJob& job, std::vector<std::string>* texts, std::vector<std::string>* names) {
  if (job.productName.empty()) {
    return Failure("the product has no name (FILE_ID.DIZ missing or its first line empty), so the installer would "
                   "register no uninstaller");
  }
  SimulatedInstall install;
  SimulateProductInstall(job.files, job.mainProgramName, &install);
  std::set<std::string> seen;
  names->clear();
  for (const ProductFile& file : job.files) {
    const std::string component = stored::LastComponent(file.name);
    if (seen.insert(stored::FoldKey(component)).second) names->push_back(component);
  }
  const std::string setAside = Utf16ToUtf8(kSetAsidePsapiName);
  if (seen.insert(stored::FoldKey(setAside)).second) names->push_back(setAside);
  char chosen[kNameFieldUnits];
  WideToNarrow(install.state.mainProgram, chosen, sizeof(chosen));
  const std::string& windowClass = job.productWindowClass;
  *texts = {job.productCode, job.productName, windowClass.empty() ? job.productName : windowClass, chosen};
  return NoProblem();
}

Problem AddUninstaller(const fs::path& program, PackJob* job) {
  for (const ProductFile& file : job->files) {
    if (IsUninstallerName(file.name)) {
      return Failure("the product already has an uninstaller, \"" + ansi::ToUtf8(file.name) +
                     "\"; leave it out or do without --uninstaller");
    }
  }
  ProductFile entry{kUninstallerEntry, fs::path(), 0, {}};
  Problem problem = ReadUninstallerProgram(program, &entry.bytes);
  if (problem.code != kExitSuccess) return problem;
  // The trailer lists the uninstaller's own name, so the entry is counted in first.
  job->files.push_back(entry);
  problem = AppendTrailer(*job, &job->files.back().bytes);
  if (problem.code != kExitSuccess) {
    job->files.pop_back();
    return problem;
  }
  job->files.back().size = job->files.back().bytes.size();
  return NoProblem();
}

UninstallerInfo ReadUninstallerInfo(const fs::path& copy) {
  std::vector<uint8_t> bytes;
  const bool read = ReadFileBytes(copy, kTrailerBodyMax + kTrailerFooterSize, true, &bytes).code == kExitSuccess;
  Trailer trailer;
  const int result = read ? TrailerRead(bytes.data(), static_cast<uint32_t>(bytes.size()), &trailer) : kTrailerMissing;
  UninstallerInfo info;
  if (result != kTrailerOk) {
    info.problem = std::string(kUninstallerEntry) + " " + kTrailerProblems[result];
    return info;
  }
  info.productCode = ansi::ToUtf8(trailer.productCode);
  info.productName = ansi::ToUtf8(trailer.productName);
  info.windowClass = ansi::ToUtf8(trailer.windowClass);
  info.mainProgram = ansi::ToUtf8(trailer.mainProgram);
  uint32_t cursor = 0;
  char name[kTrailerNameMax + 1];
  while (TrailerNextFile(&trailer, &cursor, name, sizeof(name))) info.files.push_back(ansi::ToUtf8(name));
  return info;
}

void PrintUninstallerInfo(const UninstallerInfo& info, JsonWriter* json, std::ostream& out) {
  if (json != nullptr) {
    JsonOpen(json, "uninstaller", '{', false);
    if (!info.problem.empty()) JsonText(json, "problem", info.problem);
    if (info.problem.empty()) {
      const std::pair<const char*, const std::string*> texts[] = {{"productCode", &info.productCode},
                                                                   {"productName", &info.productName},
                                                                   {"windowClass", &info.windowClass},
                                                                   {"mainProgram", &info.mainProgram}};
      for (const auto& text : texts) JsonText(json, text.first, *text.second);
      JsonOpen(json, "files", '[', false);
      for (const std::string& file : info.files) JsonText(json, nullptr, file);
      JsonClose(json);
    }
    JsonClose(json);
    return;
  }
  if (!info.problem.empty()) {
    out << "uninstaller   " << info.problem << "\n";
    return;
  }
  out << "uninstaller   " << kUninstallerEntry << " for \"" << Printable(info.productName) << "\" (product code "
      << Printable(info.productCode) << ", window class " << Printable(info.windowClass) << ", main program "
      << Printable(info.mainProgram) << ")\n  removes     " << info.files.size() << " file names:";
  for (const std::string& file : info.files) out << " " << Printable(file);
  out << "\n";
}
