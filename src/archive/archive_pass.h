// The archive pass: one full pass over the installer's payload with an entry handler.
#pragma once

#include <stdint.h>

#include "archive/entry_parser.h"

// What a pass found: the identity texts the installer keeps, and for tools that report on an installer the rest. Filled whatever the
// result; all zero when the pass ended before decoding.
struct ArchivePassSummary {
  char productCode[4];          // StreamHeader texts, plain ANSI, terminated; empty
  char productWindowClass[32];  // when the StreamHeader was not complete
  char mainProgramName[32];
  uint32_t archiveDate;         // day number (2012-01-01 is 32); 0 when not read
  uint32_t expectedChecksum;    // from the StreamHeader
  uint32_t actualChecksum;      // summed over the data decoded
  uint32_t entryCount;          // EntryHeaders parsed, i.e. decision calls made
  bool limitBroken;             // a text, name or ArchiveDate broke a limit; the rest was ignored
  bool endedInsideRecord;       // the stream stopped inside the StreamHeader, an EntryHeader or data
  uint32_t fileSize;            // of the executable, low 32 bits (0 when empty or unreadable)
  uint32_t payloadOffset;       // behind the magic; 0 when no payload was found
  int decoderResult;            // DecodePayload's result; 0 when nothing was decoded
};

// Opens the executable at `executablePath`, finds and decodes its payload
// through the entry parser with `handler` (may be null) and `handlerContext`,
// and checks the checksum. Returns
//   0       success: decoded to its end, every file written, stream whole and
//           valid, checksum equal
//   > 0     a Win32 error: opening the executable failed, or the first failure to
//           create or write an output file (the pass still decoded to the end)
//   -1      broken payload: empty file, no payload, checksum mismatch, a stream
//           that ends inside a record or breaks a limit of the format, or corrupt LZMA data
//   -2, -4, -6, -8, -1235   minus the decoder's result (memory, unsupported
//           properties, header cut short, read failure, refusing sink)
// The three StreamHeader texts are in the summary (ArchivePassReport); the
// caller decides whether to keep them. Output files written stay whatever the
// result, and no output file is left open.
int ArchivePass(const char16_t* executablePath, EntryHandler handler, void* handlerContext);

// ArchivePass that also fills *summary (when not null).
int ArchivePassReport(const char16_t* executablePath, EntryHandler handler, void* handlerContext,
                      ArchivePassSummary* summary);

// ArchivePassReport over `executable`, already open for reading, read from its
// start; it stays open. The installer reads the one handle it holds on its own
// file, so every pass sees the bytes the first one checked. PLATFORM_INVALID_FILE
// gives 6 (invalid handle).
int ArchivePassOnFile(PlatformFile executable, EntryHandler handler, void* handlerContext,
                      ArchivePassSummary* summary);

// The decoded entry stream as a pass saw it, kept so that a second pass over
// the same payload parses it again without decoding: a silent install's scan
// and install read the payload once. A stream larger than capacity is not kept.
struct KeptStream {
  uint8_t* bytes;     // malloc'ed, null when nothing is kept
  uint32_t size;      // bytes kept
  uint32_t reserved;  // bytes allocated, grown as the stream comes
  uint32_t capacity;  // the most that may be kept; set by the caller
  bool whole;         // the pass that kept it succeeded, and all of it is here
};

// ArchivePassOnFile that also keeps the decoded stream in *kept (capacity set by
// the caller; the rest is reset). Same results; kept->whole tells whether a
// later ArchivePassOnKept may stand in for another pass over the file.
int ArchivePassKeeping(PlatformFile executable, EntryHandler handler, void* handlerContext,
                       ArchivePassSummary* summary, KeptStream* kept);

// The pass over a whole kept stream instead of the file: the same calls of
// handler and the same results as ArchivePassOnFile would give. The parser
// works on the kept bytes in place, so the stream is released afterwards.
int ArchivePassOnKept(KeptStream* kept, EntryHandler handler, void* handlerContext, ArchivePassSummary* summary);

// Frees the kept bytes; the record is left empty.
void ReleaseKeptStream(KeptStream* kept);
