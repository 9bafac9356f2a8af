// The entry parser fed an arbitrary entry stream in arbitrary chunks.
//
// Input: one byte n, then (n % 8) + 1 chunk-size bytes, then the stream. The
// stream is parsed twice, once whole and once cut into chunks whose sizes cycle
// through the chosen ones (empty chunks included, as the driver sends them);
// both passes must make the same handler calls and end in the same state, since
// chunks may split records anywhere. Every chunk is its own exact-size heap
// block, so a read or write past a chunk's end is an ASan report.
#include <algorithm>
#include <vector>

#include "archive/entry_parser.h"
#include "fuzz_support.h"

namespace {

struct Outcome {
  std::vector<std::u16string> calls;  // the name, then for a data call its bytes
  EntryParserState state;
  bool whole;
};

// Declines most entries; some it accepts with an emptied name (no file), some
// into a folder that does not exist (the open fails with 3, which must show in
// firstError the same way however the stream was cut).
int RecordCall(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  std::vector<std::u16string>& calls = static_cast<Outcome*>(context)->calls;
  calls.push_back(data == nullptr ? name : std::u16string(name) + u"|" + std::u16string(data, data + size));
  if (data != nullptr) return 0;
  FUZZ_CHECK(name[0] != 0, "a decision call for an empty name");
  static const char16_t kMissing[] = u"/nonexistent-setup-fuzz/entry";
  if (calls.size() % 4 == 1) name[0] = 0;
  if (calls.size() % 4 == 2) memcpy(name, kMissing, sizeof kMissing);
  return calls.size() % 4 <= 2 ? 1 : 0;
}

void Parse(const uint8_t* stream, size_t size, const std::vector<uint32_t>& chunkSizes, Outcome* out) {
  EntryParserReset(&out->state, RecordCall, out);
  for (size_t at = 0, k = 0; at < size || k == 0; ++k) {
    uint32_t length = static_cast<uint32_t>(std::min<size_t>(chunkSizes[k % chunkSizes.size()], size - at));
    std::unique_ptr<uint8_t[]> chunk = FuzzExactCopy(stream + at, length);
    EntryParser(chunk.get(), length, &out->state);
    at += length;
  }
  out->whole = EntryParserFinish(&out->state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input = {data, size};
  std::vector<uint32_t> chunkSizes;
  for (int count = input.Byte() % 8 + 1; count > 0; --count) {
    // Mostly small chunks, which split records; now and then up to about 4 KiB.
    uint8_t b = input.Byte();
    chunkSizes.push_back(b < 128 ? b : (b - 127u) * 32u);
  }
  chunkSizes.push_back(1);  // so that the chunks move on
  Outcome whole, split;
  Parse(input.data, input.size, {UINT32_MAX}, &whole);
  Parse(input.data, input.size, chunkSizes, &split);
  const EntryParserState& a = whole.state;
  const EntryParserState& b = split.state;
  FUZZ_CHECK(whole.calls == split.calls, "handler calls differ: %zu whole, %zu split", whole.calls.size(),
             split.calls.size());
  FUZZ_CHECK(whole.whole == split.whole && a.broken == b.broken && a.firstError == b.firstError &&
                 a.runningChecksum == b.runningChecksum && a.expectedChecksum == b.expectedChecksum &&
                 a.archiveDate == b.archiveDate && a.entryNumber == b.entryNumber &&
                 a.dataRemaining == b.dataRemaining && strcmp(a.productWindowClass, b.productWindowClass) == 0,
             "end states differ: whole %d/%d, broken %d/%d, entries %u/%u", whole.whole, split.whole, a.broken,
             b.broken, a.entryNumber, b.entryNumber);
  FUZZ_CHECK(b.outputFile == PLATFORM_INVALID_FILE, "a file stayed open after EntryParserFinish");
  return 0;
}
