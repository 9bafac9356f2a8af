// The files `pack` puts into an installer, gathered from a folder or from a
// list file, each with its stored name already checked and converted.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

struct ProductFile {
  std::string name;              // stored name: Windows-1252, backslashes
  std::filesystem::path source;  // where the bytes come from
  uint64_t size;                 // the source's size when it was gathered
};

// Every regular file below `folder`, named by its path relative to `folder`,
// sorted by the bytes of the stored names. Symbolic links to files are followed;
// links to folders, dangling links and special files are refused, so nothing is
// silently left out. Returns an empty string, or one line "path: problem".
std::string ProductFilesFromFolder(const std::filesystem::path& folder, std::vector<ProductFile>* files);

// The entries of a list file: one "stored name<TAB>source path" a line, UTF-8,
// sources relative to the list file's folder unless absolute, order kept. Empty
// lines are skipped, a CR before the line end and a leading byte order mark are
// ignored. Returns an empty string, or one line "list:line: problem".
std::string ProductFilesFromList(const std::filesystem::path& list, std::vector<ProductFile>* files);

// What the whole set must satisfy: at least one file, no two names for the same
// Windows file (letters compared without case), an entry stream (with a stream
// header of `headerBytes`) of at most 4 GiB - 1. `origin` names the folder or
// list for the message. Returns an empty string or one line "origin: problem".
std::string ProductFilesCheck(const std::vector<ProductFile>& files, uint64_t headerBytes, const std::string& origin);

// Pairs of files that the installer, which puts every file straight into the
// destination folder, would write to the same path: one line each, the later
// file winning. Not an error: `extract` keeps the folders apart.
std::vector<std::string> ProductFilesFlatteningClashes(const std::vector<ProductFile>& files);

// The path as UTF-8, for messages.
std::string ShowPath(const std::filesystem::path& path);
