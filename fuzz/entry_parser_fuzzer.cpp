// The entry parser fed an arbitrary entry stream in arbitrary chunks.
//
// Input: one byte n, then (n % 8) + 1 chunk-size bytes, then the stream. The
// stream is parsed twice, once whole and once cut into chunks whose sizes cycle
// through the chosen ones (empty chunks included, as the driver sends them);
// both passes must make the same handler calls and end in the same state, since
// chunks may split records anywhere. Every chunk is its own exact-size heap
// block, so a read or write past a chunk's end is an ASan report.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "archive/entry_parser.h"
#include "fuzz_support.h"

namespace {

struct Call {
  std::u16string name;
  bool isData;
  uint32_t size;
  std::string bytes;
  bool operator==(const Call& o) const {
    return name == o.name && isData == o.isData && size == o.size && bytes == o.bytes;
  }
};

struct Recorder {
  std::vector<Call> calls;
  uint32_t decisions = 0;
  uint32_t lastEntrySize = 0;
  bool dataSeen = false;
};

// Declines most entries; some it accepts with an emptied name (no file), some
// into a folder that does not exist (the open fails with 3, which must show in
// firstError the same way however the stream was cut).
int RecordCall(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Recorder* r = static_cast<Recorder*>(context);
  size_t length = 0;
  while (length < kEntryNameUnits && name[length] != 0) ++length;
  FUZZ_CHECK(length < kEntryNameUnits, "the name handed over is not terminated within %u units", kEntryNameUnits);
  Call call = {std::u16string(name, length), data != nullptr, size, std::string()};
  if (data == nullptr) {
    // The data call gets the name as the decision left it, possibly emptied.
    FUZZ_CHECK(length > 0, "a decision call for an empty name");
    r->decisions += 1;
    r->lastEntrySize = size;
    r->dataSeen = false;
    r->calls.push_back(call);
    switch (r->decisions % 4) {
      case 1:
        name[0] = 0;
        return 1;
      case 2: {
        static const char16_t kMissing[] = u"/nonexistent-setup-fuzz/entry";
        for (size_t i = 0; i < sizeof kMissing / sizeof kMissing[0]; ++i) name[i] = kMissing[i];
        return 1;
      }
      default:
        return 0;
    }
  }
  FUZZ_CHECK(r->decisions > 0 && !r->dataSeen, "a data call without its own decision call");
  uint32_t wanted = r->lastEntrySize < kLeadBufferSize ? r->lastEntrySize : kLeadBufferSize;
  FUZZ_CHECK(size == wanted && size > 0, "data call with %u bytes for an entry of %u", size, r->lastEntrySize);
  r->dataSeen = true;
  call.bytes.assign(reinterpret_cast<const char*>(data), size);
  r->calls.push_back(call);
  return 0;
}

struct Outcome {
  Recorder recorder;
  EntryParserState state;
  bool whole;
};

void Parse(const uint8_t* stream, size_t size, const std::vector<uint32_t>& chunkSizes, Outcome* out) {
  EntryParserReset(&out->state, RecordCall, &out->recorder);
  size_t at = 0;
  for (size_t k = 0; at < size || k == 0; ++k) {
    uint32_t length = chunkSizes.empty() ? static_cast<uint32_t>(size) : chunkSizes[k % chunkSizes.size()];
    if (length > size - at) length = static_cast<uint32_t>(size - at);
    std::unique_ptr<uint8_t[]> chunk = FuzzExactCopy(stream + at, length);
    EntryParser(chunk.get(), length, &out->state);
    at += length;
  }
  out->whole = EntryParserFinish(&out->state);
}

std::string Describe(const Outcome& o) {
  char text[160];
  snprintf(text, sizeof text, "calls %zu, entries %u, broken %d, whole %d, firstError %d, checksum %08X/%08X",
           o.recorder.calls.size(), o.state.entryNumber, o.state.broken, o.whole, o.state.firstError,
           o.state.runningChecksum, o.state.expectedChecksum);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input = {data, size};
  std::vector<uint32_t> chunkSizes;
  int count = input.Byte() % 8 + 1;
  bool anyNonEmpty = false;
  for (int i = 0; i < count; ++i) {
    uint8_t b = input.Byte();
    // Mostly small chunks, which split records; now and then up to about 4 KiB.
    uint32_t length = b < 128 ? b : (b - 127u) * 32u;
    anyNonEmpty |= length != 0;
    chunkSizes.push_back(length);
  }
  if (!anyNonEmpty) chunkSizes.push_back(1);

  Outcome whole, split;
  Parse(input.data, input.size, {}, &whole);
  Parse(input.data, input.size, chunkSizes, &split);

  FUZZ_CHECK(whole.recorder.calls == split.recorder.calls, "handler calls differ: whole %s; split %s",
             Describe(whole).c_str(), Describe(split).c_str());
  const EntryParserState& a = whole.state;
  const EntryParserState& b = split.state;
  FUZZ_CHECK(whole.whole == split.whole && a.broken == b.broken && a.firstError == b.firstError &&
                 a.runningChecksum == b.runningChecksum && a.expectedChecksum == b.expectedChecksum &&
                 a.archiveDate == b.archiveDate && a.entryNumber == b.entryNumber && a.dataRemaining == b.dataRemaining,
             "end states differ: whole %s; split %s", Describe(whole).c_str(), Describe(split).c_str());
  // The texts are terminated strings; what follows a terminator is not part of them.
  FUZZ_CHECK(memchr(a.productCode, 0, sizeof a.productCode) != nullptr &&
                 memchr(a.productWindowClass, 0, sizeof a.productWindowClass) != nullptr &&
                 memchr(a.mainProgramName, 0, sizeof a.mainProgramName) != nullptr &&
                 memchr(b.productCode, 0, sizeof b.productCode) != nullptr &&
                 memchr(b.productWindowClass, 0, sizeof b.productWindowClass) != nullptr &&
                 memchr(b.mainProgramName, 0, sizeof b.mainProgramName) != nullptr,
             "a StreamHeader text is not terminated");
  FUZZ_CHECK(strcmp(a.productCode, b.productCode) == 0 && strcmp(a.productWindowClass, b.productWindowClass) == 0 &&
                 strcmp(a.mainProgramName, b.mainProgramName) == 0,
             "StreamHeader texts differ");
  FUZZ_CHECK(a.entryNumber == whole.recorder.decisions, "%u entries parsed but %u decision calls", a.entryNumber,
             whole.recorder.decisions);
  FUZZ_CHECK(a.firstError == 0 || a.firstError == 3, "firstError %d, expected 0 or 3", a.firstError);
  FUZZ_CHECK(a.outputFile == PLATFORM_INVALID_FILE && b.outputFile == PLATFORM_INVALID_FILE,
             "a file stayed open after EntryParserFinish");
  return 0;
}
