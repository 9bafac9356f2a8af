// The installer's own figures against its peers, on one product of real files:
//   verify   setupkit verify    against xz decoding the very same LZMA stream
//   extract  setupkit extract   against 7zz x of a .7z of the same files (LZMA, 16 MiB dictionary)
//   pack     payload size       against 7zz a (same settings) and makensis (solid LZMA, 16 MiB);
//            pack speed         against 7zz a
//   memory   setupkit verify's peak resident size
//   stub     setup.exe's size   against the LZMA stub the nsis package ships
//   silent   setup.exe /S /D=   against an NSIS installer of the same files, under Wine:
//            wall time of the whole install, for each SILENT_SETUP (a setup.exe build)
//
//   installer_bench CACHE_DIR JSON_OUT SETUPKIT [STUB [SILENT_SETUP...]]
//
// The product (at least 64 MiB of whole files from /usr/lib) is built once below
// CACHE_DIR; everything else is remade in CACHE_DIR/installer on every run.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "archive/payload_format.h"
#include "archive/stub_marker.h"
#include "common/corpus.h"
#include "common/measure.h"
#include "common/report.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kProductBytes = 64ull << 20;
const uint64_t kMaxFileBytes = 4ull << 20;
const char* const kProductVersion = "v2";
// Packing 64 MiB at the best ratio takes about a minute per packer, decoding a second
// or two: pack is run fewer times so that a whole `make bench` stays near ten minutes.
const int kPackRuns = 3;
const int kDecodeRuns = 9;
// A silent install takes seconds under Wine, and its wall time swings on a shared machine.
const int kSilentRuns = 7;
const char* const kDate = "2024-05-01";
const char* const kSevenZipMethod = "-m0=lzma:d=16m";
const char* const kNsisStub = "/usr/share/nsis/Stubs/lzma_solid-x86-unicode";
// The stub's size target, as the top-level CMakeLists.txt states it.
const double kStubTargetBytes = 94208;
const size_t kCopyBuffer = 1 << 16;

// Names every packer and file system here can store the same way: plain ASCII
// components, no Windows device names, no two that differ only in case.
class ProductNames {
 public:
  bool Accept(const std::string& relative) {
    if (relative.size() > 200) return false;
    size_t start = 0;
    while (start <= relative.size()) {
      size_t end = relative.find('/', start);
      if (end == std::string::npos) end = relative.size();
      if (!AcceptComponent(relative.substr(start, end - start))) return false;
      start = end + 1;
    }
    std::string folded = relative;
    for (char& c : folded) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return seen_.insert(folded).second;
  }

 private:
  static bool AcceptComponent(const std::string& c) {
    if (c.empty() || c == "." || c == ".." || c.back() == '.') return false;
    for (unsigned char ch : c)
      if (!isalnum(ch) && ch != '.' && ch != '_' && ch != '-' && ch != '+') return false;
    std::string stem = c.substr(0, c.find('.'));
    for (char& ch : stem) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* d : kDevices)
      if (stem == d) return false;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && isdigit(stem[3]))
      return false;
    return true;
  }

  std::set<std::string> seen_;
};

struct Product {
  std::string dir;
  uint32_t files = 0;
  uint64_t bytes = 0;
};

// Builds (once) the product tree: the chosen files copied whole under their paths below /usr/lib.
bool PrepareProduct(const std::string& cache, Product* product) {
  product->dir = cache + "/product-" + kProductVersion;
  const std::string metaPath = product->dir + ".txt";
  std::ifstream meta(metaPath);
  if (meta >> product->files >> product->bytes && fs::is_directory(product->dir)) return true;

  fprintf(stderr, "installer: copying the product tree once...\n");
  std::error_code error;
  for (const auto& e : fs::directory_iterator(cache, error)) {
    if (e.path().filename().string().rfind("product-", 0) == 0) fs::remove_all(e.path(), error);
  }
  ProductNames names;
  CorpusOptions options;
  options.totalBytes = kProductBytes;
  options.maxBytesPerFile = kMaxFileBytes;
  options.cutLargerFiles = false;
  options.stride = 64;
  options.accept = [&names](const std::string& relative) { return names.Accept(relative); };
  std::vector<CorpusFile> files = CorpusSelect(options);
  if (CorpusTotalBytes(files) < kProductBytes) {
    fprintf(stderr, "installer: /usr/lib holds only %llu bytes of suitable files\n",
            static_cast<unsigned long long>(CorpusTotalBytes(files)));
    return false;
  }
  for (const CorpusFile& f : files) {
    fs::path target = fs::path(product->dir) / f.relative;
    fs::create_directories(target.parent_path(), error);
    if (error || !fs::copy_file(f.path, target, error) || error) {
      fprintf(stderr, "installer: cannot copy %s: %s\n", f.path.c_str(), error.message().c_str());
      return false;
    }
  }
  product->files = static_cast<uint32_t>(files.size());
  product->bytes = CorpusTotalBytes(files);
  std::ofstream(metaPath) << product->files << ' ' << product->bytes << '\n';
  return true;
}

// The smallest PE image setupkit accepts as a stub (as the setupkit tests make one):
// MZ header, PE signature, i386 COFF header, a PE32 optional header with 16 empty
// data directories and the stub marker; 1024 bytes.
bool WriteFakeStub(const std::string& path) {
  std::vector<uint8_t> bytes(1024, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  bytes[0] = 'M';
  bytes[1] = 'Z';
  put16(0x3C, 0x40);
  bytes[0x40] = 'P';
  bytes[0x41] = 'E';
  put16(0x44, 0x14C);
  put16(0x44 + 16, 224);
  put16(0x44 + 20, 0x10B);
  put16(0x44 + 20 + 92, 16);
  const char* marker = SETUP_STUB_MARKER;
  std::copy(marker, marker + strlen(marker), bytes.begin() + 512);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

uint64_t FileSize(const std::string& path) {
  std::error_code error;
  uint64_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

bool ReadAt(const std::string& path, uint64_t offset, uint8_t* bytes, size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
  return in.gcount() == static_cast<std::streamsize>(count);
}

// The "alone" .lzma file xz reads for the installer's stream: the installer's five
// properties bytes, the unpacked size as 64-bit little-endian, then the raw stream as
// it stands in the installer. The size tells xz where the stream ends, so the stream
// needs no end marker and is decoded bit for bit as the installer decodes it.
bool WriteAloneFile(const std::string& installer, uint64_t payloadOffset, uint64_t streamSize,
                    const std::string& path, uint32_t* unpacked) {
  uint8_t header[kPayloadMagicSize + kContainerHeaderSize];
  if (!ReadAt(installer, payloadOffset, header, sizeof(header))) return false;
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i)
    if (header[i] != PayloadMagicByte(i)) return false;
  const uint8_t* container = header + kPayloadMagicSize;
  *unpacked = ContainerUnpackedSize(container);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(container), kContainerPropertiesSize);
  for (int i = 0; i < 8; ++i) out.put(static_cast<char>(i < 4 ? (*unpacked >> (8 * i)) & 0xFF : 0));
  std::ifstream in(installer, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(payloadOffset + sizeof(header)));
  std::vector<char> buffer(kCopyBuffer);
  for (uint64_t left = streamSize; left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (!in.read(buffer.data(), static_cast<std::streamsize>(n))) return false;
    out.write(buffer.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
  return static_cast<bool>(out);
}

// The "N bytes out" figure of setupkit pack's report line, or 0.
uint64_t PackedStreamSize(const std::string& packOutput) {
  std::ifstream in(packOutput);
  std::string line;
  std::getline(in, line);
  size_t at = line.find(" bytes out");
  if (at == std::string::npos) return 0;
  size_t start = line.rfind(' ', at - 1);
  return strtoull(line.c_str() + (start == std::string::npos ? 0 : start + 1), nullptr, 10);
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  if (!x || !y) return false;
  std::vector<char> p(kCopyBuffer), q(kCopyBuffer);
  while (true) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || memcmp(p.data(), q.data(), static_cast<size_t>(x.gcount())) != 0) return false;
    if (x.gcount() == 0) return true;
  }
}

// Empty when `extracted` holds exactly the product's files with their bytes; else the first difference.
std::string CompareTree(const std::string& product, const std::string& extracted) {
  uint32_t expected = 0, found = 0;
  for (const auto& e : fs::recursive_directory_iterator(product)) {
    if (!e.is_regular_file()) continue;
    ++expected;
    fs::path other = fs::path(extracted) / e.path().lexically_relative(product);
    if (!SameFile(e.path(), other)) return other.string() + " is missing or differs";
  }
  for (const auto& e : fs::recursive_directory_iterator(extracted))
    if (e.is_regular_file()) ++found;
  if (found != expected) return std::to_string(found) + " files instead of " + std::to_string(expected);
  return std::string();
}

// Says what failed, with the child's error output when it went to `errors`.
bool Check(const ChildRun& run, const char* what, const std::string& errors = "") {
  if (run.exitCode == 0) return true;
  fprintf(stderr, "installer: %s failed (exit %d)\n", what, run.exitCode);
  std::ifstream in(errors);
  std::string line;
  while (std::getline(in, line)) fprintf(stderr, "  %s\n", line.c_str());
  return false;
}

// Writes stem.nsi for stem.exe: solid LZMA with a 16 MiB dictionary, one
// section with fileLine; target is a makensis Target (empty: the default, x86-unicode).
std::string WriteNsisScript(const std::string& stem, const std::string& target, const std::string& fileLine) {
  std::ofstream nsi(stem + ".nsi");
  nsi << "Unicode true\n" << (target.empty() ? "" : "Target " + target + "\n")
      << "SetCompressor /SOLID lzma\nSetCompressorDictSize 16\n"
      << "OutFile \"" << stem << ".exe\"\n"
      << "RequestExecutionLevel user\nInstallDir \"$TEMP\\bench\"\n"
      << "Section\nSetOutPath $INSTDIR\n" << fileLine << "\nSectionEnd\n";
  return stem + ".nsi";
}

// The PE header's machine field (0x14C i386, 0x8664 x86-64), or 0.
uint32_t PeMachine(const std::string& path) {
  uint8_t b[4];
  if (!ReadAt(path, 0x3C, b, 4)) return 0;
  const uint32_t header = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  if (!ReadAt(path, header + 4, b, 2)) return 0;
  return b[0] | b[1] << 8;
}

// The files a silent install leaves in the destination: setup.exe puts every file
// into that one folder, so files of one name (letters compared without case) end as one.
uint32_t InstalledFileNames(const std::string& product) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(product)) {
    if (!e.is_regular_file()) continue;
    std::string name = e.path().filename().string();
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    names.insert(name);
  }
  return static_cast<uint32_t>(names.size());
}

uint32_t CountFiles(const std::string& dir) {
  uint32_t count = 0;
  std::error_code error;
  for (auto e = fs::recursive_directory_iterator(dir, error); !error && e != fs::recursive_directory_iterator();
       e.increment(error))
    count += e->is_regular_file();
  return count;
}

// Wine as scripts/wine-env.sh (use_wine_for) and the end-to-end tests set it up, with
// its prefix and HOME below root, and no display: /S opens no window.
std::vector<std::string> WineEnvironment(const std::string& root, bool x64) {
  std::vector<std::string> env = {"HOME=" + root + "/home", "WINEPREFIX=" + root + "/prefix", "WINEDEBUG=-all",
                                  "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d",
                                  "DISPLAY", "WAYLAND_DISPLAY"};
  if (x64) {
    const char* path = getenv("PATH");
    env.push_back(std::string("PATH=") + BENCH_WINE64_DIR + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
    env.push_back("WINELOADER=/usr/lib/wine/wine64");
    env.push_back("WINEARCH=win64");
  }
  return env;
}

// Runs `program /S /D=C:\silent\NAME` under Wine into a fresh folder; false unless it
// exits 0 and leaves `files` files there. The folder is removed again afterwards.
bool SilentInstall(const std::string& root, const std::vector<std::string>& env, const std::string& program,
                   const std::string& name, uint32_t files, ChildRun* run) {
  const std::string folder = root + "/prefix/drive_c/silent/" + name;
  std::error_code error;
  fs::remove_all(folder, error);
  sync();
  ChildIo io;
  io.environment = env;
  io.errors = root + "/wine-errors.txt";
  *run = RunChild({"wine", program, "/S", "/D=C:\\silent\\" + name}, io);
  const std::string what = "silent install (" + name + ")";
  if (!Check(*run, what.c_str(), io.errors)) return false;
  const uint32_t found = CountFiles(folder);
  fs::remove_all(folder, error);
  if (found == files) return true;
  fprintf(stderr, "installer: %s left %u files in C:\\silent\\%s instead of %u\n", what.c_str(), found,
          name.c_str(), files);
  return false;
}

// The silent-install row for one setup.exe: an installer packed on it against an NSIS
// installer of the same width and files, alternating, in one Wine prefix that a
// persistent wineserver keeps up between runs (so no run pays the prefix's start-up).
bool SilentInstallRow(const std::string& work, const std::string& setup, const std::string& setupkit,
                      const std::string& makensis, const Product& product, BenchFigure* figure) {
  if (!fs::is_regular_file(setup)) {
    fprintf(stderr, "installer: %s is missing; build it first\n", setup.c_str());
    return false;
  }
  const uint32_t machine = PeMachine(setup);
  if (machine != 0x8664 && machine != 0x14C) {
    fprintf(stderr, "installer: %s is not an i386 or x86-64 program\n", setup.c_str());
    return false;
  }
  const bool x64 = machine == 0x8664;
  const std::string root = work + (x64 ? "/silent-x64" : "/silent-x86");
  const std::string target = x64 ? "amd64-unicode" : "x86-unicode";
  *figure = BenchFigure(std::string("silent install, ") + (x64 ? "64-bit" : "32-bit"), "s wall", 2,
                        "NSIS " + target + " /S /D=", BenchTarget::kRatioAtMost, 1.0);
  std::error_code error;
  fs::create_directories(root + "/home", error);
  fs::create_directories(root + "/prefix", error);

  const std::string ours = root + "/ours.exe", theirs = root + "/nsis.exe";
  ChildIo io;
  io.output = root + "/pack.txt";
  io.errors = root + "/pack-errors.txt";
  ChildRun pack = RunChild({setupkit, "pack", "--stub", setup, "--out", ours, "--product-code", "BEN", "--date",
                            kDate, "--from", product.dir},
                           io);
  if (!Check(pack, "setupkit pack (silent install)", io.errors)) return false;
  if (!makensis.empty()) {
    io.output = io.errors = root + "/makensis.log";
    ChildRun nsis = RunChild(
        {makensis, "-V2", WriteNsisScript(root + "/nsis", target, "File /r \"" + product.dir + "/*\"")}, io);
    if (!Check(nsis, "makensis (silent install)", io.output)) return false;
  }

  const std::vector<std::string> env = WineEnvironment(root, x64);
  ChildIo wine;
  wine.environment = env;
  wine.output = wine.errors = root + "/wineboot.log";
  if (!Check(RunChild({"wineserver", "-p"}, wine), "wineserver -p", wine.errors)) return false;
  bool ok = Check(RunChild({"wineboot", "-i"}, wine), "wineboot -i", wine.errors);
  std::vector<double> oursCpu, theirsCpu;
  const uint32_t oursFiles = InstalledFileNames(product.dir);
  for (int run = 0; ok && run < kSilentRuns; ++run) {
    ChildRun r;
    ok = SilentInstall(root, env, ours, "ours", oursFiles, &r);
    if (!ok) break;
    figure->ours.push_back(r.wallSeconds);
    oursCpu.push_back(r.cpuSeconds);
    if (makensis.empty()) continue;
    ok = SilentInstall(root, env, theirs, "nsis", product.files, &r);
    if (!ok) break;
    figure->theirs.push_back(r.wallSeconds);
    theirsCpu.push_back(r.cpuSeconds);
  }
  wine.output = wine.errors = "/dev/null";
  RunChild({"wineserver", "-k"}, wine);
  char text[120];
  snprintf(text, sizeof(text), "CPU %.2f vs %.2f s; %u vs %u files", Median(oursCpu), Median(theirsCpu), oursFiles,
           product.files);
  figure->comment = text;
  return ok;
}

uint32_t CountLines(const std::string& path, const std::string& containing) {
  std::ifstream in(path);
  std::string line;
  uint32_t count = 0;
  while (std::getline(in, line)) count += line.find(containing) != std::string::npos;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: installer_bench CACHE_DIR JSON_OUT SETUPKIT [STUB [SILENT_SETUP...]]\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string cache = fs::absolute(argv[1]).string();
  const std::string jsonPath = argv[2];
  const std::string setupkit = fs::absolute(argv[3]).string();
  const std::string work = cache + "/installer";
  std::error_code error;
  fs::remove_all(work, error);
  fs::create_directories(work + "/nsis", error);

  Product product;
  if (!PrepareProduct(cache, &product)) return 1;
  const double megabytes = static_cast<double>(product.bytes) / 1e6;
  BenchReport report("installer");
  report.Input("product_dir", product.dir);
  report.Input("product_files", product.files);
  report.Input("product_bytes", static_cast<double>(product.bytes));
  report.Note("product: " + std::to_string(product.files) + " files, " + std::to_string(product.bytes) +
              " bytes, whole files <= 4 MiB from /usr/lib (fixed selection), " + product.dir);

  // The stub: the real one when it has been built, else a stand-in of the same kind.
  std::string stub = argc >= 5 ? argv[4] : "";
  const bool realStub = !stub.empty() && fs::is_regular_file(stub);
  if (!realStub) {
    stub = work + "/fake-stub.exe";
    if (!WriteFakeStub(stub)) return 1;
    report.Note(std::string("stub: ") + (argc >= 5 ? argv[4] : "setup.exe") +
                " is not built; a fake 1024-byte PE stub is used (padded to offset 89999: payload sizes are unaffected)");
  }
  report.Input("stub", stub);
  report.Input("stub_is_fake", realStub ? "no" : "yes");
  const uint64_t stubSize = FileSize(stub);
  const uint64_t payloadOffset = std::max<uint64_t>(stubSize, kPayloadSearchStart);

  const std::string sevenZip = FindProgram("7zz");
  const std::string makensis = FindProgram("makensis");
  const std::string xz = FindProgram("xz");

  // Pack, alternating with 7zz a on the same files.
  const std::string installer = work + "/product.exe";
  const std::string archive = work + "/product.7z";
  BenchFigure packSpeed("pack speed", "MB/s CPU", 1, "7zz a", BenchTarget::kRatioAtLeast, 1.0);
  BenchFigure packWall("pack speed, wall", "MB/s", 1, "7zz a");
  std::vector<double> installerSizes, archiveSizes;
  for (int run = 0; run < kPackRuns; ++run) {
    ChildIo io;
    io.output = work + "/pack.txt";
    io.errors = work + "/pack-errors.txt";
    sync();
    ChildRun pack = RunChild({setupkit, "pack", "--stub", stub, "--out", installer, "--product-code", "BEN", "--date",
                              kDate, "--from", product.dir},
                             io);
    if (!Check(pack, "setupkit pack", io.errors)) return 1;
    packSpeed.ours.push_back(megabytes / pack.cpuSeconds);
    packWall.ours.push_back(megabytes / pack.wallSeconds);
    installerSizes.push_back(static_cast<double>(FileSize(installer)));
    if (sevenZip.empty()) continue;
    fs::remove(archive, error);
    ChildIo in;
    in.directory = product.dir;
    in.errors = work + "/7zz-errors.txt";
    sync();
    ChildRun seven =
        RunChild({sevenZip, "a", kSevenZipMethod, "-mx=9", "-mf=off", "-ms=on", "-bd", archive, "."}, in);
    if (!Check(seven, "7zz a", in.errors)) return 1;
    packSpeed.theirs.push_back(megabytes / seven.cpuSeconds);
    packWall.theirs.push_back(megabytes / seven.wallSeconds);
    archiveSizes.push_back(static_cast<double>(FileSize(archive)));
  }
  const uint32_t warnings = CountLines(work + "/pack-errors.txt", "warning");
  if (warnings > 0) {
    report.Note("setupkit pack warns that files share a file name (the installer puts every file into one folder): "
                "expected for this tree; see " + work + "/pack-errors.txt");
  }
  if (*std::min_element(installerSizes.begin(), installerSizes.end()) !=
      *std::max_element(installerSizes.begin(), installerSizes.end())) {
    report.Note("WARNING: setupkit pack gave installers of different sizes from the same inputs");
  }
  const uint64_t payloadSize = FileSize(installer) - payloadOffset;
  std::vector<double> payloadSizes;
  for (double size : installerSizes) payloadSizes.push_back(size - static_cast<double>(payloadOffset));

  BenchFigure sizeSeven("payload size", "bytes", 0, "7zz a -m0=lzma:d=16m -mx=9 -mf=off -ms=on",
                        BenchTarget::kRatioAtMost, 1.01);
  sizeSeven.ours = payloadSizes;
  sizeSeven.theirs = archiveSizes;

  // makensis: the product, and a one-byte product whose installer is the fixed part to subtract.
  BenchFigure sizeNsis("payload size", "bytes", 0, "makensis SetCompressor /SOLID lzma, DictSize 16");
  sizeNsis.ours = payloadSizes;
  double nsisCpu = 0;
  if (!makensis.empty()) {
    const std::string one = work + "/nsis/one.bin";
    std::ofstream(one) << 'x';
    auto script = [&](const std::string& name, const std::string& fileLine) {
      return WriteNsisScript(work + "/nsis/" + name, "", fileLine);
    };
    ChildIo io;
    io.output = work + "/nsis/makensis.log";
    io.errors = io.output;
    ChildRun base = RunChild({makensis, "-V2", script("one", "File \"" + one + "\"")}, io);
    if (!Check(base, "makensis (one-byte product)", io.output)) return 1;
    ChildRun full = RunChild({makensis, "-V2", script("product", "File /r \"" + product.dir + "/*\"")}, io);
    if (!Check(full, "makensis (product)", io.output)) return 1;
    nsisCpu = full.cpuSeconds;
    sizeNsis.theirs.push_back(static_cast<double>(FileSize(work + "/nsis/product.exe")) -
                              static_cast<double>(FileSize(work + "/nsis/one.exe")));
    sizeNsis.comment = "installer - installer of a 1-byte product";
  }

  // The installer's stream as an .lzma file, checked once by decoding it whole.
  uint64_t streamSize = PackedStreamSize(work + "/pack.txt");
  if (streamSize == 0 || streamSize + kPayloadMagicSize + kContainerHeaderSize > payloadSize) {
    fprintf(stderr, "installer: cannot read the stream size from setupkit pack's report\n");
    return 1;
  }
  const std::string alone = work + "/product.lzma";
  uint32_t unpacked = 0;
  if (!WriteAloneFile(installer, payloadOffset, streamSize, alone, &unpacked)) {
    fprintf(stderr, "installer: no payload at offset %llu of %s\n", static_cast<unsigned long long>(payloadOffset),
            installer.c_str());
    return 1;
  }
  const std::vector<std::string> xzDecode = {xz, "--format=lzma", "-d", "-c"};
  bool xzRuns = !xz.empty();
  if (xzRuns) {
    ChildIo io;
    io.input = alone;
    io.output = work + "/xz-check.bin";
    xzRuns = RunChild(xzDecode, io).exitCode == 0 && FileSize(io.output) == unpacked;
    if (!xzRuns) report.Note("WARNING: xz could not decode the installer's stream to its unpacked size");
    fs::remove(io.output, error);
  }

  // Verify against xz, alternating.
  BenchFigure verify("verify time", "s CPU", 3, "xz --format=lzma -d", BenchTarget::kRatioAtMost, 1.05);
  BenchFigure memory("verify peak memory", "MiB", 1, "xz --format=lzma -d", BenchTarget::kValueAtMost, 20);
  std::vector<double> verifyWall, xzWall;
  sync();
  for (int run = 0; run < kDecodeRuns; ++run) {
    ChildRun ours = RunChild({setupkit, "verify", installer});
    if (!Check(ours, "setupkit verify")) return 1;
    verify.ours.push_back(ours.cpuSeconds);
    verifyWall.push_back(ours.wallSeconds);
    memory.ours.push_back(static_cast<double>(ours.peakKib) / 1024);
    if (!xzRuns) continue;
    ChildIo io;
    io.input = alone;
    ChildRun theirs = RunChild(xzDecode, io);
    if (!Check(theirs, "xz --format=lzma -d")) return 1;
    verify.theirs.push_back(theirs.cpuSeconds);
    xzWall.push_back(theirs.wallSeconds);
    memory.theirs.push_back(static_cast<double>(theirs.peakKib) / 1024);
  }
  char text[160];
  snprintf(text, sizeof(text), "%.1f MB/s of entry stream; wall %.3f vs %.3f s",
           static_cast<double>(unpacked) / 1e6 / Median(verify.ours), Median(verifyWall), Median(xzWall));
  verify.comment = text;

  // Extract against 7zz x, each into a fresh folder on the same file system, alternating.
  // The file system's share (system time) varies with the write-back of earlier runs:
  // each run starts after the previous output is removed and everything is synced.
  BenchFigure extract("extract time", "s CPU", 3, "7zz x", BenchTarget::kRatioAtMost, 1.0);
  BenchFigure extractUser("  of it user", "s CPU", 3, "7zz x");
  BenchFigure extractSystem("  of it system", "s CPU", 3, "7zz x");
  std::vector<double> extractWall, sevenWall;
  const std::string oursDir = work + "/extract-setupkit", theirDir = work + "/extract-7zz";
  for (int run = 0; run < kDecodeRuns; ++run) {
    fs::remove_all(oursDir, error);
    fs::remove_all(theirDir, error);
    sync();
    ChildIo io;
    io.errors = work + "/extract-errors.txt";
    ChildRun ours = RunChild({setupkit, "extract", installer, oursDir}, io);
    if (!Check(ours, "setupkit extract", io.errors)) return 1;
    extract.ours.push_back(ours.cpuSeconds);
    extractUser.ours.push_back(ours.userSeconds);
    extractSystem.ours.push_back(ours.systemSeconds);
    extractWall.push_back(ours.wallSeconds);
    std::string difference = run == 0 ? CompareTree(product.dir, oursDir) : "";
    if (!difference.empty()) {
      fprintf(stderr, "installer: setupkit extract: %s\n", difference.c_str());
      return 1;
    }
    if (sevenZip.empty()) continue;
    fs::remove_all(oursDir, error);
    sync();
    ChildRun theirs = RunChild({sevenZip, "x", "-y", "-bd", "-o" + theirDir, archive}, io);
    if (!Check(theirs, "7zz x", io.errors)) return 1;
    extract.theirs.push_back(theirs.cpuSeconds);
    extractUser.theirs.push_back(theirs.userSeconds);
    extractSystem.theirs.push_back(theirs.systemSeconds);
    sevenWall.push_back(theirs.wallSeconds);
    difference = run == 0 ? CompareTree(product.dir, theirDir) : "";
    if (!difference.empty()) {
      fprintf(stderr, "installer: 7zz x: %s\n", difference.c_str());
      return 1;
    }
  }
  fs::remove_all(oursDir, error);
  fs::remove_all(theirDir, error);
  snprintf(text, sizeof(text), "wall %.3f vs %.3f s", Median(extractWall), Median(sevenWall));
  extract.comment = text;

  // Silent install under Wine, one row per setup.exe build; ours and NSIS alternating.
  std::vector<BenchFigure> silent;
  for (int i = 5; i < argc; ++i) {
    BenchFigure figure("silent install", "s wall", 2);
    if (!SilentInstallRow(work, fs::absolute(argv[i]).string(), setupkit, makensis, product, &figure)) return 1;
    silent.push_back(figure);
  }

  snprintf(text, sizeof(text), "payload = installer - %llu; stream %llu bytes",
           static_cast<unsigned long long>(payloadOffset), static_cast<unsigned long long>(streamSize));
  sizeSeven.comment = std::string(text) + "; peer: the whole .7z";
  if (nsisCpu > 0) {
    snprintf(text, sizeof(text), "; makensis %.1f MB/s CPU (one run)", megabytes / nsisCpu);
    sizeNsis.comment += text;
  }

  report.Add(verify);
  report.Add(extract);
  report.Add(extractUser);
  report.Add(extractSystem);
  report.Add(sizeSeven);
  report.Add(sizeNsis);
  report.Add(packSpeed);
  report.Add(packWall);
  report.Add(memory);
  if (realStub) {
    BenchFigure stubSizeFigure("stub size", "bytes", 0, "nsis Stubs/lzma_solid-x86-unicode",
                               BenchTarget::kValueAtMost, kStubTargetBytes);
    stubSizeFigure.ours.push_back(static_cast<double>(stubSize));
    if (FileSize(kNsisStub) > 0) stubSizeFigure.theirs.push_back(static_cast<double>(FileSize(kNsisStub)));
    report.Add(stubSizeFigure);
  }
  for (const BenchFigure& figure : silent) report.Add(figure);

  report.Note("times: CPU seconds (user + system) of each child from wait4, median of " +
              std::to_string(kDecodeRuns) + " runs for verify and extract and " + std::to_string(kPackRuns) +
              " for pack, ours and peer alternating, each after a sync; wall times are for reference only");
  report.Note("pack speed: product bytes per CPU second; 7zz a runs its match finder in a second thread (its "
              "default), and its CPU seconds count both threads");
  report.Note("verify vs xz: the installer's raw stream (no end marker) behind a 13-byte .lzma header (its 5 "
              "properties bytes, unpacked size as 64-bit LE), decoded by xz --format=lzma -d: the same stream");
  report.Note("sizes: setupkit payload = magic + header + stream; 7z = whole archive; NSIS = installer minus one "
              "of a 1-byte product; pack sizes are identical across runs, so their median is the size");
  if (!silent.empty()) {
    report.Note("silent install: setup.exe /S /D=C:\\silent\\ours of an installer packed on that build, against "
                "an NSIS installer of the same files (makensis Target of the same width, SetCompressor /SOLID lzma, "
                "DictSize 16) run as /S /D=C:\\silent\\nsis; wall seconds from fork to exit of the Wine process, "
                "median of " + std::to_string(kSilentRuns) + " runs alternating, each into a fresh folder after a sync; "
                "one fresh Wine prefix per row (wineboot once, wineserver -p kept up, no display); every run must "
                "exit 0 and leave the product's files (ours: one folder, files of one name end as one)");
  }
  // A forked child starts with the bench's resident size as its peak; below the
  // child's own peak that start does not show in ru_maxrss.
  const double benchPeak = static_cast<double>(BenchPeakKib()) / 1024;
  snprintf(text, sizeof(text), "memory: ru_maxrss of each child from wait4; the bench's own peak, %.1f MiB, %s", benchPeak,
           benchPeak < *std::min_element(memory.ours.begin(), memory.ours.end())
               ? "is below it, so the figure is the child's own"
               : "is NOT below it: the figure is an upper bound");
  report.Note(text);
  report.Print(stdout);
  // The three speed ratios of this one run, side by side.
  printf("speed ratios: extract %s (target <= 1.0), pack %s (target >= 1.0, payload size %s, <= 1.01), verify %s "
         "(target <= 1.05)\n",
         report.RatioText("extract time").c_str(), report.RatioText("pack speed").c_str(),
         report.RatioText("payload size").c_str(), report.RatioText("verify time").c_str());
  if (!report.WriteJson(jsonPath)) {
    fprintf(stderr, "installer: cannot write %s\n", jsonPath.c_str());
    return 1;
  }
  return 0;
}
