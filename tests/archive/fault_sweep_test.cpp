// Fault sweeps over whole installers made by `setupkit pack`: every truncation
// of the payload, every byte of the LZMA stream inverted, and a destination
// that fills up mid-pass. Each damaged installer must give a clear result,
// never a crash, and nothing may be written outside the destination.
#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "archive/archive_pass.h"
#include "archive/entry_format.h"
#include "archive/payload_format.h"
#include "lzma_test_util.h"
#include "setupkit/inspector.h"
#include "setupkit/packer.h"
#include "setupkit/setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

typedef std::map<std::string, std::string> Tree;

struct Packed {
  std::string path;
  std::vector<uint8_t> bytes;
  uint64_t streamStart;  // first byte of the LZMA stream
  uint64_t streamEnd;    // behind its last byte; zero padding may follow
};

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Packs `tree` behind a fake stub (padded to the search start) with a small dictionary.
Packed PackTree(const Tree& tree) {
  std::string folder = TestTempDir();
  TestWriteTree(folder, tree);
  PackJob job;
  job.stub = TestFakeStub();
  job.productCode = "SWP";
  job.productWindowClass = "SweepWindow";
  job.mainProgramName = "tool.exe";
  job.archiveDate = ArchiveDateFromYmd(2024, 5, 1);
  job.dictionarySize = 65536;
  EXPECT_EQ("", ProductFilesFromFolder(folder, &job.files));
  job.output = TestTempDir() + "/setup.exe";
  PackReport report;
  EXPECT_EQ("", PackInstaller(job, PackProgress(), &report));
  Packed packed;
  packed.path = job.output.string();
  packed.bytes = TestReadFile(packed.path);
  packed.streamStart = kPayloadSearchStart + kPayloadMagicSize + kContainerHeaderSize;
  packed.streamEnd = packed.streamStart + report.streamSize;
  EXPECT_EQ(packed.bytes.size(), report.installerSize);
  return packed;
}

// A small product: a description, a language file, text, random bytes and an empty file.
Tree SmallTree(size_t randomBytes) {
  return {{"FILE_ID.DIZ", "Sweep Product Version 1.0\r\n"},
          {"Lang/Sweep_DE.LNG", "[Language]\r\nLanguage=Deutsch\r\n"},
          {"bin/tool.exe", AsText(TestCompressibleBytes(3000, 7))},
          {"data/random.bin", AsText(TestRandomBytes(randomBytes, 8))},
          {"empty", ""}};
}

// Every path below `root`, as UTF-8 relative paths with '/'.
std::vector<std::string> Listing(const std::string& root) {
  std::vector<std::string> paths;
  for (const auto& e : fs::recursive_directory_iterator(fs::u8path(root))) {
    paths.push_back(e.path().lexically_relative(fs::u8path(root)).generic_u8string());
  }
  return paths;
}

// What one extraction into `sandbox`/dest did.
struct Extracted {
  int code;
  std::string problem;
  Tree files;
  std::vector<std::string> outside;  // paths in the sandbox but not under dest
};

// Extracts into `sandbox`/dest, then empties the sandbox again.
Extracted Extract(const std::string& installer, const std::string& sandbox) {
  const std::string dest = sandbox + "/dest";
  Extracted x;
  ExtractReport report;
  x.code = InspectExtract(fs::u8path(installer), fs::u8path(dest), &report, &x.problem);
  std::vector<std::string> listing = Listing(sandbox);
  for (const std::string& p : listing) {
    if (p != "dest" && p.compare(0, 5, "dest/") != 0) x.outside.push_back(p);
  }
  if (listing.size() > 1 || !x.outside.empty()) {
    if (fs::is_directory(fs::u8path(dest))) x.files = TestReadTree(dest);
    for (const auto& e : fs::directory_iterator(fs::u8path(sandbox))) fs::remove_all(e.path());
  }
  return x;
}

// Natively every offset is swept. Under Wine each extraction costs some
// milliseconds of file calls through the Wine server, so the Windows tier takes
// every eighth offset: the portable code is the same, only the backend differs.
#ifdef _WIN32
const uint64_t kSweepStride = 8;
#else
const uint64_t kSweepStride = 1;
#endif

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// A payload longer than the locator's first read, so that cuts behind that read
// reach the decoder and the entry parser. No padding follows the stream.
TEST(FaultSweep, EveryTruncationOfThePayloadIsBroken) {
  const Tree tree = SmallTree(4400);
  Packed packed = PackTree(tree);
  ASSERT_GT(packed.streamEnd, PackFindableSize(kPayloadSearchStart));
  ASSERT_EQ(packed.bytes.size(), packed.streamEnd);
  const std::string installer = TestTempDir() + "/cut.exe";
  TestWriteFile(installer, packed.bytes);
  const std::string sandbox = TestTempDir();

  auto start = std::chrono::steady_clock::now();
  std::map<std::string, int> problems;
  // From the longest cut down, shrinking one file in place.
  size_t cuts = 0;
  for (uint64_t length = packed.bytes.size() - 1; length >= kPayloadSearchStart; length -= kSweepStride) {
    ++cuts;
    fs::resize_file(fs::u8path(installer), length);
    ASSERT_GT(0, ArchivePass(TestWidePath(installer).c_str(), nullptr, nullptr)) << "cut to " << length;
    Extracted x = Extract(installer, sandbox);
    ASSERT_EQ(kExitBrokenPayload, x.code) << "cut to " << length << ": " << x.problem;
    ASSERT_EQ(std::vector<std::string>(), x.outside) << "cut to " << length;
    // Whatever was written is an entry of the product, correct as far as it goes.
    for (const auto& f : x.files) {
      ASSERT_EQ(1u, tree.count(f.first)) << "cut to " << length << " wrote " << f.first;
      ASSERT_EQ(0, tree.at(f.first).compare(0, f.second.size(), f.second)) << "cut to " << length << ": " << f.first;
    }
    problems[x.problem.substr(x.problem.find(": ") + 2)] += 1;
  }
  std::cout << "[ sweep    ] " << cuts << " cuts in " << SecondsSince(start) << " s:";
  for (const auto& p : problems) std::cout << "\n[ sweep    ]   " << p.second << " x " << p.first;
  std::cout << std::endl;
  // The whole file still extracts: the sweep itself did not disturb anything.
  TestWriteFile(installer, packed.bytes);
  Extracted whole = Extract(installer, sandbox);
  EXPECT_EQ(kExitSuccess, whole.code) << whole.problem;
  EXPECT_EQ(tree, whole.files);
}

TEST(FaultSweep, EveryInvertedStreamByteIsDetectedOrHarmless) {
  const Tree tree = SmallTree(200);
  Packed packed = PackTree(tree);
  ASSERT_LT(packed.streamEnd, packed.bytes.size());  // a small one: zero padding follows the stream
  const std::string installer = TestTempDir() + "/flip.exe";
  const std::string sandbox = TestTempDir();

  auto start = std::chrono::steady_clock::now();
  size_t broken = 0, failed = 0, identical = 0, flips = 0;
  std::map<std::string, int> problems;
  TestWriteFile(installer, packed.bytes);
  // One byte changes at a time, in place, and is put back after.
  auto poke = [&](uint64_t at, uint8_t value) {
    std::fstream file(fs::u8path(installer), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(static_cast<char>(value));
    ASSERT_TRUE(file.good());
  };
  for (uint64_t at = packed.streamStart; at < packed.streamEnd; at += kSweepStride) {
    poke(at, packed.bytes[at] ^ 0xFF);
    ++flips;
    Extracted x = Extract(installer, sandbox);
    ASSERT_EQ(std::vector<std::string>(), x.outside) << "byte " << at << " inverted";
    if (x.code == kExitBrokenPayload) {
      ++broken;
      problems[x.problem.substr(x.problem.find(": ") + 2)] += 1;
    } else if (x.code == kExitFailure) {
      ++failed;  // reported as an output that cannot be written (a garbled name)
    } else {
      ASSERT_EQ(kExitSuccess, x.code) << "byte " << at << " inverted";
      // Reported as whole: then it must be the very product.
      EXPECT_EQ(tree, x.files) << "byte " << at << " inverted: undetected corruption";
      ++identical;
    }
    poke(at, packed.bytes[at]);
  }
  EXPECT_EQ(packed.bytes, TestReadFile(installer));
  double share = 100.0 * static_cast<double>(broken + failed) / static_cast<double>(flips);
  std::cout << "[ sweep    ] " << flips << " stream bytes inverted in " << SecondsSince(start) << " s: " << broken
            << " broken, " << failed << " write errors, " << identical << " identical output; detected " << share
            << " %";
  for (const auto& p : problems) std::cout << "\n[ sweep    ]   " << p.second << " x " << p.first;
  std::cout << std::endl;
  EXPECT_GT(share, 90.0);
}

// Mounts a tmpfs of 64 KiB for the destination, so a write fails with ENOSPC
// (112) part way through the second entry.
TEST(FaultSweep, FullDestinationReports112AndGoesOn) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a Linux tmpfs mounted by the test";
#else
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs (running as uid " << geteuid() << ")";
  const Tree tree = {{"a.txt", std::string(2000, 'a')},
                     {"big.bin", AsText(TestRandomBytes(200000, 9))},
                     {"c.txt", std::string(2000, 'c')},
                     {"d.txt", std::string(1000, 'd')}};
  Packed packed = PackTree(tree);
  const std::string mount = TestTempDir() + "/small";
  fs::create_directories(mount);
  if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs on " << mount << ": " << strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{mount};

  struct Seen {
    std::u16string folder;
    std::vector<std::u16string> decisions;
  } seen{TestWidePath(mount), {}};
  auto accept = [](char16_t* name, const uint8_t* data, uint32_t, void* context) -> int {
    if (data != nullptr) return 0;
    Seen* s = static_cast<Seen*>(context);
    s->decisions.push_back(name);
    std::u16string path = s->folder + u"\\" + name;
    std::copy(path.c_str(), path.c_str() + path.size() + 1, name);
    return 1;
  };
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(112, ArchivePass(TestWidePath(packed.path).c_str(), accept, &seen));
  EXPECT_EQ((std::vector<std::u16string>{u"a.txt", u"big.bin", u"c.txt", u"d.txt"}), seen.decisions);
  EXPECT_EQ(tree.at("a.txt"), AsText(TestReadFile(mount + "/a.txt")));
  // The entries after the full one were still attempted: their files were created.
  EXPECT_TRUE(fs::exists(mount + "/c.txt"));
  EXPECT_TRUE(fs::exists(mount + "/d.txt"));

  // setupkit extract says which file could not be written, and why.
  for (const auto& e : fs::directory_iterator(mount)) fs::remove_all(e.path());
  ExtractReport report;
  std::string problem;
  EXPECT_EQ(kExitFailure, InspectExtract(fs::u8path(packed.path), fs::u8path(mount + "/dest"), &report, &problem));
  EXPECT_EQ(4u, report.extracted);
  EXPECT_NE(std::string::npos, problem.find("disk full")) << problem;
  std::cout << "[ sweep    ] full destination in " << SecondsSince(start) << " s: " << problem << std::endl;
#endif
}
