// Picks real files from a system folder as benchmark input, the same way on every run:
// files of at least 1 KiB in path order, one in `stride` by path hash first so that no
// single folder dominates, then the others, until a byte total is reached.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

struct CorpusFile {
  std::string path;      // absolute
  std::string relative;  // below the root, with '/'
  uint64_t bytes = 0;    // how much of the file to take, from its start
};

struct CorpusOptions {
  std::string root = "/usr/lib";
  uint64_t totalBytes = 0;
  uint64_t maxBytesPerFile = 0;
  // A larger stride samples the whole root more evenly before the second pass takes
  // the remaining files in path order.
  uint32_t stride = 16;
  // true: a larger file contributes its first maxBytesPerFile bytes, and the last file
  // is cut so the total is met exactly; false: larger files are skipped and the last
  // file is taken whole, so the total is met or just passed.
  bool cutLargerFiles = true;
  // Called with `relative`; files it refuses are not taken. Empty: every file.
  std::function<bool(const std::string&)> accept;
};

// Returns the chosen files in the order they were chosen; fewer bytes than asked
// when the root holds too little.
std::vector<CorpusFile> CorpusSelect(const CorpusOptions& options);

uint64_t CorpusTotalBytes(const std::vector<CorpusFile>& files);
