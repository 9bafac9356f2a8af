// The entry parser: the ChunkSink that turns the decoded entry stream (layout in
// entry_format.h) into handler calls and output files, and keeps the checksum.
//
// Chunks split records anywhere. Data bytes are unscrambled in place in the
// chunk and written straight from it; only a record beginning cut off by a
// chunk end (at most 1024 bytes) and each entry's first 1024 data bytes are copied.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

// Called for each entry, in this order:
// 1. The decision call, once, when the entry's header has been read and before
//    any of its data: `data` is null, `size` the entry's data size, `name` the
//    entry's stored name in a writable buffer of 1024 units. Returning nonzero
//    with the buffer not empty makes the parser create the file the buffer then
//    names (the handler may rewrite it, at most 1023 units) and write the data
//    into it; the folder must exist. 0 or an emptied buffer writes nothing.
// 2. The data call, at most once, only for an entry with data: `data` holds the
//    first min(size, 1024) plain bytes (valid during the call only), `size` is
//    their count. Made whatever the decision call returned, with the name as it
//    left it. Its result is ignored.
typedef int (*EntryHandler)(char16_t* name, const uint8_t* data, uint32_t size, void* context);

enum EntryParserPhase : uint32_t {
  kExpectStreamHeader = 0,  // initial; a cut-off StreamHeader waits in the carry buffer
  kStreamHeaderDone,
  kEntryHeaderSplit,        // a cut-off EntryHeader waits in the carry buffer
  kInEntry,                 // header parsed, decision made; dataRemaining bytes to come
};

const uint32_t kEntryNameUnits = 1024;
const uint32_t kCarryBufferSize = 1024;  // 4 size bytes + 1019 name bytes + terminator
const uint32_t kLeadBufferSize = 1024;

// One archive pass's parsing state. EntryParserReset prepares it; the pass reads
// the results from it after the decode. Owns at most one open file, outputFile.
struct EntryParserState {
  int firstError;               // first Win32 error creating or writing a file; 0 if none
  EntryParserPhase phase;
  bool broken;                  // the stream broke a limit of the format; the rest was ignored
  EntryHandler handler;         // may be null: no calls, no files
  void* handlerContext;
  uint32_t runningChecksum;
  uint32_t expectedChecksum;    // from the StreamHeader; 0 until it is complete
  uint32_t archiveDate;         // the StreamHeader's day number; 0 until it is complete
  uint64_t archiveTime;         // noon local time of archiveDate, as a UTC file time
  uint32_t entryNumber;         // EntryHeaders parsed so far
  char narrowName[1024];        // current entry's stored name, plain
  char16_t wideName[kEntryNameUnits];  // as the handler left it
  uint32_t entrySize;
  uint32_t dataRemaining;
  PlatformFile outputFile;      // PLATFORM_INVALID_FILE when none is open
  uint8_t carryBuffer[kCarryBufferSize];
  uint32_t carryFill;
  char productCode[4];          // StreamHeader texts, plain, terminated
  char productWindowClass[32];
  char mainProgramName[32];
  uint8_t leadBuffer[kLeadBufferSize];
  uint32_t leadCount;
};

// Zeroes `state` and sets it up for a pass with `handler` (or none) and its context.
void EntryParserReset(EntryParserState* state, EntryHandler handler, void* handlerContext);

// ChunkSink over an EntryParserState (`state`): parses `length` bytes at `bytes`,
// changing them in place. Always returns 0.
//
// A failure to create or write a file is kept in firstError (the first one wins,
// 5 standing in for a last error of 0), and parsing goes on. A stream that breaks
// a limit of the format (a text or name longer than its buffer allows, an empty
// name or one whose first character is NUL, a last name component that
// IsUnsafeFileName refuses, an ArchiveDate that names no date from 2012-01-01 on)
// sets `broken`;
// from there on every chunk is ignored: no more handler calls, files or checksum.
// No file is open at that moment, since limits are checked in headers only.
int EntryParser(uint8_t* bytes, uint32_t length, void* state);

// Ends a pass's use of `state`: closes an output file the stream left open
// (ending inside an entry's data; the file keeps what it got, without the
// archive time). Returns true when the stream was whole: its StreamHeader
// complete, it ended between entries, and it was not broken.
bool EntryParserFinish(EntryParserState* state);
