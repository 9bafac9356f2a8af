#include "setupkit/uninstaller.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "archive/pe_image.h"
#include "archive/uninstall_trailer.h"
#include "setupkit/ansi_text.h"
#include "setupkit/file_io.h"
#include "setupkit/install_simulation.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "text/bounded_text.h"

namespace fs = std::filesystem;

namespace {

// An uninstaller is some 50 KB, its trailer at most 1 MiB, a signature a few KB.
const uint64_t kProgramMax = 16u << 20;

const char* const kTrailerProblems[] = {"",
                                        "carries no trailer (it was not added by pack --uninstaller)",
                                        "has a trailer of a newer version",
                                        "has a cut trailer",
                                        "has a trailer that fails its checksum",
                                        "has a malformed trailer"};

// The trailer of a program's bytes, read where its image data ends.
int ProgramTrailer(const std::vector<uint8_t>& bytes, Trailer* trailer) {
  PeImage image;
  const uint32_t size = bytes.size() > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(bytes.size());
  if (PeImageRead(bytes.data(), size, size, &image) != kPeImageOk) {
    *trailer = Trailer();
    return kTrailerMissing;
  }
  return TrailerRead(bytes.data(), image.dataEnd, trailer);
}

// The trailer of the program at path, read into *bytes, which its names point into.
int FileTrailer(const fs::path& path, std::vector<uint8_t>* bytes, Trailer* trailer) {
  std::error_code error;
  // A file far larger than any uninstaller is not read whole.
  if (fs::file_size(path, error) > kProgramMax || ReadWholeFile(path, bytes).code != kExitSuccess) {
    *trailer = Trailer();
    return kTrailerMissing;
  }
  return ProgramTrailer(*bytes, trailer);
}

// The program as built: a PE executable, not signed, without a trailer.
Problem ReadUninstallerProgram(const fs::path& program, std::vector<uint8_t>* bytes) {
  if (ReadWholeFile(program, bytes).code != kExitSuccess) {
    return Failure(ShowPath(program) + ": cannot be read (build uninst.exe, or give --uninstaller-program)");
  }
  PeImage image;
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(bytes->size(), 0xFFFFFFFFu));
  if (PeImageRead(bytes->data(), size, size, &image) == kPeImageNotPe) {
    return Failure(ShowPath(program) + ": is not a Windows program");
  }
  if (image.certificateSize != 0) {
    return Failure(ShowPath(program) + ": is signed, and a trailer added now would break the signature; write the "
                   "uninstaller with 'setupkit uninstaller', sign that, put it into the product as UnInst.exe "
                   "and pack without --uninstaller");
  }
  Trailer trailer;
  if (ProgramTrailer(*bytes, &trailer) != kTrailerMissing) {
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
  // Zeros in front of the trailer end it 8-aligned: a signing tool then adds no padding between it and the signature.
  const size_t programSize = (bytes->size() + size + 7) / 8 * 8 - size;
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
  // A 32-bit installer with a 64-bit uninstaller would leave it unable to run where the installer ran.
  const std::string stubArch = ProgramArchitecture(job->stub, job->stub.size());
  if (!job->stub.empty() && ProgramArchitecture(entry.bytes, entry.bytes.size()) != stubArch) {
    return Failure(ShowPath(program) + ": is built for another architecture than the stub (" + stubArch +
                   "); give the uninst.exe of the stub's build");
  }
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

Problem WriteUninstaller(const fs::path& program, PackJob* job, const fs::path& out) {
  // The folder's own UnInst.exe, from an earlier run, is the one being replaced.
  auto& files = job->files;
  files.erase(std::remove_if(files.begin(), files.end(), [](const ProductFile& f) { return IsUninstallerName(f.name); }),
              files.end());
  Problem problem = AddUninstaller(program, job);
  if (problem.code != kExitSuccess) return problem;
  const std::vector<uint8_t>& bytes = files.back().bytes;
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::error_code error;
    fs::remove(out, error);
    return Failure(ShowPath(out) + ": cannot be written");
  }
  return NoProblem();
}

namespace {

// What differs between the trailer and the texts and names pack computes: "what: "trailer's" (packing "job's")".
std::vector<std::string> TrailerDifferences(const Trailer& trailer, const std::vector<std::string>& texts,
                                            const std::vector<std::string>& names) {
  const char* const labels[] = {"product code", "product name", "window class", "main program"};
  const char* const stored[] = {trailer.productCode, trailer.productName, trailer.windowClass, trailer.mainProgram};
  std::vector<std::string> differences;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == stored[i]) continue;
    differences.push_back(std::string(labels[i]) + " \"" + Printable(ansi::ToUtf8(stored[i])) + "\" (packing \"" +
                          Printable(ansi::ToUtf8(texts[i])) + "\")");
  }
  // Names by their folded key, as the uninstaller compares them.
  std::map<std::string, std::string> listed, packed;
  char name[kTrailerNameMax + 1];
  for (uint32_t cursor = 0; TrailerNextFile(&trailer, &cursor, name, sizeof(name));) {
    listed.emplace(stored::FoldKey(name), name);
  }
  for (const std::string& packedName : names) packed.emplace(stored::FoldKey(packedName), packedName);
  const struct { const char* label; const std::map<std::string, std::string>& from; const std::map<std::string, std::string>& in; }
      lists[] = {{"not listed", packed, listed}, {"listed but not packed", listed, packed}};
  for (const auto& list : lists) {
    std::string shown;
    for (const auto& entry : list.from) {
      if (list.in.count(entry.first) == 0) shown += " " + Printable(ansi::ToUtf8(entry.second));
    }
    if (!shown.empty()) differences.push_back(std::string(list.label) + ":" + shown);
  }
  return differences;
}

}  // namespace

std::vector<std::string> UninstallerMismatches(const PackJob& job) {
  std::vector<std::string> warnings;
  for (const ProductFile& file : job.files) {
    if (!IsUninstallerName(file.name) || !file.bytes.empty()) continue;
    std::vector<uint8_t> bytes;
    Trailer trailer;
    const int result = FileTrailer(file.source, &bytes, &trailer);
    const std::string entry = ansi::ToUtf8(file.name);
    if (result == kTrailerMissing) continue;
    if (result != kTrailerOk) {
      warnings.push_back(entry + " " + kTrailerProblems[result] + "; write it anew with setupkit uninstaller");
      continue;
    }
    std::vector<std::string> texts, names;
    if (UninstallerFieldsFor(job, &texts, &names).code != kExitSuccess) continue;
    const std::vector<std::string> differences = TrailerDifferences(trailer, texts, names);
    if (differences.empty()) continue;
    std::string list;
    for (const std::string& difference : differences) list += (list.empty() ? "" : ", ") + difference;
    warnings.push_back(entry + " was written for another product than this one (" + list +
                       "): the uninstaller would remove what its trailer says; write it anew with setupkit "
                       "uninstaller and the same options as pack");
  }
  return warnings;
}

UninstallerInfo ReadUninstallerInfo(const fs::path& copy) {
  std::vector<uint8_t> bytes;
  Trailer trailer;
  const int result = FileTrailer(copy, &bytes, &trailer);
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
