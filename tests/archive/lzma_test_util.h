// Payload builders for the archive tests: LZMA streams from the SDK's encoder,
// containers (magic, header, stream) and installer-like files around them.
#pragma once

#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <LzmaEnc.h>

#include "archive/payload_format.h"
#include "platform/platform.h"
#include "test_files.h"

struct TestLzma {
  uint8_t properties[kContainerPropertiesSize];
  std::vector<uint8_t> stream;
};

// Raw LZMA with lc 3, lp 0, pb 2; the dictionary shrinks to fit small inputs.
inline TestLzma TestLzmaEncode(const std::vector<uint8_t>& data, bool endMark, uint32_t dictSize = 1u << 24) {
  ISzAlloc alloc = {[](void*, size_t size) { return malloc(size); }, [](void*, void* block) { free(block); }};
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 1;
  props.dictSize = dictSize;
  props.reduceSize = static_cast<UInt32>(data.size());
  TestLzma out;
  out.stream.resize(data.size() + data.size() / 2 + 1024);
  SizeT streamSize = out.stream.size(), propsSize = kContainerPropertiesSize;
  if (LzmaEncode(out.stream.data(), &streamSize, data.data(), data.size(), &props, out.properties, &propsSize,
                 endMark ? 1 : 0, nullptr, &alloc, &alloc) != SZ_OK) {
    abort();
  }
  out.stream.resize(streamSize);
  return out;
}

// Magic, properties, big-endian unpacked size, stream.
inline std::vector<uint8_t> TestContainer(const TestLzma& lzma, uint32_t unpackedSize) {
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes.push_back(PayloadMagicByte(i));
  bytes.insert(bytes.end(), lzma.properties, lzma.properties + kContainerPropertiesSize);
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(unpackedSize >> shift));
  bytes.insert(bytes.end(), lzma.stream.begin(), lzma.stream.end());
  return bytes;
}

// Filler full of near misses of the magic (B6 2C B6 2C 91 00 ...), never the magic itself.
inline std::vector<uint8_t> TestFiller(uint32_t size) {
  static const uint8_t kPattern[6] = {0xB6, 0x2C, 0xB6, 0x2C, 0x91, 0x00};
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = kPattern[i % 6];
  return bytes;
}

// Writes filler, `container` and `trailer` to a new file; returns its path.
inline std::string TestWriteInstaller(uint32_t fillerSize, const std::vector<uint8_t>& container,
                                      const std::vector<uint8_t>& trailer = {}) {
  std::vector<uint8_t> bytes = TestFiller(fillerSize);
  bytes.insert(bytes.end(), container.begin(), container.end());
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  std::string path = TestTempDir() + "/setup.exe";
  TestWriteFile(path, bytes);
  return path;
}

// An installer of the entry stream whose container announces `announced` bytes (by default
// the whole stream), padded with zeros so that the locator's read holding the magic is a full one.
inline std::string TestWriteStreamInstaller(const std::vector<uint8_t>& stream, size_t announced = SIZE_MAX) {
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(stream, false), std::min(announced, stream.size()));
  return TestWriteInstaller(kPayloadSearchStart, container, std::vector<uint8_t>(4096, 0));
}

// Random bytes; with `text`, letters from a short text: compressible, but not trivially.
inline std::vector<uint8_t> TestRandomBytes(size_t size, uint32_t seed, bool text = false) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(text ? "setup \r\n"[random() % 8] : random());
  return bytes;
}

// An open file, closed at the end of the scope.
struct TestFile {
  PlatformFile file;
  explicit TestFile(const std::string& path, bool forWrite = false)
      : file(PlatformCreateFile(TestWidePath(path).c_str(), forWrite)) {}
  ~TestFile() {
    if (file != PLATFORM_INVALID_FILE) PlatformCloseHandle(file);
  }
  TestFile(const TestFile&) = delete;
  TestFile& operator=(const TestFile&) = delete;
};
