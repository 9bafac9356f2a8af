// Decoding throughput and memory of DecodePayload against xz's raw LZMA1 decoder,
// on the same stream: ~80 MiB of files from /usr/lib, encoded once with the LZMA SDK
// (lc 3, lp 0, pb 2, 16 MiB dictionary, end marker so xz can read it) and cached.
//
//   decode_bench CACHE_DIR JSON_OUT  prints the figures as a table and writes them as JSON
//   decode_bench --peak INSTALLER  (internal) one decode in a fresh process; prints its
//                                  VmHWM in KiB before and after, so the parent's heap is not counted
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <LzmaEnc.h>

#include "archive/decoder.h"
#include "archive/payload_format.h"
#include "common/corpus.h"
#include "common/measure.h"
#include "common/report.h"

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

// The chosen files from /usr/lib, each cut at 2 MiB, one after the other.
std::vector<uint8_t> GatherCorpus(Corpus* corpus) {
  CorpusOptions options;
  options.totalBytes = kCorpusBytes;
  options.maxBytesPerFile = kMaxBytesPerFile;
  std::vector<uint8_t> bytes;
  for (const CorpusFile& file : CorpusSelect(options)) {
    std::ifstream in(file.path, std::ios::binary);
    std::vector<char> piece(file.bytes);
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    if (in.gcount() <= 0) continue;
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + in.gcount());
    ++corpus->files;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--peak") == 0) {
    long before = BenchPeakKib();
    uint64_t sum;
    int result = DecodeOnce(argv[2], &sum);
    printf("%ld %ld\n", before, BenchPeakKib());
    return result == 0 ? 0 : 1;
  }
  if (argc != 3) {
    fprintf(stderr, "usage: decode_bench CACHE_DIR JSON_OUT\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);

  Corpus corpus;
  std::string streamPath, installerPath;
  if (!PrepareInputs(argv[1], &corpus, &streamPath, &installerPath)) return 1;
  const double megabytes = static_cast<double>(corpus.size) / 1e6;
  BenchReport report("decode");
  report.Input("corpus_files", corpus.files);
  report.Input("corpus_bytes", static_cast<double>(corpus.size));
  report.Input("stream_bytes", static_cast<double>(fs::file_size(streamPath)));
  char text[200];
  snprintf(text, sizeof(text),
           "corpus: %.1f MiB of %u files from /usr/lib -> %.1f MiB LZMA (lc3 lp0 pb2, 16 MiB dictionary, end marker)",
           static_cast<double>(corpus.size) / (1 << 20), corpus.files,
           static_cast<double>(fs::file_size(streamPath)) / (1 << 20));
  report.Note(text);

  // Alternating runs, so that both decoders meet the same conditions.
  BenchFigure time("DecodePayload time", "s CPU", 3, "xz --format=raw -d", BenchTarget::kRatioAtMost, 1.10);
  BenchFigure speed("DecodePayload speed", "MB/s CPU", 1, "xz --format=raw -d");
  bool xzRuns = true;
  ChildIo io;
  io.input = streamPath;
  for (int run = 0; run < kRuns; ++run) {
    uint64_t sum = 0;
    double start = ThreadCpuSeconds();
    int result = DecodeOnce(installerPath, &sum);
    time.ours.push_back(ThreadCpuSeconds() - start);
    speed.ours.push_back(megabytes / time.ours.back());
    if (result != 0 || sum != corpus.sum) {
      fprintf(stderr, "decode: DecodePayload gave %d, byte sum %llu instead of %llu\n", result,
              static_cast<unsigned long long>(sum), static_cast<unsigned long long>(corpus.sum));
      return 1;
    }
    if (!xzRuns) continue;
    ChildRun xz = RunChild({"xz", "--format=raw", "--lzma1=lc=3,lp=0,pb=2,dict=16MiB", "-d", "-c"}, io);
    xzRuns = xz.exitCode == 0;
    time.theirs.push_back(xz.cpuSeconds);
    speed.theirs.push_back(megabytes / xz.cpuSeconds);
  }
  if (!xzRuns) {
    time.theirs.clear();
    speed.theirs.clear();
  }

  std::string command = fs::read_symlink("/proc/self/exe").string() + " --peak '" + installerPath + "'";
  FILE* child = popen(command.c_str(), "r");
  long before = -1, after = -1;
  bool read = child != nullptr && fscanf(child, "%ld %ld", &before, &after) == 2;
  if (child == nullptr || pclose(child) != 0 || !read || before < 0) {
    fprintf(stderr, "decode: the peak-memory child failed\n");
    return 1;
  }
  const double limit = static_cast<double>(kDictionary) / (1 << 20) + 1;
  BenchFigure memory("DecodePayload memory", "MiB", 1, "", BenchTarget::kValueAtMost, limit);
  memory.ours.push_back(static_cast<double>(after - before) / 1024);
  memory.comment = "peak above start-up in a fresh process; target dictionary + 1 MiB";

  report.Add(time);
  report.Add(speed);
  report.Add(memory);
  report.Note("times: CPU seconds of the decoding thread (ours, in process) and of the xz child (wait4), median of " +
              std::to_string(kRuns) + ", alternating");
  report.Print(stdout);
  if (!report.WriteJson(argv[2])) {
    fprintf(stderr, "decode: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
