#include "archive/decoder.h"

#include <gtest/gtest.h>

#include "lzma_test_util.h"

namespace {

const uint32_t kChunk = 65536;

struct Decoded {
  int result = -1;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> lengths;  // one per sink call
};

int Collect(uint8_t* bytes, uint32_t length, void* context) {
  Decoded* d = static_cast<Decoded*>(context);
  d->bytes.insert(d->bytes.end(), bytes, bytes + length);
  d->lengths.push_back(length);
  return 0;
}

// Decodes `container` with `trailer` behind it, with the decoder's memory from `allocator` when given.
Decoded Decode(const std::vector<uint8_t>& container, const std::vector<uint8_t>& trailer = {},
               const DecoderAllocator* allocator = nullptr) {
  TestFile file(TestWriteInstaller(0, container, trailer));
  PlatformSetFilePointer(file.file, kPayloadMagicSize);
  Decoded d;
  d.result = allocator != nullptr ? DecodePayloadWithAllocator(file.file, Collect, &d, allocator)
                                  : DecodePayload(file.file, Collect, &d);
  return d;
}

}  // namespace

TEST(DecodePayload, SizesAroundTheChunkSize) {
  for (bool endMark : {false, true}) {
    for (uint32_t size : {0u, 1u, kChunk - 1, kChunk, kChunk + 1, 300000u}) {
      // The largest is random: its stream fills several input buffers, and a step
      // that empties one returns less than a full chunk.
      std::vector<uint8_t> data = TestRandomBytes(size, size, size < 300000);
      std::vector<uint32_t> lengths;  // full chunks while at least one remains, then the rest
      for (uint32_t left = size; lengths.empty() || left != 0; left -= lengths.back()) {
        lengths.push_back(std::min(left, kChunk));
      }
      // Bytes behind the stream (a signature) are never decoded.
      Decoded d = Decode(TestContainer(TestLzmaEncode(data, endMark), size), TestRandomBytes(3000, 7));
      const bool chunked = size == 300000 ? *std::max_element(d.lengths.begin(), d.lengths.end()) <= kChunk
                                          : d.lengths == lengths;
      EXPECT_TRUE(d.result == 0 && d.bytes == data && chunked)
          << "size " << size << ", end marker " << endMark << ": result " << d.result << ", " << d.bytes.size();
    }
  }
}

TEST(DecodePayload, AnnouncedSizeAgainstTheStream) {
  const std::vector<uint8_t> data = TestRandomBytes(100000, 4, true);
  const TestLzma marked = TestLzmaEncode(data, true), unmarked = TestLzmaEncode(data, false);
  std::vector<uint8_t> corrupt = TestContainer(unmarked, 100000);
  corrupt[13] = 1;  // a stream must begin with a zero byte
  const struct {
    std::vector<uint8_t> container;
    int result;
    size_t produced;
  } kCases[] = {
      {TestContainer(marked, 150000), 0, 100000},  // an end marker before the size is success
      {TestContainer(marked, 0xFFFFFFFF), 0, 100000},
      {TestContainer(unmarked, 150000), 1, 100000},  // input runs out without an end marker
      {TestContainer(unmarked, 99999), 1, 99999},    // the last, partial chunk must end the stream
      {TestContainer(unmarked, kChunk), 0, kChunk},  // a full chunk never asks whether the stream ends there
      {corrupt, 1, 0},
      {std::vector<uint8_t>(corrupt.begin(), corrupt.begin() + 12), 6, 0},  // the header cut short
  };
  for (const auto& c : kCases) {
    Decoded d = Decode(c.container);
    EXPECT_EQ(c.result, d.result) << "announced " << c.produced;
    EXPECT_TRUE(d.bytes == std::vector<uint8_t>(data.begin(), data.begin() + c.produced)) << d.bytes.size();
  }
  TestFile writeOnly(TestTempDir() + "/payload", true);
  EXPECT_EQ(8, DecodePayload(writeOnly.file, Collect, nullptr));
}

// A header may ask for a dictionary of up to 4 GiB; one larger than the unpacked
// size is never filled, so no more than that is taken, and the bytes stay the same.
TEST(DecodePayload, DictionaryNoLargerThanTheUnpackedSize) {
  const std::vector<uint8_t> data = TestRandomBytes(100000, 2, true);
  for (uint32_t dictionary : {0xFFFFFFFFu, 20000u}) {
    TestLzma lzma = TestLzmaEncode(data, false, 16384);
    for (int i = 0; i < 4; ++i) lzma.properties[1 + i] = static_cast<uint8_t>(dictionary >> (8 * i));
    size_t largest = 0;
    DecoderAllocator recording = {[](void* most, size_t size) {
                                    *static_cast<size_t*>(most) = std::max(*static_cast<size_t*>(most), size);
                                    return size > (64u << 20) ? nullptr : malloc(size);
                                  },
                                  [](void*, void* block) { free(block); }, &largest};
    Decoded d = Decode(TestContainer(lzma, 100000), {}, &recording);
    EXPECT_TRUE(d.result == 0 && d.bytes == data && largest == std::min<size_t>(dictionary, 100000))
        << "dictionary " << dictionary << ": result " << d.result << ", largest block " << largest;
  }
}
