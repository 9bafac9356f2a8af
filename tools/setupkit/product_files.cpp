#include "setupkit/product_files.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "archive/entry_parser.h"
#include "setupkit/ansi_text.h"
#include "install/install_decisions.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/file_io.h"
#include "setupkit/stored_text.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& ansiName) { return "\"" + ansi::ToUtf8(ansiName) + "\""; }

// Follows links; the problem when the path is no regular file, else empty.
std::string RegularFileProblem(const fs::path& path, uint64_t* size) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) {
    return fs::is_symlink(fs::symlink_status(path, error)) ? "is a dangling symbolic link" : "does not exist";
  }
  if (error) return error.message();
  if (fs::is_directory(status)) return "is a folder";
  if (!fs::is_regular_file(status)) return "is not a regular file";
  *size = fs::file_size(path, error);
  if (error) return error.message();
  return std::string();
}

}  // namespace

const char kUninstallerEntry[] = "UnInst.exe";

bool IsUninstallerName(const std::string& ansiName) {
  return stored::FoldKey(stored::LastComponent(ansiName)) == stored::FoldKey(kUninstallerEntry);
}

Problem ProductFilesFromFolder(const fs::path& folder, std::vector<ProductFile>* files) {
  files->clear();
  std::error_code error;
  if (!fs::is_directory(folder, error)) return Failure(ShowPath(folder) + ": is not a folder");
  fs::recursive_directory_iterator it(folder, fs::directory_options::none, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    fs::file_status linkStatus = it->symlink_status(error);
    if (error) break;
    if (fs::is_directory(linkStatus)) continue;
    ProductFile file{std::string(), path, 0, {}};
    std::string problem = RegularFileProblem(path, &file.size);
    if (!problem.empty() && fs::is_symlink(linkStatus) && problem == "is a folder") {
      problem = "is a symbolic link to a folder, which pack does not follow";
    }
    if (!problem.empty()) return Failure(ShowPath(path) + ": " + problem);
    std::string utf8Name;
    for (const fs::path& component : path.lexically_relative(folder)) {
      std::string part = component.u8string();
      // Only a POSIX name can hold a backslash, and it would turn into a folder.
      if (part.find('\\') != std::string::npos) return Failure(ShowPath(path) + ": name contains a backslash");
      utf8Name += (utf8Name.empty() ? "" : "\\") + part;
    }
    problem = stored::CheckEntryName(utf8Name, &file.name);
    if (!problem.empty()) return Failure(ShowPath(path) + ": stored name \"" + utf8Name + "\" " + problem);
    files->push_back(file);
  }
  if (error) return Failure(ShowPath(folder) + ": " + error.message());
  std::sort(files->begin(), files->end(), [](const ProductFile& a, const ProductFile& b) { return a.name < b.name; });
  return NoProblem();
}

Problem ProductFilesFromList(const fs::path& list, std::vector<ProductFile>* files) {
  files->clear();
  std::vector<uint8_t> bytes;
  Problem read = ReadWholeFile(list, &bytes);
  if (read.code != kExitSuccess) return read;
  std::string text(bytes.begin(), bytes.end());
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  const fs::path base = list.parent_path();
  size_t start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::string where = ShowPath(list) + ":" + std::to_string(lineNumber) + ": ";
    size_t tab = line.find('\t');
    if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
      return Failure(where + "expected one tab between the stored name and the source path");
    }
    const std::string utf8Name = line.substr(0, tab);
    const std::string utf8Source = line.substr(tab + 1);
    if (utf8Source.empty()) return Failure(where + "the source path is empty");
    ProductFile file{std::string(), fs::u8path(utf8Source), 0, {}};
    std::string problem = stored::CheckEntryName(utf8Name, &file.name);
    if (!problem.empty()) return Failure(where + "stored name \"" + utf8Name + "\" " + problem);
    if (file.source.is_relative()) file.source = base / file.source;
    problem = RegularFileProblem(file.source, &file.size);
    if (!problem.empty()) return Failure(where + "source " + ShowPath(file.source) + " " + problem);
    files->push_back(file);
  }
  return NoProblem();
}

Problem ProductFilesCheck(const std::vector<ProductFile>& files, uint64_t headerBytes, const std::string& origin) {
  if (files.empty()) return Failure(origin + ": holds no files; an installer needs at least one");
  std::map<std::string, size_t> seen;
  uint64_t streamBytes = headerBytes;
  for (size_t i = 0; i < files.size(); ++i) {
    auto inserted = seen.emplace(stored::FoldKey(files[i].name), i);
    if (!inserted.second) {
      return Failure(origin + ": stored names " + Quoted(files[inserted.first->second].name) + " and " +
                     Quoted(files[i].name) + " name the same file");
    }
    streamBytes += EntryHeaderSize(files[i].name) + files[i].size;
  }
  if (streamBytes > 0xFFFFFFFFu) {
    return Failure(origin + ": the files make an entry stream of " + std::to_string(streamBytes) +
                   " bytes; an installer holds at most 4294967295");
  }
  return NoProblem();
}

std::vector<std::string> ProductFilesFlatteningClashes(const std::vector<ProductFile>& files) {
  std::vector<std::string> clashes;
  std::map<std::string, size_t> last;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string component = stored::LastComponent(files[i].name);
    auto inserted = last.emplace(stored::FoldKey(component), i);
    if (!inserted.second) {
      clashes.push_back(Quoted(files[inserted.first->second].name) + " and " + Quoted(files[i].name) +
                        " both install as " + Quoted(component) + "; the installer keeps the later one");
      inserted.first->second = i;
    }
  }
  return clashes;
}

Problem ProductNameOf(const std::vector<ProductFile>& files, std::string* name, bool* described) {
  name->clear();
  *described = false;
  for (const ProductFile& file : files) {
    char16_t wide[kEntryNameUnits];
    NarrowToWide(file.name.c_str(), wide, kEntryNameUnits);
    if (ClassifyScanEntry(wide) != kScanEntryDescription) continue;
    *described = true;
    std::vector<uint8_t> lead;
    const Problem problem = ReadFileBytes(file.source, kLeadingBytesMax, false, &lead);
    if (problem.code != kExitSuccess || lead.empty()) return problem;
    ProductDescription description;
    ParseDescriptionLine(lead.data(), static_cast<uint32_t>(lead.size()), &description);
    char cut[kNameFieldUnits] = {};
    AppendNarrow(description.name, cut, sizeof(cut));
    *name = cut;
    return NoProblem();
  }
  return NoProblem();
}
