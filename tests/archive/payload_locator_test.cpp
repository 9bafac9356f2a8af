#include "archive/payload_locator.h"

#include <gtest/gtest.h>

#include "lzma_test_util.h"

namespace {

const uint32_t kStart = kPayloadSearchStart;
const uint32_t kRead = 4092;

// A file of `size` filler bytes with a magic starting at each of `starts`.
uint32_t Locate(uint32_t size, const std::vector<uint32_t>& starts) {
  std::vector<uint8_t> bytes = TestFiller(size);
  for (uint32_t start : starts) {
    for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[start + i] = PayloadMagicByte(i);
  }
  TestFile file(TestWriteInstaller(0, bytes));
  PlatformSetFilePointer(file.file, size / 2);  // the locator positions the file itself
  return PayloadLocator(file.file, size);
}

}  // namespace

TEST(PayloadLocator, WhereTheSearchLooks) {
  // A magic at every position around three read boundaries: wholly inside a read's last bytes,
  // split between two reads, or at the next read's start.
  for (uint32_t boundary = kStart + kRead; boundary <= kStart + 3 * kRead; boundary += kRead) {
    for (uint32_t start = boundary - 8; start <= boundary; ++start) {
      EXPECT_EQ(start + 4, Locate(kStart + 5 * kRead, {start})) << "magic at " << start;
    }
  }
  const uint32_t full = kStart + 3 * kRead, partial = kStart + 2 * kRead + 100;
  const struct {
    uint32_t size;
    std::vector<uint32_t> starts;
    uint32_t found;
  } kCases[] = {
      {full, {89999}, 90003}, {full, {89998}, 0},  // the search starts at 89999
      {full, {89998, 94208}, 94212}, {full, {90003, 90500}, 90007}, {full, {}, 0},  // the first magic wins
      // The last read comes back short and is not examined, nor are the 4 bytes it would complete.
      {partial, {kStart + 2 * kRead + 10}, 0}, {partial, {kStart + 2 * kRead - 4}, 0},
      {partial, {kStart + 2 * kRead - 5}, kStart + 2 * kRead - 1},
      // Files no longer than the search start never hold a payload.
      {0, {}, 0}, {3, {}, 0}, {5, {0}, 0}, {4096, {0, 4092}, 0}, {kStart, {0, 50000, kStart - 4}, 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.found, Locate(c.size, c.starts)) << c.size << " bytes";
}
