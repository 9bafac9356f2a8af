#include "archive/decoder.h"

#include <stdlib.h>
#include <string.h>

#include <LzmaDec.h>

#include "archive/payload_format.h"

static_assert(kDecodeOk == SZ_OK && kDecodeErrorData == SZ_ERROR_DATA && kDecodeErrorMem == SZ_ERROR_MEM &&
                  kDecodeErrorUnsupported == SZ_ERROR_UNSUPPORTED && kDecodeErrorInputEof == SZ_ERROR_INPUT_EOF &&
                  kDecodeErrorRead == SZ_ERROR_READ,
              "results are the LZMA SDK's numbers");
static_assert(kContainerPropertiesSize == LZMA_PROPS_SIZE, "the header starts with an LZMA properties block");

namespace {

const uint32_t kDecodeBufferSize = 65536;
const uint32_t kMinimumDictionary = 4096;  // LZMA_DIC_MIN: the SDK raises smaller sizes to it

// The SDK hands its own ISzAlloc back to these calls; the DecoderAllocator rides behind it.
struct AllocatorAdapter {
  ISzAlloc base;
  const DecoderAllocator* allocator;
};

void* AdapterAllocate(void* p, size_t size) {
  const DecoderAllocator* allocator = reinterpret_cast<AllocatorAdapter*>(p)->allocator;
  return allocator->allocate(allocator->context, size);
}

void AdapterRelease(void* p, void* block) {
  const DecoderAllocator* allocator = reinterpret_cast<AllocatorAdapter*>(p)->allocator;
  allocator->release(allocator->context, block);
}

void* HeapAllocate(void*, size_t size) { return size == 0 ? nullptr : malloc(size); }

void HeapRelease(void*, void* block) { free(block); }

const DecoderAllocator kHeapAllocator = {HeapAllocate, HeapRelease, nullptr};

// The buffers are locals: 128 KiB of the main thread's 1 MiB stack leaves ample room
// for the sink's Win32 calls, and memory on the stack needs no failure or release path.
int DecodeLoop(CLzmaDec* decoder, uint32_t unpackedSize, FileInStream* stream, ChunkSink sink, void* sinkContext) {
  uint8_t input[kDecodeBufferSize];
  uint8_t output[kDecodeBufferSize];
  LzmaDec_Init(decoder);
  uint32_t inputFill = 0;
  uint32_t inputPosition = 0;
  uint32_t remaining = unpackedSize;
  for (;;) {
    if (inputPosition == inputFill) {
      uint32_t got = kDecodeBufferSize;
      if (FileInStreamRead(stream, input, &got) != kDecodeOk) return kDecodeErrorRead;
      inputFill = got;
      inputPosition = 0;
    }
    SizeT consumed = inputFill - inputPosition;
    SizeT produced = kDecodeBufferSize;
    ELzmaFinishMode finishMode = LZMA_FINISH_ANY;
    if (remaining < kDecodeBufferSize) {
      produced = remaining;
      finishMode = LZMA_FINISH_END;
    }
    ELzmaStatus status;
    SRes result = LzmaDec_DecodeToBuf(decoder, output, &produced, input + inputPosition, &consumed, finishMode,
                                      &status);
    inputPosition += static_cast<uint32_t>(consumed);
    remaining -= static_cast<uint32_t>(produced);
    if (sink != nullptr && sink(output, static_cast<uint32_t>(produced), sinkContext) != 0) return kSinkRefused;
    if (result != SZ_OK) return result;
    if (remaining == 0) return kDecodeOk;
    if (consumed == 0 && produced == 0) {
      return status == LZMA_STATUS_FINISHED_WITH_MARK ? kDecodeOk : kDecodeErrorData;
    }
  }
}

// A match never reaches back past the first byte decoded, so a dictionary larger
// than the unpacked size is never filled and the smaller one gives the same
// bytes; the header's own size could ask for 4 GiB.
void LimitDictionary(uint8_t* header) {
  uint32_t dictionary = static_cast<uint32_t>(header[1]) | (static_cast<uint32_t>(header[2]) << 8) |
                        (static_cast<uint32_t>(header[3]) << 16) | (static_cast<uint32_t>(header[4]) << 24);
  uint32_t unpacked = ContainerUnpackedSize(header);
  if (unpacked < kMinimumDictionary) unpacked = kMinimumDictionary;
  if (dictionary <= unpacked) return;
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(unpacked >> (8 * i));
}

}  // namespace

int FileInStreamRead(FileInStream* stream, void* buffer, uint32_t* size) {
  uint32_t wanted = *size;
  uint32_t total = 0;
  *size = 0;
  while (total < wanted) {
    uint32_t piece = wanted - total < kFileInStreamMaxRead ? wanted - total : kFileInStreamMaxRead;
    uint32_t got = 0;
    if (!PlatformReadFile(stream->file, static_cast<uint8_t*>(buffer) + total, piece, &got)) {
      *size = total;
      return kDecodeErrorRead;
    }
    if (got == 0) break;
    total += got;
  }
  *size = total;
  return kDecodeOk;
}

uint64_t DecoderMemory(const uint8_t* header) {
  uint8_t limited[kContainerHeaderSize];
  memcpy(limited, header, kContainerHeaderSize);
  LimitDictionary(limited);
  CLzmaProps properties;
  if (LzmaProps_Decode(&properties, limited, kContainerPropertiesSize) != SZ_OK) return 0;
  // LzmaProps_GetNumProbs of LzmaDec.c, a macro the header does not export.
  const uint64_t probabilities = 1846 + (uint64_t{768} << (properties.lc + properties.lp));
  return properties.dicSize + probabilities * sizeof(CLzmaProb);
}

int DecodePayloadWithAllocator(PlatformFile file, ChunkSink sink, void* sinkContext,
                               const DecoderAllocator* allocator) {
  FileInStream stream = {file};
  uint8_t header[kContainerHeaderSize];
  uint32_t have = 0;
  while (have < kContainerHeaderSize) {
    uint32_t got = kContainerHeaderSize - have;
    if (FileInStreamRead(&stream, header + have, &got) != kDecodeOk) return kDecodeErrorRead;
    if (got == 0) return kDecodeErrorInputEof;
    have += got;
  }

  LimitDictionary(header);
  AllocatorAdapter adapter = {{AdapterAllocate, AdapterRelease}, allocator};
  CLzmaDec decoder;
  LzmaDec_Construct(&decoder);
  // On failure the SDK has already released whatever it took.
  SRes result = LzmaDec_Allocate(&decoder, header, kContainerPropertiesSize, &adapter.base);
  if (result != SZ_OK) return result;
  result = DecodeLoop(&decoder, ContainerUnpackedSize(header), &stream, sink, sinkContext);
  LzmaDec_Free(&decoder, &adapter.base);
  return result;
}

int DecodePayload(PlatformFile file, ChunkSink sink, void* sinkContext) {
  return DecodePayloadWithAllocator(file, sink, sinkContext, &kHeapAllocator);
}
