// `pack`: writes an installer, the stub followed by the payload (layout in
// archive/payload_format.h), from files that are read twice and never held whole:
// once for the checksum the StreamHeader needs, once to feed the LZMA encoder.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "setupkit/product_files.h"

// Everything has been checked by the caller: texts and names stored in
// Windows-1252 within their limits, a valid date, a stub that StubCheck accepts,
// files that ProductFilesCheck accepts.
struct PackJob {
  std::vector<uint8_t> stub;
  std::string productCode;         // Windows-1252
  std::string productWindowClass;  // Windows-1252, may be empty
  std::string mainProgramName;     // Windows-1252, may be empty
  uint32_t archiveDate;
  uint32_t dictionarySize;  // kPackDictionaryMin to kPackDictionaryMax
  std::vector<ProductFile> files;
  std::filesystem::path output;
  // FILE_ID.DIZ's product name as the installer reads it (Windows-1252, empty
  // when none), and whether the product has that entry at all; pack reads it
  // once for its warnings and the uninstaller.
  std::string productName;
  bool described;
};

// The dictionary sizes pack accepts. The installer, a 32-bit process, allocates
// the dictionary in one block, so the top stays well below its address space.
const uint32_t kPackDictionaryMin = 4096;
const uint32_t kPackDictionaryMax = 64u << 20;
const uint32_t kPackDictionaryDefault = 16u << 20;

struct PackReport {
  uint32_t entries;
  uint64_t bytesIn;         // the files' data
  uint64_t unpackedSize;    // the entry stream
  uint64_t streamSize;      // the LZMA stream
  uint64_t installerSize;   // the whole file written
  uint32_t dictionarySize;  // as the container header holds it
};

// Called now and then: while the files are read for the checksum (bytes of
// file data so far, and their total), then while the LZMA stream is written
// (bytes of the entry stream encoded so far, and its total).
enum PackStage { kPackReading, kPackCompressing };
typedef std::function<void(PackStage stage, uint64_t done, uint64_t total)> PackProgress;

// Reads every file once for the checksum, then writes the installer to a
// temporary file beside job.output and renames it into place. On success
// *report is filled; after a problem nothing is left behind (an existing
// output stays as it was). A file that cannot be read is found before anything
// is written.
Problem PackInstaller(const PackJob& job, const PackProgress& progress, PackReport* report);

// The smallest installer size at which the locator finds a magic that starts at
// `magicOffset`: it reads 4092-byte pieces from the search start, gives up on a
// short one, and sees a magic only in the read that holds the byte behind it.
uint64_t PackFindableSize(uint64_t magicOffset);

// The dictionary size the container header holds for a requested one: the
// encoder rounds up to the next 2^n or 3 * 2^n bytes.
uint32_t PackHeaderDictionarySize(uint32_t requested);
