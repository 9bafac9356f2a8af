#include "archive/payload_locator.h"

#include <gtest/gtest.h>

#include "archive/payload_format.h"
#include "lzma_test_util.h"

namespace {

const uint32_t kRead = 4092;

// A file of `size` filler bytes with a magic starting at each of `starts`.
uint32_t Locate(uint32_t size, const std::vector<uint32_t>& starts) {
  std::vector<uint8_t> bytes = TestFiller(size);
  for (uint32_t start : starts) {
    for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[start + i] = PayloadMagicByte(i);
  }
  std::string path = TestTempDir() + "/setup.exe";
  TestWriteFile(path, bytes);
  TestFile file(path);
  PlatformSetFilePointer(file.file, size / 2);  // the locator positions the file itself
  return PayloadLocator(file.file, size);
}

}  // namespace

TEST(PayloadLocator, MagicAtEveryPositionAroundReadBoundaries) {
  const uint32_t size = kPayloadSearchStart + 5 * kRead;
  for (uint32_t read = 1; read <= 3; ++read) {
    uint32_t boundary = kPayloadSearchStart + read * kRead;
    // From wholly inside the last 8 bytes of a read, through every split, to the next read's start.
    for (uint32_t start = boundary - 8; start <= boundary; ++start) {
      EXPECT_EQ(start + 4, Locate(size, {start})) << "magic at " << start << ", read boundary " << boundary;
    }
  }
}

TEST(PayloadLocator, SearchStartsAt89999AndFirstMagicWins) {
  const uint32_t size = kPayloadSearchStart + 3 * kRead;
  EXPECT_EQ(90003u, Locate(size, {89999}));
  EXPECT_EQ(0u, Locate(size, {89998}));
  EXPECT_EQ(94212u, Locate(size, {89998, 94208}));
  EXPECT_EQ(94212u, Locate(size, {94208, 94300}));
  EXPECT_EQ(90007u, Locate(size, {90003, 90500}));  // back to back with the first match
  EXPECT_EQ(0u, Locate(size, {}));
}

TEST(PayloadLocator, ShortLastReadIsNeverExamined) {
  // Two full reads, then 100 bytes: a magic in those 100 bytes stays unseen.
  const uint32_t size = kPayloadSearchStart + 2 * kRead + 100;
  EXPECT_EQ(0u, Locate(size, {kPayloadSearchStart + 2 * kRead + 10}));
  // The carried 4 bytes of a full read before the short one are not seen either.
  EXPECT_EQ(0u, Locate(size, {kPayloadSearchStart + 2 * kRead - 4}));
  EXPECT_EQ(kPayloadSearchStart + 2 * kRead - 1, Locate(size, {kPayloadSearchStart + 2 * kRead - 5}));
  // Padding the file to complete the read makes the same magic findable.
  uint32_t padded = kPayloadSearchStart + 3 * kRead;
  EXPECT_EQ(kPayloadSearchStart + 2 * kRead + 14, Locate(padded, {kPayloadSearchStart + 2 * kRead + 10}));
}

TEST(PayloadLocator, SmallFilesAndFailedReadsYieldZero) {
  for (uint32_t size : {0u, 3u, 4u, 5u, 4096u, kPayloadSearchStart - 1, kPayloadSearchStart}) {
    std::vector<uint32_t> starts;
    for (uint32_t start = 0; start + 4 <= size; start += 997) starts.push_back(start);
    if (size >= 4) starts.push_back(size - 4);
    EXPECT_EQ(0u, Locate(size, starts)) << "file of " << size << " bytes";
  }
  // A handle that cannot be read.
  std::string path = TestTempDir() + "/setup.exe";
  TestFile file(path, true);
  std::vector<uint8_t> bytes = TestFiller(kPayloadSearchStart + 2 * kRead);
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[kPayloadSearchStart + 10 + i] = PayloadMagicByte(i);
  uint32_t put = 0;
  ASSERT_TRUE(PlatformWriteFile(file.file, bytes.data(), static_cast<uint32_t>(bytes.size()), &put));
  EXPECT_EQ(0u, PayloadLocator(file.file, put));
}

TEST(ContainerHeader, UnpackedSizeIsBigEndian) {
  const uint8_t header[kContainerHeaderSize] = {0x5D, 0x00, 0x00, 0x00, 0x01, 0x00, 0x2A, 0xFB, 0xDB};
  EXPECT_EQ(2816987u, ContainerUnpackedSize(header));
  const uint8_t top[kContainerHeaderSize] = {0x5D, 0, 0, 0, 1, 0xFF, 0xFE, 0x01, 0x02};
  EXPECT_EQ(0xFFFE0102u, ContainerUnpackedSize(top));
}
