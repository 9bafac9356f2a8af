#include "corpus.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

}  // namespace

std::vector<CorpusFile> CorpusSelect(const CorpusOptions& options) {
  struct Candidate {
    std::string path;
    uint64_t size;
  };
  std::vector<Candidate> candidates;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(options.root, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
    uint64_t size = it->file_size(ec);
    if (!ec && size >= 1024) candidates.push_back({it->path().string(), size});
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.path < b.path; });

  std::vector<CorpusFile> chosen;
  uint64_t total = 0;
  for (int pass = 0; pass < 2 && total < options.totalBytes; ++pass) {
    for (const Candidate& c : candidates) {
      if ((Fnv1a(c.path) % options.stride == 0) != (pass == 0)) continue;
      if (!options.cutLargerFiles && c.size > options.maxBytesPerFile) continue;
      CorpusFile file;
      file.path = c.path;
      file.relative = fs::path(c.path).lexically_relative(options.root).generic_string();
      if (options.accept && !options.accept(file.relative)) continue;
      file.bytes = options.cutLargerFiles ? std::min({c.size, options.maxBytesPerFile, options.totalBytes - total})
                                          : c.size;
      total += file.bytes;
      chosen.push_back(file);
      if (total >= options.totalBytes) break;
    }
  }
  return chosen;
}

uint64_t CorpusTotalBytes(const std::vector<CorpusFile>& files) {
  uint64_t total = 0;
  for (const CorpusFile& f : files) total += f.bytes;
  return total;
}
