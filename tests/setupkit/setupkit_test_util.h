// Helpers for the setupkit tests: a fake stub, product trees, and running the
// tool's commands with their output captured.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/lzma_test_util.h"
#include "archive/stub_marker.h"
#include "setupkit/packer.h"
#include "setupkit/commands.h"
#include "test_files.h"

// The smallest PE image StubCheck accepts, padded with 0x90 to `size` bytes: MZ
// header, PE signature, i386 COFF header and a PE32 optional header with 16 data
// directories, and the stub marker unless left out. `certificateSize` fills the security directory as signing would: the table is the file's last bytes.
// Offsets: e_lfanew 0x3C, COFF header 0x44, optional header 0x58, its security directory 0xD8.
inline std::vector<uint8_t> TestFakeStub(size_t size = 1024, uint32_t certificateSize = 0, bool withMarker = true) {
  std::vector<uint8_t> bytes(size < 312 ? 312 : size, 0x90);
  std::fill(bytes.begin(), bytes.begin() + 312, 0);
  const uint32_t fields[][2] = {{0, 'M' | 'Z' << 8}, {0x3C, 0x40},  {0x40, 'P' | 'E' << 8},
                                {0x44, 0x14C},       {0x54, 224},   {0x58, 0x10B},
                                {0xB4, 16},          {0xD8, certificateSize != 0 ? uint32_t(size - certificateSize) : 0},
                                {0xDC, certificateSize}};
  for (const auto& f : fields)
    for (int i = 0; i < 4; ++i) bytes[f[0] + i] = static_cast<uint8_t>(f[1] >> (8 * i));
  const std::string marker = SETUP_STUB_MARKER;
  if (withMarker && bytes.size() >= 312 + marker.size()) std::copy(marker.begin(), marker.end(), bytes.begin() + 312);
  return bytes;
}

// TestFakeStub with the machine field of an x86-64 image.
inline std::vector<uint8_t> TestFakeStub64(size_t size = 1024) {
  std::vector<uint8_t> bytes = TestFakeStub(size);
  bytes[0x44] = 0x64, bytes[0x45] = 0x86;
  return bytes;
}

// A stub written to a fresh folder; returns its path.
inline std::string TestWriteStub(size_t size = 1024, uint32_t certificateSize = 0) {
  std::string path = TestTempDir() + "/stub.exe";
  TestWriteFile(path, TestFakeStub(size, certificateSize));
  return path;
}

// Writes `files` (relative path in UTF-8 with '/', contents) below `root`,
// creating folders. Paths go through std::filesystem, since on Windows a narrow
// path would be read in the ANSI code page.
inline void TestWriteTree(const std::string& root, const std::map<std::string, std::string>& files) {
  for (const auto& f : files) {
    std::filesystem::path path = std::filesystem::u8path(root + "/" + f.first);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << f.second;
    if (!out) throw std::runtime_error("cannot write " + path.u8string());
  }
}

// Every regular file below `root` as relative path (UTF-8 with '/') and contents.
inline std::map<std::string, std::string> TestReadTree(const std::string& root) {
  std::map<std::string, std::string> files;
  const std::filesystem::path base = std::filesystem::u8path(root);
  for (const auto& e : std::filesystem::recursive_directory_iterator(base)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    files[e.path().lexically_relative(base).generic_u8string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

// How setupkit names a missing file: Win32 words on Windows, the system's own text elsewhere.
#ifdef _WIN32
const char kTestNoSuchFile[] = "file not found (error 2)";
#else
const char kTestNoSuchFile[] = "No such file or directory";
#endif

inline bool TestHasText(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

struct TestRun { int code; std::string out, err; };

inline TestRun TestSetupkit(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = SetupkitRun(args, out, err, kProgressNone);
  return {code, out.str(), err.str()};
}

// A product that warns of nothing: a name, a main program and an uninstaller.
const std::map<std::string, std::string> kTestGoodProduct = {
    {"FILE_ID.DIZ", "Pad Version 1.2\n"}, {"Ed.exe", "e"}, {"UnInst.exe", "u"}};

// `files` with `name` given `contents`, or left out when that is null.
inline std::map<std::string, std::string> TestChanged(std::map<std::string, std::string> files, const std::string& name,
                                                      const char* contents) {
  return contents == nullptr ? (files.erase(name), files) : (files[name] = contents, files);
}

// Packs `folder` with a fixed date and a small dictionary.
inline TestRun TestPack(const std::string& stub, const std::string& folder, const std::string& output) {
  return TestSetupkit({"pack", "--stub", stub, "--out", output, "--product-code", "ABC", "--date", "2024-05-01",
                       "--dict-size", "64K", "--from", folder});
}

// A crafted installer: stub, payload and enough zeros behind it for the locator;
// `flip` inverts bits in the middle of the LZMA stream.
inline std::string TestCrafted(const std::vector<uint8_t>& stream, uint8_t flip = 0, uint32_t dictionary = 1u << 16) {
  TestLzma lzma = TestLzmaEncode(stream, false, dictionary);
  lzma.stream[lzma.stream.size() / 2] ^= flip;
  std::vector<uint8_t> bytes = TestFakeStub(kPayloadSearchStart), container = TestContainer(lzma, stream.size());
  bytes.insert(bytes.end(), container.begin(), container.end());
  bytes.resize(std::max<uint64_t>(bytes.size(), PackFindableSize(kPayloadSearchStart)), 0);
  std::string path = TestTempDir() + "/crafted.exe";
  TestWriteFile(path, bytes);
  return path;
}
