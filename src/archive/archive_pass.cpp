#include "archive/archive_pass.h"

#include <stdlib.h>
#include <string.h>

#include "archive/decoder.h"
#include "archive/file_routines.h"
#include "archive/payload_format.h"
#include "archive/payload_locator.h"

namespace {

const int kBrokenPayload = -1;
// The parser's chunks when a kept stream is parsed again, as the decoder hands them out.
const uint32_t kKeptChunk = 1u << 16;

struct Tee {
  EntryParserState* state;
  KeptStream* kept;
  bool dropped;  // the stream did not fit: nothing is kept
};

// Room for length more bytes, doubling the block up to the capacity; false
// (and nothing kept any more) when the stream outgrows it or memory runs out.
bool Reserve(KeptStream* kept, uint32_t length) {
  if (length > kept->capacity - kept->size) return false;
  if (length <= kept->reserved - kept->size) return true;
  uint64_t want = 2ull * kept->reserved > kKeptChunk ? 2ull * kept->reserved : kKeptChunk;
  if (want < uint64_t(kept->size) + length) want = uint64_t(kept->size) + length;
  if (want > kept->capacity) want = kept->capacity;
  uint8_t* grown = static_cast<uint8_t*>(realloc(kept->bytes, static_cast<size_t>(want)));
  if (grown == nullptr) return false;
  kept->bytes = grown;
  kept->reserved = static_cast<uint32_t>(want);
  return true;
}

// Takes the block for the whole stream at once when the container header's
// unpacked size fits the capacity: no copying as it grows. The file pointer is
// back at offset afterwards.
void ReserveWhole(PlatformFile file, uint32_t offset, KeptStream* kept) {
  uint8_t header[kContainerHeaderSize];
  uint32_t got = 0;
  if (PlatformReadFile(file, header, kContainerHeaderSize, &got) && got == kContainerHeaderSize) {
    uint32_t size = ContainerUnpackedSize(header);
    if (size != 0 && size <= kept->capacity) Reserve(kept, size);
  }
  PlatformSetFilePointer(file, offset);
}

// Keeps a copy of each chunk before the parser unscrambles it in place.
int KeepAndParse(uint8_t* bytes, uint32_t length, void* context) {
  Tee* tee = static_cast<Tee*>(context);
  KeptStream* kept = tee->kept;
  if (!tee->dropped && !Reserve(kept, length)) {
    ReleaseKeptStream(kept);
    tee->dropped = true;
  }
  if (!tee->dropped) {
    memcpy(kept->bytes + kept->size, bytes, length);
    kept->size += length;
  }
  return EntryParser(bytes, length, tee->state);
}

void FillSummary(const EntryParserState& state, bool whole, int decoded, ArchivePassSummary* summary) {
  if (summary == nullptr) return;
  memcpy(summary->productCode, state.productCode, sizeof summary->productCode);
  memcpy(summary->productWindowClass, state.productWindowClass, sizeof summary->productWindowClass);
  memcpy(summary->mainProgramName, state.mainProgramName, sizeof summary->mainProgramName);
  summary->archiveDate = state.archiveDate;
  summary->expectedChecksum = state.expectedChecksum;
  summary->actualChecksum = state.runningChecksum;
  summary->entryCount = state.entryNumber;
  summary->limitBroken = state.broken;
  summary->endedInsideRecord = !whole && !state.broken;
  summary->decoderResult = decoded;
}

// The result of a pass whose decoding gave `decoded`, from what the parser saw.
int PassResult(const EntryParserState& state, int decoded, bool whole) {
  int result = decoded != 0 ? -decoded : state.firstError;
  if (result != 0) return result;
  return !whole || state.runningChecksum != state.expectedChecksum ? kBrokenPayload : 0;
}

}  // namespace

int ArchivePassReport(const char16_t* executablePath, EntryHandler handler, void* handlerContext,
                      ArchivePassSummary* summary) {
  if (summary != nullptr) memset(summary, 0, sizeof *summary);
  PlatformFile file = PLATFORM_INVALID_FILE;
  int result = OpenFileHandle(executablePath, false, &file);
  if (result != 0) return result;
  result = ArchivePassOnFile(file, handler, handlerContext, summary);
  CloseFileHandle(file);
  return result;
}

int ArchivePassOnFile(PlatformFile file, EntryHandler handler, void* handlerContext, ArchivePassSummary* summary) {
  return ArchivePassKeeping(file, handler, handlerContext, summary, nullptr);
}

int ArchivePassKeeping(PlatformFile file, EntryHandler handler, void* handlerContext, ArchivePassSummary* summary,
                       KeptStream* kept) {
  if (summary != nullptr) memset(summary, 0, sizeof *summary);
  if (kept != nullptr) {
    uint32_t capacity = kept->capacity;
    *kept = KeptStream{nullptr, 0, 0, capacity, false};
  }
  if (file == PLATFORM_INVALID_FILE) return kErrorInvalidHandle;
  int result = kBrokenPayload;
  PlatformSetFilePointer(file, 0);

  // About 5 KiB; the pass runs on the dialog's thread, whose stack holds it easily.
  EntryParserState state;
  uint32_t size = FileSizeOrZero(file);
  uint32_t offset = size == 0 ? 0 : PayloadLocator(file, size);
  if (offset != 0) {
    EntryParserReset(&state, handler, handlerContext);
    PlatformSetFilePointer(file, offset);
    Tee tee = {&state, kept, false};
    if (kept != nullptr) ReserveWhole(file, offset, kept);
    int decoded = kept != nullptr ? DecodePayload(file, KeepAndParse, &tee) : DecodePayload(file, EntryParser, &state);
    bool whole = EntryParserFinish(&state);
    FillSummary(state, whole, decoded, summary);
    result = PassResult(state, decoded, whole);
  }
  if (summary != nullptr) {
    summary->fileSize = size;
    summary->payloadOffset = offset;
  }
  if (kept != nullptr) {
    kept->whole = result == 0 && kept->bytes != nullptr;
    if (!kept->whole) ReleaseKeptStream(kept);
  }
  return result;
}

int ArchivePassOnKept(KeptStream* kept, EntryHandler handler, void* handlerContext, ArchivePassSummary* summary) {
  if (summary != nullptr) memset(summary, 0, sizeof *summary);
  if (kept == nullptr || !kept->whole) return kBrokenPayload;
  EntryParserState state;
  EntryParserReset(&state, handler, handlerContext);
  for (uint32_t at = 0; at < kept->size; at += kKeptChunk) {
    uint32_t length = kept->size - at < kKeptChunk ? kept->size - at : kKeptChunk;
    EntryParser(kept->bytes + at, length, &state);
  }
  bool whole = EntryParserFinish(&state);
  FillSummary(state, whole, 0, summary);
  ReleaseKeptStream(kept);
  return PassResult(state, 0, whole);
}

void ReleaseKeptStream(KeptStream* kept) {
  if (kept == nullptr) return;
  free(kept->bytes);
  kept->bytes = nullptr;
  kept->size = 0;
  kept->reserved = 0;
  kept->whole = false;
}

int ArchivePass(const char16_t* executablePath, EntryHandler handler, void* handlerContext) {
  return ArchivePassReport(executablePath, handler, handlerContext, nullptr);
}
