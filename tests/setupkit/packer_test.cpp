// The packer's padding: every installer it writes is one the locator finds.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/lzma_test_util.h"
#include "archive/payload_locator.h"
#include "setupkit/packer.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

uint32_t LocateIn(const std::string& path) {
  TestFile file(path);
  return PayloadLocator(file.file, PlatformGetFileSize(file.file));
}

}  // namespace

TEST(Pack, FindableSizeIsWhatTheLocatorNeeds) {
  const uint64_t s = kPayloadSearchStart;
  // Magic in the first read, ending on its last byte or one before, straddling into the second, in the third.
  for (uint64_t offset : {s, s + 4087, s + 4088, s + 4091, s + 8180}) {
    const uint64_t size = PackFindableSize(offset);
    std::vector<uint8_t> bytes(size, 0);
    for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[offset + i] = PayloadMagicByte(i);
    const std::string path = TestTempDir() + "/magic.bin";
    TestWriteFile(path, bytes);
    EXPECT_EQ(offset + kPayloadMagicSize, LocateIn(path)) << "magic at " << offset;
    fs::resize_file(path, size - 1);
    EXPECT_EQ(0u, LocateIn(path)) << "magic at " << offset << ", one byte short";
  }
}
