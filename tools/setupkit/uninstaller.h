// `pack --uninstaller`: the entry "UnInst.exe" made of uninst.exe followed by
// its trailer (archive/uninstall_trailer.h); `list`: the trailer an
// installer's uninstaller carries.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "setupkit/packer.h"
#include "setupkit/text_output.h"

// What the installer will know of the product `job` packs (its files in payload
// order, the uninstaller's entry among them), as the trailer stores it: the
// product name; the window class, or the product name when none is given; the
// main program the install pass will choose with every language checked; and
// the last name component of every entry, each once (ASCII case folded, first
// spelling kept), followed by the name the installer sets an older PSAPI.DLL
// aside under. The problem: no product name, which would leave the uninstaller
// unregistered.
Problem UninstallerFieldsFor(const PackJob& job, std::vector<std::string>* texts, std::vector<std::string>* names);

// Appends the entry "UnInst.exe" to job->files, held in memory: the program at
// `program` with the trailer for job's files and texts behind it. Refuses a
// product that already has an entry whose last component is "UnInst.exe" in
// any case, a program that is no PE executable, is signed or already carries a
// trailer. The trailer ends 8-aligned, so that signing adds no padding before
// the signature.
Problem AddUninstaller(const std::filesystem::path& program, PackJob* job);

// `setupkit uninstaller`: writes to `out` the entry AddUninstaller makes for
// job's product, leaving out an UnInst.exe the product already has (the
// uninstaller being replaced). The program is refused as AddUninstaller does,
// and so is a signed one: the trailer goes in before signing.
Problem WriteUninstaller(const std::filesystem::path& program, PackJob* job, const std::filesystem::path& out);

// pack's warnings on a product that brings its own UnInst.exe carrying a trailer
// (one setupkit uninstaller wrote, perhaps signed since): one line when that
// trailer is damaged or describes another product than job packs (name, code,
// window class, main program or file names differ from what pack --uninstaller
// would store). Nothing for an UnInst.exe without a trailer.
std::vector<std::string> UninstallerMismatches(const PackJob& job);

// A trailer's contents as list shows them, texts in UTF-8; or its problem.
struct UninstallerInfo {
  std::string problem;  // empty when the trailer was read
  std::string productCode, productName, windowClass, mainProgram;
  std::vector<std::string> files;
};

// Reads the trailer of the uninstaller entry copied to `copy`, where its image
// data ends (in front of a signature).
UninstallerInfo ReadUninstallerInfo(const std::filesystem::path& copy);

// The end of a listing: lines of text, or with `json` the member "uninstaller".
void PrintUninstallerInfo(const UninstallerInfo& info, JsonWriter* json, std::ostream& out);
