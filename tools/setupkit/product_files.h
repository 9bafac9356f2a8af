// The files `pack` puts into an installer, gathered from a folder or from a
// list file, each with its stored name already checked and converted.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setupkit/exit_codes.h"

struct ProductFile {
  std::string name;              // stored name: Windows-1252, backslashes
  std::filesystem::path source;  // where the bytes come from; empty: from `bytes`
  uint64_t size;                 // the source's size when it was gathered
  std::vector<uint8_t> bytes;    // the data of an entry made in memory (the uninstaller)
};

// The name the installer registers as the product's uninstaller.
extern const char kUninstallerEntry[];

// Whether a stored name (Windows-1252) is the uninstaller's: its last component
// is "UnInst.exe" in any case.
bool IsUninstallerName(const std::string& ansiName);

// Every regular file below `folder`, named by its path relative to `folder`,
// sorted by the bytes of the stored names. Symbolic links to files are followed;
// links to folders, dangling links and special files are refused, so nothing is
// silently left out.
Problem ProductFilesFromFolder(const std::filesystem::path& folder, std::vector<ProductFile>* files);

// The entries of a list file: one "stored name<TAB>source path" a line, UTF-8,
// sources relative to the list file's folder unless absolute, order kept. Empty
// lines are skipped, a CR before the line end and a leading byte order mark are
// ignored. A problem reads "list:line: problem".
Problem ProductFilesFromList(const std::filesystem::path& list, std::vector<ProductFile>* files);

// What the whole set must satisfy: at least one file, no two names for the same
// Windows file (letters compared without case), an entry stream (with a stream
// header of `headerBytes`) of at most 4 GiB - 1. `origin` names the folder or
// list for the message, as in "origin: problem".
Problem ProductFilesCheck(const std::vector<ProductFile>& files, uint64_t headerBytes, const std::string& origin);

// Pairs of files that the installer, which puts every file straight into the
// destination folder, would write to the same path: one line each, the later
// file winning. Not an error: `extract` keeps the folders apart.
std::vector<std::string> ProductFilesFlatteningClashes(const std::vector<ProductFile>& files);

// The product name as the installer's scan pass takes it: the first line of the
// entry "FILE_ID.DIZ" (Windows-1252), from its first bytes, cut to 31 bytes;
// empty when there is no such entry (*described false) or its line names nothing.
Problem ProductNameOf(const std::vector<ProductFile>& files, std::string* name, bool* described);
