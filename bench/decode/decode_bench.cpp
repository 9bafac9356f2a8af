// Decoding throughput and memory of DecodePayload against xz's raw LZMA1 decoder,
// on the same stream: ~80 MiB of files from /usr/lib, encoded once with the LZMA SDK
// (lc 3, lp 0, pb 2, 16 MiB dictionary, end marker so xz can read it) and cached.
//
//   decode_bench CACHE_DIR         prints one line per figure
//   decode_bench --peak INSTALLER  (internal) one decode in a fresh process; prints its
//                                  VmHWM in KiB before and after, so the parent's heap is not counted
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <LzmaEnc.h>

#include "archive/decoder.h"
#include "archive/payload_format.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kCorpusBytes = 80ull << 20;
const uint64_t kMaxBytesPerFile = 2ull << 20;
const uint32_t kDictionary = 1u << 24;
const uint32_t kImageSize = 94208;
const int kRuns = 5;
const char* const kCacheVersion = "v1";

struct Corpus {
  uint64_t size = 0;
  uint64_t sum = 0;  // of all bytes, to check a decode
  uint32_t files = 0;
};

uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Files of at least 1 KiB under /usr/lib in path order, every 16th by path hash first
// so that no single folder dominates, each cut at 2 MiB, until kCorpusBytes.
std::vector<uint8_t> GatherCorpus(Corpus* corpus) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (fs::recursive_directory_iterator it("/usr/lib", fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_symlink(ec) && it->is_regular_file(ec) && it->file_size(ec) >= 1024) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<uint8_t> bytes;
  for (int pass = 0; pass < 2 && bytes.size() < kCorpusBytes; ++pass) {
    for (const std::string& path : paths) {
      if ((Fnv1a(path) % 16 == 0) != (pass == 0)) continue;
      std::ifstream in(path, std::ios::binary);
      std::vector<char> piece(std::min<uint64_t>(kMaxBytesPerFile, kCorpusBytes - bytes.size()));
      in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
      if (in.gcount() <= 0) continue;
      bytes.insert(bytes.end(), piece.begin(), piece.begin() + in.gcount());
      ++corpus->files;
      if (bytes.size() >= kCorpusBytes) break;
    }
  }
  corpus->size = bytes.size();
  for (uint8_t b : bytes) corpus->sum += b;
  return bytes;
}

void* BenchAlloc(void*, size_t size) { return malloc(size); }
void BenchFree(void*, void* block) { free(block); }

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Builds (once) the raw stream and the installer around it; returns false on failure.
bool PrepareInputs(const std::string& dir, Corpus* corpus, std::string* streamPath, std::string* installerPath) {
  *streamPath = dir + "/decode-corpus-" + kCacheVersion + ".lzma";
  *installerPath = dir + "/decode-installer-" + kCacheVersion + ".exe";
  std::string metaPath = dir + "/decode-corpus-" + kCacheVersion + ".txt";
  std::ifstream meta(metaPath);
  if (meta >> corpus->size >> corpus->sum >> corpus->files && fs::exists(*installerPath) && fs::exists(*streamPath)) {
    return true;
  }

  fprintf(stderr, "decode: gathering and encoding the corpus once (a minute or two)...\n");
  *corpus = Corpus();
  std::vector<uint8_t> data = GatherCorpus(corpus);
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.dictSize = kDictionary;
  props.lc = 3;
  props.lp = 0;
  props.pb = 2;
  props.numThreads = 1;
  ISzAlloc alloc = {BenchAlloc, BenchFree};
  std::vector<uint8_t> stream(data.size() + data.size() / 8 + (1 << 16));
  SizeT streamSize = stream.size();
  uint8_t properties[LZMA_PROPS_SIZE];
  SizeT propertiesSize = LZMA_PROPS_SIZE;
  if (LzmaEncode(stream.data(), &streamSize, data.data(), data.size(), &props, properties, &propertiesSize, 1,
                 nullptr, &alloc, &alloc) != SZ_OK) {
    fprintf(stderr, "decode: LzmaEncode failed\n");
    return false;
  }
  stream.resize(streamSize);

  std::vector<uint8_t> installer(kImageSize, 0);
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) installer.push_back(PayloadMagicByte(i));
  installer.insert(installer.end(), properties, properties + LZMA_PROPS_SIZE);
  for (int shift = 24; shift >= 0; shift -= 8) installer.push_back(static_cast<uint8_t>(corpus->size >> shift));
  installer.insert(installer.end(), stream.begin(), stream.end());
  if (!WriteBytes(*streamPath, stream) || !WriteBytes(*installerPath, installer)) return false;
  std::ofstream(metaPath) << corpus->size << ' ' << corpus->sum << ' ' << corpus->files << '\n';
  return true;
}

int SumChunk(uint8_t* bytes, uint32_t length, void* context) {
  uint64_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) sum += bytes[i];
  *static_cast<uint64_t*>(context) += sum;
  return 0;
}

// One DecodePayload of the installer; returns its result and the byte sum.
int DecodeOnce(const std::string& installerPath, uint64_t* sum) {
  std::u16string wide = fs::path(installerPath).u16string();
  PlatformFile file = PlatformCreateFile(wide.c_str(), false);
  if (file == PLATFORM_INVALID_FILE) return -1;
  PlatformSetFilePointer(file, kImageSize + kPayloadMagicSize);
  *sum = 0;
  int result = DecodePayload(file, SumChunk, sum);
  PlatformCloseHandle(file);
  return result;
}

// CPU seconds (user and system) of the calling thread; timing by CPU rather than wall
// time keeps the figures steady on a machine that is busy with other work.
double ThreadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The process's peak resident size so far, in KiB (VmHWM), or -1.
long PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmHWM:" && status >> value) return value;
    status.ignore(1 << 10, '\n');
  }
  return -1;
}

// Runs argv with stdin from `input` and stdout to /dev/null; returns its exit
// status (-1 when it could not run) and its CPU seconds.
int RunChild(const std::vector<std::string>& args, const char* input, double* cpuSeconds) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int in = open(input, O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  *cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--peak") == 0) {
    long before = PeakResidentKib();
    uint64_t sum;
    int result = DecodeOnce(argv[2], &sum);
    printf("%ld %ld\n", before, PeakResidentKib());
    return result == 0 ? 0 : 1;
  }
  if (argc != 2) {
    fprintf(stderr, "usage: decode_bench CACHE_DIR\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);

  Corpus corpus;
  std::string streamPath, installerPath;
  if (!PrepareInputs(argv[1], &corpus, &streamPath, &installerPath)) return 1;
  double megabytes = static_cast<double>(corpus.size) / 1e6;
  printf("decode corpus:  %.1f MiB of %u files from /usr/lib -> %.1f MiB LZMA (lc3 lp0 pb2, 16 MiB dictionary)\n",
         static_cast<double>(corpus.size) / (1 << 20), corpus.files,
         static_cast<double>(fs::file_size(streamPath)) / (1 << 20));

  // Alternating runs, so that both decoders meet the same conditions.
  std::vector<double> ours, xz;
  bool xzRuns = true;
  for (int run = 0; run < kRuns; ++run) {
    uint64_t sum = 0;
    double start = ThreadCpuSeconds();
    int result = DecodeOnce(installerPath, &sum);
    ours.push_back(ThreadCpuSeconds() - start);
    if (result != 0 || sum != corpus.sum) {
      fprintf(stderr, "decode: DecodePayload gave %d, byte sum %llu instead of %llu\n", result,
              static_cast<unsigned long long>(sum), static_cast<unsigned long long>(corpus.sum));
      return 1;
    }
    double seconds = 0;
    if (xzRuns && RunChild({"xz", "--format=raw", "--lzma1=lc=3,lp=0,pb=2,dict=16MiB", "-d", "-c"},
                           streamPath.c_str(), &seconds) != 0) {
      xzRuns = false;
    }
    xz.push_back(seconds);
  }
  printf("decode ours:    %.1f MB/s unpacked per CPU second (median of %d)\n", megabytes / Median(ours), kRuns);
  if (xzRuns) {
    printf("decode xz:      %.1f MB/s unpacked per CPU second (median of %d)\n", megabytes / Median(xz), kRuns);
    printf("decode ratio:   %.2f ours/xz time (target <= 1.10)\n", Median(ours) / Median(xz));
  } else {
    printf("decode xz:      not available\n");
  }

  std::string command = fs::read_symlink("/proc/self/exe").string() + " --peak '" + installerPath + "'";
  FILE* child = popen(command.c_str(), "r");
  long before = -1, after = -1;
  bool read = child != nullptr && fscanf(child, "%ld %ld", &before, &after) == 2;
  if (child == nullptr || pclose(child) != 0 || !read || before < 0) {
    fprintf(stderr, "decode: the peak-memory child failed\n");
    return 1;
  }
  printf("decode memory:  %.1f MiB peak above start-up (target <= %.1f MiB: dictionary + 1 MiB)\n",
         static_cast<double>(after - before) / 1024, static_cast<double>(kDictionary) / (1 << 20) + 1);
  return 0;
}
