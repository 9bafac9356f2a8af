// `pack --uninstaller`: the entry "UnInst.exe" made of uninst.exe followed by
// its trailer (archive/uninstall_trailer.h); `list`: the trailer an
// installer's uninstaller carries.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setupkit/packer.h"
#include "setupkit/product_files.h"

// The name the installer registers as the product's uninstaller.
extern const char kUninstallerEntry[];

// The product name as the installer's scan pass takes it: the first line of the
// entry "FILE_ID.DIZ" (Windows-1252), from its first 1024 bytes, cut to 31 bytes;
// empty when there is no such entry (*described false) or its line names nothing.
// *problem names a description that cannot be read.
std::string ProductNameOf(const std::vector<ProductFile>& files, bool* described, std::string* problem);

// What the installer will know of a product packed from files (in payload
// order) with these identity texts (Windows-1252), as the trailer stores it:
// the product name from FILE_ID.DIZ's first line cut to 31 bytes; the window
// class, or the product name when none is given; the main program the install
// pass will choose with every language checked; and the last name component
// of every entry, each once (ASCII case folded, first spelling kept), followed
// by "HVPSAPI.DLL", where the installer sets an older PSAPI.DLL aside.
// Returns an empty string, or the problem: no product name, which would leave
// the uninstaller unregistered, or a file that cannot be read.
std::string UninstallerFieldsFor(const std::vector<ProductFile>& files, const std::string& productCode,
                                 const std::string& windowClass, const std::string& mainProgram,
                                 std::vector<std::string>* texts, std::vector<std::string>* names);

// Appends the entry "UnInst.exe" to job->files: the program at `program` with
// the trailer for job's files and texts behind it, written to `scratch` (which
// the caller removes after packing). Refuses a product that already has an
// entry whose last component is "UnInst.exe" in any case, a program that is no
// PE executable or already carries a trailer. Returns an empty string or one
// line "path: problem".
std::string AddUninstaller(const std::filesystem::path& program, const std::filesystem::path& scratch, PackJob* job);

// Whether a stored name (Windows-1252) is the uninstaller's: its last component is
// "UnInst.exe" in any case.
bool IsUninstallerName(const std::string& ansiName);

// The end of a listing for an uninstaller entry copied to `copy`: the trailer's
// texts and file names, as lines of text or as the JSON member "uninstaller",
// or the trailer's problem.
std::string UninstallerListing(const std::filesystem::path& copy, bool json);
