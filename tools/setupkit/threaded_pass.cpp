#include "setupkit/threaded_pass.h"

#include <string.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/decoder.h"
#include "archive/file_routines.h"
#include "archive/payload_locator.h"

namespace {

// The decoder hands over at most 64 KiB at a time; gathering them into a few
// big slots keeps the two threads from waking each other for every chunk.
const uint32_t kSlotCount = 4;
const uint32_t kSlotSize = kPassQueueBytes / kSlotCount;
const uint32_t kDecoderChunkMax = 65536;

struct Slot {
  std::vector<uint8_t> bytes;
  uint32_t length;
};

// A bounded queue of slots: the decoder fills slot `filled % kSlotCount`, the
// writer empties slot `emptied % kSlotCount`; neither passes the other.
struct ChunkQueue {
  Slot slots[kSlotCount];
  uint64_t filled = 0;   // slots handed to the writer
  uint64_t emptied = 0;  // slots the writer gave back
  bool finished = false;
  std::mutex lock;
  std::condition_variable changed;
};

// The decoder's sink: appends to the slot being filled and hands it over once
// another chunk might not fit.
int QueueChunk(uint8_t* bytes, uint32_t length, void* context) {
  ChunkQueue* queue = static_cast<ChunkQueue*>(context);
  Slot& slot = queue->slots[queue->filled % kSlotCount];
  memcpy(slot.bytes.data() + slot.length, bytes, length);
  slot.length += length;
  if (slot.length + kDecoderChunkMax > kSlotSize) {
    std::unique_lock<std::mutex> held(queue->lock);
    queue->filled += 1;
    queue->changed.notify_all();
    queue->changed.wait(held, [queue] { return queue->filled - queue->emptied < kSlotCount; });
    queue->slots[queue->filled % kSlotCount].length = 0;
  }
  return 0;
}

// Hands over the last, partly filled slot and tells the writer no more will come.
void FinishQueue(ChunkQueue* queue) {
  std::lock_guard<std::mutex> held(queue->lock);
  if (queue->slots[queue->filled % kSlotCount].length > 0) queue->filled += 1;
  queue->finished = true;
  queue->changed.notify_all();
}

void ParseQueuedChunks(ChunkQueue* queue, EntryParserState* state) {
  for (;;) {
    std::unique_lock<std::mutex> held(queue->lock);
    queue->changed.wait(held, [queue] { return queue->emptied < queue->filled || queue->finished; });
    if (queue->emptied == queue->filled) return;
    Slot& slot = queue->slots[queue->emptied % kSlotCount];
    held.unlock();
    EntryParser(slot.bytes.data(), slot.length, state);
    held.lock();
    queue->emptied += 1;
    queue->changed.notify_all();
  }
}

}  // namespace

int ThreadedArchivePass(const char16_t* executablePath, EntryHandler handler, void* handlerContext,
                        ArchivePassSummary* summary) {
  memset(summary, 0, sizeof *summary);
  PlatformFile file = PLATFORM_INVALID_FILE;
  int result = OpenFileHandle(executablePath, false, &file);
  if (result != 0) return result;
  summary->fileSize = FileSizeOrZero(file);
  summary->payloadOffset = summary->fileSize == 0 ? 0 : PayloadLocator(file, summary->fileSize);
  if (summary->payloadOffset == 0) {
    CloseFileHandle(file);
    return -1;
  }
  EntryParserState state;
  EntryParserReset(&state, handler, handlerContext);
  ChunkQueue queue;
  for (Slot& slot : queue.slots) {
    slot.bytes.resize(kSlotSize);
    slot.length = 0;
  }
  PlatformSetFilePointer(file, summary->payloadOffset);
  std::thread writer(ParseQueuedChunks, &queue, &state);
  const int decoded = DecodePayload(file, QueueChunk, &queue);
  FinishQueue(&queue);
  writer.join();
  CloseFileHandle(file);

  const bool whole = EntryParserFinish(&state);
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
  if (decoded != 0) return -decoded;
  if (state.firstError != 0) return state.firstError;
  return whole && state.runningChecksum == state.expectedChecksum ? 0 : -1;
}
