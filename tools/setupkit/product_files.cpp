#include "setupkit/product_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "setupkit/ansi_text.h"
#include "setupkit/stored_text.h"

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

std::string ShowPath(const fs::path& path) { return path.u8string(); }

std::string ProductFilesFromFolder(const fs::path& folder, std::vector<ProductFile>* files) {
  files->clear();
  std::error_code error;
  if (!fs::is_directory(folder, error)) return ShowPath(folder) + ": is not a folder";
  fs::recursive_directory_iterator it(folder, fs::directory_options::none, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    fs::file_status linkStatus = it->symlink_status(error);
    if (error) break;
    if (fs::is_directory(linkStatus)) continue;
    ProductFile file{std::string(), path, 0};
    std::string problem = RegularFileProblem(path, &file.size);
    if (!problem.empty() && fs::is_symlink(linkStatus) && problem == "is a folder") {
      problem = "is a symbolic link to a folder, which pack does not follow";
    }
    if (!problem.empty()) return ShowPath(path) + ": " + problem;
    std::string utf8Name;
    for (const fs::path& component : path.lexically_relative(folder)) {
      std::string part = component.u8string();
      // Only a POSIX name can hold a backslash, and it would turn into a folder.
      if (part.find('\\') != std::string::npos) return ShowPath(path) + ": name contains a backslash";
      utf8Name += (utf8Name.empty() ? "" : "\\") + part;
    }
    problem = stored::CheckEntryName(utf8Name, &file.name);
    if (!problem.empty()) return ShowPath(path) + ": stored name \"" + utf8Name + "\" " + problem;
    files->push_back(file);
  }
  if (error) return ShowPath(folder) + ": " + error.message();
  std::sort(files->begin(), files->end(), [](const ProductFile& a, const ProductFile& b) { return a.name < b.name; });
  return std::string();
}

std::string ProductFilesFromList(const fs::path& list, std::vector<ProductFile>* files) {
  files->clear();
  std::ifstream in(list, std::ios::binary);
  if (!in) return ShowPath(list) + ": cannot be read";
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return ShowPath(list) + ": cannot be read";
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
      return where + "expected one tab between the stored name and the source path";
    }
    const std::string utf8Name = line.substr(0, tab);
    const std::string utf8Source = line.substr(tab + 1);
    if (utf8Source.empty()) return where + "the source path is empty";
    ProductFile file{std::string(), fs::u8path(utf8Source), 0};
    std::string problem = stored::CheckEntryName(utf8Name, &file.name);
    if (!problem.empty()) return where + "stored name \"" + utf8Name + "\" " + problem;
    if (file.source.is_relative()) file.source = base / file.source;
    problem = RegularFileProblem(file.source, &file.size);
    if (!problem.empty()) return where + "source " + ShowPath(file.source) + " " + problem;
    files->push_back(file);
  }
  return std::string();
}

std::string ProductFilesCheck(const std::vector<ProductFile>& files, uint64_t headerBytes, const std::string& origin) {
  if (files.empty()) return origin + ": holds no files; an installer needs at least one";
  std::map<std::string, size_t> seen;
  uint64_t streamBytes = headerBytes;
  for (size_t i = 0; i < files.size(); ++i) {
    auto inserted = seen.emplace(stored::FoldKey(files[i].name), i);
    if (!inserted.second) {
      return origin + ": stored names " + Quoted(files[inserted.first->second].name) + " and " + Quoted(files[i].name) +
             " name the same file";
    }
    streamBytes += 4 + files[i].name.size() + 1 + files[i].size;
  }
  if (streamBytes > 0xFFFFFFFFu) {
    return origin + ": the files make an entry stream of " + std::to_string(streamBytes) +
           " bytes; an installer holds at most 4294967295";
  }
  return std::string();
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
