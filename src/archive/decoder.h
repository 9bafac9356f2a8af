// The decompression driver: turns the payload's LZMA stream into the entry
// stream, handing it to a sink in chunks of at most 64 KiB, without ever
// holding the whole decompressed stream.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

// Results: 0 or the LZMA SDK's numbers, plus the Win32 ERROR_REQUEST_ABORTED for a refusing sink.
const int kDecodeOk = 0;
const int kDecodeErrorData = 1;         // corrupt or unfinished stream
const int kDecodeErrorMem = 2;          // probability table or dictionary not available
const int kDecodeErrorUnsupported = 4;  // properties byte 225 or above
const int kDecodeErrorInputEof = 6;     // the file ended inside the container header
const int kDecodeErrorRead = 8;         // a ReadFile failed; its Win32 error is not kept
const int kSinkRefused = 1235;

// Receives `length` decoded bytes (0 to 65536; 0 happens) at `bytes`, the start
// of the driver's output buffer. The bytes are the sink's to change until it
// returns and are overwritten by the next chunk. A nonzero result stops the decode.
typedef int (*ChunkSink)(uint8_t* bytes, uint32_t length, void* context);

// Where the decoder's probability table and dictionary come from. `allocate`
// returns null when the memory is not available; `release` accepts null.
struct DecoderAllocator {
  void* (*allocate)(void* context, size_t size);
  void (*release)(void* context, void* block);
  void* context;
};

// Decodes the payload whose container header starts at `file`'s current
// position: reads the nine header bytes, sets the decoder up with the header's
// properties, and decodes until the announced unpacked size has been produced,
// calling `sink` (or nobody when null) with every step's output, also when it
// is empty, and `sinkContext` unchanged. Returns:
//   kDecodeOk                 the announced size was produced, or the stream ended
//                             with an end marker before it (the caller's checksum decides);
//                             bytes behind the stream are never decoded
//   kDecodeErrorInputEof      the header was cut short; no decoder memory was taken
//   kDecodeErrorUnsupported,
//   kDecodeErrorMem           the decoder could not be set up; nothing was decoded
//   kDecodeErrorData          corrupt data; input that ran out before the size without an
//                             end marker; or, once fewer than 65536 bytes remain, a stream
//                             that does not end at the announced size
//   kDecodeErrorRead          a read failed (header or stream)
//   kSinkRefused              the sink returned nonzero; checked before the decoder's
//                             own result of that step
// After any result the sink may already have seen chunks, the file position is
// unspecified, and all decoder memory has been released. The memory is the
// dictionary (the header's size or the unpacked size, whichever is smaller, at
// least 4096 bytes) and the probability table, from malloc; the two 64 KiB
// buffers take 128 KiB of the calling thread's stack.
int DecodePayload(PlatformFile file, ChunkSink sink, void* sinkContext);

// The bytes DecodePayload takes from malloc for a payload whose nine container
// header bytes are `header`: the dictionary as it sizes it and the probability
// table. 0 for properties it does not support. A tool checks this against its
// memory limit before decoding.
uint64_t DecoderMemory(const uint8_t* header);

// DecodePayload with the decoder's memory taken from `allocator`.
int DecodePayloadWithAllocator(PlatformFile file, ChunkSink sink, void* sinkContext,
                               const DecoderAllocator* allocator);

// Reads from an open file at its current position, at most 4 MiB per ReadFile.
struct FileInStream {
  PlatformFile file;
};

const uint32_t kFileInStreamMaxRead = 4194304;

// Reads up to *size bytes into `buffer`, repeating ReadFile until *size bytes
// have arrived or the file ends; *size becomes the number read (less only at the
// end of the file). A request of 0 bytes reads nothing. Returns kDecodeOk, or
// kDecodeErrorRead when a ReadFile fails, *size then counting the bytes that
// arrived before.
int FileInStreamRead(FileInStream* stream, void* buffer, uint32_t* size);
