#include "archive/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/payload_locator.h"
#include "lzma_test_util.h"

namespace {

const uint32_t kChunk = 65536;
const uint32_t kFiller = 1000;

struct Decoded {
  int result = -1;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> lengths;  // one per sink call
  int refuseOnCall = -1;
  std::vector<size_t> allocations;
  int failAllocation = -1;
  int liveBlocks = 0;
};

int Collect(uint8_t* bytes, uint32_t length, void* context) {
  Decoded* d = static_cast<Decoded*>(context);
  d->bytes.insert(d->bytes.end(), bytes, bytes + length);
  d->lengths.push_back(length);
  return static_cast<int>(d->lengths.size()) - 1 == d->refuseOnCall ? 1 : 0;
}

void* CountingAllocate(void* context, size_t size) {
  Decoded* d = static_cast<Decoded*>(context);
  d->allocations.push_back(size);
  if (static_cast<int>(d->allocations.size()) - 1 == d->failAllocation || size == 0) return nullptr;
  ++d->liveBlocks;
  return malloc(size);
}

void CountingRelease(void* context, void* block) {
  if (block != nullptr) --static_cast<Decoded*>(context)->liveBlocks;
  free(block);
}

// Decodes `container` standing behind filler and before `trailer`, counting the
// decoder's memory; every decode must give all of it back.
Decoded Decode(const std::vector<uint8_t>& container, const std::vector<uint8_t>& trailer = {},
               int refuseOnCall = -1, int failAllocation = -1) {
  static const std::string path = TestTempDir() + "/setup.exe";  // rewritten each time: sweeps stay fast under Wine
  std::vector<uint8_t> bytes = TestFiller(kFiller);
  bytes.insert(bytes.end(), container.begin(), container.end());
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  TestWriteFile(path, bytes);
  TestFile file(path);
  PlatformSetFilePointer(file.file, kFiller + kPayloadMagicSize);
  Decoded d;
  d.refuseOnCall = refuseOnCall;
  d.failAllocation = failAllocation;
  DecoderAllocator counting = {CountingAllocate, CountingRelease, &d};
  d.result = DecodePayloadWithAllocator(file.file, Collect, &d, &counting);
  EXPECT_EQ(0, d.liveBlocks) << "blocks left after result " << d.result;
  return d;
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t length) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + length);
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(DecodePayload, SizesAroundTheChunkSize) {
  const std::vector<uint8_t> trailer = TestRandomBytes(3000, 7);
  for (bool endMark : {false, true}) {
    for (uint32_t size : {0u, 1u, kChunk - 1, kChunk, kChunk + 1, 200000u}) {
      std::vector<uint8_t> data = TestCompressibleBytes(size, size);
      std::vector<uint8_t> container = TestContainer(TestLzmaEncode(data, endMark), size);
      std::vector<uint32_t> lengths;  // full chunks while at least one remains, then the rest
      uint32_t left = size;
      do {
        lengths.push_back(left < kChunk ? left : kChunk);
        left -= lengths.back();
      } while (left != 0);
      for (const std::vector<uint8_t>& tail : {std::vector<uint8_t>(), trailer}) {
        SCOPED_TRACE(testing::Message() << "size " << size << ", end marker " << endMark << ", trailer "
                                        << tail.size());
        Decoded d = Decode(container, tail);
        EXPECT_EQ(0, d.result);
        EXPECT_EQ(lengths, d.lengths);
        EXPECT_TRUE(d.bytes == data);
      }
    }
  }
}

TEST(DecodePayload, MegabytesFromALocatedInstaller) {
  // Random data makes steps that stop at the end of the input buffer.
  for (bool endMark : {false, true}) {
    std::vector<uint8_t> data = endMark ? TestCompressibleBytes(2816987, 2) : TestRandomBytes(1536 * 1024, 1);
    uint32_t size = static_cast<uint32_t>(data.size());
    std::vector<uint8_t> container = TestContainer(TestLzmaEncode(data, endMark), size);
    TestFile file(TestWriteInstaller(94208, container, TestRandomBytes(8000, 3)));
    uint32_t offset = PayloadLocator(file.file, PlatformGetFileSize(file.file));
    ASSERT_EQ(94212u, offset);
    PlatformSetFilePointer(file.file, offset);
    Decoded d;
    EXPECT_EQ(0, DecodePayload(file.file, Collect, &d)) << "size " << size;
    EXPECT_TRUE(d.bytes == data) << "size " << size << ", got " << d.bytes.size();
    EXPECT_LE(*std::max_element(d.lengths.begin(), d.lengths.end()), kChunk);
  }
  std::vector<uint8_t> header = TestContainer(TestLzma(), 2816987);
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x2A, 0xFB, 0xDB}), std::vector<uint8_t>(header.begin() + 9, header.end()));
}

TEST(DecodePayload, AnnouncedSizeAgainstTheStream) {
  const std::vector<uint8_t> data = TestCompressibleBytes(100000, 4);
  const TestLzma marked = TestLzmaEncode(data, true);
  const TestLzma unmarked = TestLzmaEncode(data, false);
  struct {
    const TestLzma& lzma;
    uint32_t announced;
    int result;
    size_t produced;
  } cases[] = {
      {marked, 150000, 0, 100000},  // an end marker before the size is success
      {marked, 0xFFFFFFFF, 0, 100000},
      {unmarked, 150000, 1, 100000},  // input runs out without an end marker
      {unmarked, 99999, 1, 99999},    // the last, partial chunk must end the stream
      {unmarked, kChunk, 0, kChunk},  // a full chunk never asks whether the stream ends there
  };
  for (const auto& c : cases) {
    Decoded d = Decode(TestContainer(c.lzma, c.announced));
    EXPECT_EQ(c.result, d.result) << "announced " << c.announced;
    EXPECT_TRUE(d.bytes == Prefix(data, c.produced)) << "announced " << c.announced << ", got " << d.bytes.size();
  }
}

TEST(DecodePayload, TruncatedOrUnreadableInput) {
  const std::vector<uint8_t> data = Concat(TestCompressibleBytes(1200, 5), TestRandomBytes(120, 6));
  for (bool endMark : {false, true}) {
    std::vector<uint8_t> container = TestContainer(TestLzmaEncode(data, endMark), static_cast<uint32_t>(data.size()));
    const size_t streamStart = kPayloadMagicSize + kContainerHeaderSize;
    for (size_t length = kPayloadMagicSize; length < streamStart; ++length) {
      EXPECT_EQ(6, Decode(Prefix(container, length)).result) << "header cut to " << length - kPayloadMagicSize;
    }
    for (size_t length = streamStart; length < container.size(); ++length) {
      Decoded d = Decode(Prefix(container, length));
      // Only the end marker may be missing: every data byte has then been produced.
      if (d.result != 1 && !(endMark && d.result == 0 && d.bytes == data)) {
        ADD_FAILURE() << "stream cut to " << length - streamStart << " of " << container.size() - streamStart
                      << ", end marker " << endMark << ": result " << d.result << ", produced " << d.bytes.size();
      }
    }
  }
  TestFile writeOnly(TestTempDir() + "/setup.exe", true);
  Decoded d;
  EXPECT_EQ(8, DecodePayload(writeOnly.file, Collect, &d));
  EXPECT_TRUE(d.lengths.empty());
}

TEST(DecodePayload, PropertiesAtTheLimits) {
  const std::vector<uint8_t> data = Concat(TestCompressibleBytes(20000, 8), TestRandomBytes(6000, 9));
  const uint32_t size = static_cast<uint32_t>(data.size());
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(data, false, 1u << 24, 8, 4, 4), size);
  ASSERT_EQ(224, container[4]);
  EXPECT_TRUE(Decode(container).bytes == data);
  container[4] = 225;
  Decoded unsupported = Decode(container);
  EXPECT_EQ(4, unsupported.result);
  EXPECT_TRUE(unsupported.lengths.empty());

  // A dictionary below 4096 is raised to 4096, enough for a stream made with 4096.
  container = TestContainer(TestLzmaEncode(data, false, 4096), size);
  for (int i = 5; i < 9; ++i) container[i] = 0;
  Decoded small = Decode(container);
  EXPECT_EQ(0, small.result);
  EXPECT_TRUE(small.bytes == data);
  EXPECT_EQ((std::vector<size_t>{7990 * 2, 4096}), small.allocations);
}

TEST(DecodePayload, RefusalsAndMemoryFailuresStopCleanly) {
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(TestCompressibleBytes(200000, 10), false), 200000);
  struct {
    int refuseOnCall;
    int failAllocation;
    int result;
    size_t sinkCalls;
  } cases[] = {{0, -1, 1235, 1}, {2, -1, 1235, 3}, {-1, 0, 2, 0}, {-1, 1, 2, 0}};
  for (const auto& c : cases) {
    Decoded d = Decode(container, {}, c.refuseOnCall, c.failAllocation);
    EXPECT_EQ(c.result, d.result) << "refuse on call " << c.refuseOnCall << ", fail allocation " << c.failAllocation;
    EXPECT_EQ(c.sinkCalls, d.lengths.size()) << "refuse on call " << c.refuseOnCall;
  }
  // The sink's refusal outranks the decoder's own error of the same step.
  container[13] = 1;  // a stream must begin with a zero byte
  EXPECT_EQ(1, Decode(container).result);
  Decoded refused = Decode(container, {}, 0);
  EXPECT_EQ(1235, refused.result);
  EXPECT_EQ(std::vector<uint32_t>{0}, refused.lengths);
}

TEST(FileInStream, ReadsAcrossTheReadCapAndNothingForZero) {
  const std::vector<uint8_t> bytes = TestRandomBytes(kFileInStreamMaxRead + 5, 11);
  std::string path = TestTempDir() + "/data";
  TestWriteFile(path, bytes);
  TestFile file(path);
  FileInStream stream = {file.file};
  std::vector<uint8_t> buffer(bytes.size() + 100);
  for (uint32_t wanted : {0u, static_cast<uint32_t>(buffer.size()), 10u}) {
    uint32_t size = wanted;
    EXPECT_EQ(0, FileInStreamRead(&stream, buffer.data(), &size));
    // Nothing for 0, then everything although more was asked, then the end of the file.
    EXPECT_EQ(wanted == 0 || wanted == 10 ? 0 : bytes.size(), size) << "asked for " << wanted;
  }
  EXPECT_TRUE(Prefix(buffer, bytes.size()) == bytes);
}
