#include "archive/entry_parser.h"

#include <string.h>

#include "archive/entry_format.h"
#include "archive/file_routines.h"
#include "text/bounded_text.h"
#include "text/file_name_rules.h"

namespace {

const uint32_t kNumberSize = 4;

// Unscrambles a ShiftedString from `available` bytes into `dest` of `capacity`
// bytes. Returns the bytes consumed (length + 1) when the text ends within them,
// 0 when it does not yet, and -1 when it cannot fit `dest` with its terminator.
int ReadShiftedString(const uint8_t* data, uint32_t available, char* dest, uint32_t capacity) {
  for (uint32_t i = 0;; ++i) {
    if (i == available) {
      dest[i] = 0;
      return 0;
    }
    if (data[i] == 0) {
      dest[i] = 0;
      return static_cast<int>(i) + 1;
    }
    if (i + 1 >= capacity) {
      dest[i] = 0;
      return -1;
    }
    dest[i] = static_cast<char>(PlainTextByte(data[i]));
  }
}

// Returns the bytes of a complete StreamHeader at `data`, or 0 when `available`
// bytes do not complete it or it is invalid (then `broken` is set). Nothing takes
// effect before the whole header is at hand.
uint32_t ParseStreamHeader(EntryParserState* s, const uint8_t* data, uint32_t available) {
  if (available < kNumberSize) return 0;
  char texts[3][32] = {};
  const uint32_t capacities[3] = {sizeof s->productCode, sizeof s->productWindowClass, sizeof s->mainProgramName};
  uint32_t used = kNumberSize;
  for (int i = 0; i < 3; ++i) {
    int r = ReadShiftedString(data + used, available - used, texts[i], capacities[i]);
    if (r < 0) s->broken = true;
    if (r <= 0) return 0;
    used += static_cast<uint32_t>(r);
  }
  if (available - used < kNumberSize) return 0;
  uint32_t archiveDate = ReadShiftedU32(data + used);
  int year, month, day;
  uint64_t archiveTime = 0;
  if (!ArchiveDateToYmd(archiveDate, &year, &month, &day)) {
    s->broken = true;
    return 0;
  }
  PlatformDateTime noon = {static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0,
                           static_cast<uint16_t>(day), 12, 0, 0, 0};
  if (!PlatformLocalTimeToFileTime(&noon, &archiveTime)) {
    s->broken = true;
    return 0;
  }
  s->expectedChecksum = ReadShiftedU32(data);
  memcpy(s->productCode, texts[0], sizeof s->productCode);
  memcpy(s->productWindowClass, texts[1], sizeof s->productWindowClass);
  memcpy(s->mainProgramName, texts[2], sizeof s->mainProgramName);
  s->archiveDate = archiveDate;
  s->archiveTime = archiveTime;
  s->phase = kStreamHeaderDone;
  return used + kNumberSize;
}

// Returns the bytes of a complete EntryHeader at `data` after making the
// decision call, or 0 when `available` bytes do not complete it or it is invalid
// (then `broken` is set).
uint32_t ParseEntryHeader(EntryParserState* s, const uint8_t* data, uint32_t available) {
  if (available < kNumberSize) return 0;
  int r = ReadShiftedString(data + kNumberSize, available - kNumberSize, s->narrowName, kEntryNameMax + 1);
  // A first character that unscrambles to NUL (stored 0x7F) leaves the name as
  // empty as a stored empty text does.
  if (r == 1 || r < 0 || (r > 1 && s->narrowName[0] == 0)) s->broken = true;
  if (r <= 1 || s->broken) return 0;
  NarrowToWide(s->narrowName, s->wideName, kEntryNameUnits);
  // Files land under the last component; one that Windows reads as a device or as
  // another name is never written by a packer, so it marks a crafted payload.
  int last = FileNameOffset(s->wideName);
  if (IsUnsafeFileName(s->wideName + last, WideLength(s->wideName) - last)) {
    s->broken = true;
    return 0;
  }
  s->entrySize = s->dataRemaining = ReadShiftedU32(data);
  s->entryNumber += 1;
  s->phase = kInEntry;
  s->leadCount = 0;
  if (s->handler != nullptr) {
    int decision = s->handler(s->wideName, nullptr, s->entrySize, s->handlerContext);
    s->wideName[kEntryNameUnits - 1] = 0;
    if (decision != 0 && s->wideName[0] != 0) {
      int error = OpenFileHandle(s->wideName, true, &s->outputFile);
      if (error != 0 && s->firstError == 0) s->firstError = error;
    }
  }
  return kNumberSize + static_cast<uint32_t>(r);
}

// Takes up to `available` data bytes of the current entry (also none: that
// completes an entry without data). Returns the bytes taken.
uint32_t TakeEntryData(EntryParserState* s, uint8_t* data, uint32_t available) {
  uint32_t taken = s->dataRemaining < available ? s->dataRemaining : available;
  uint32_t perByte = ChecksumTerm(static_cast<uint8_t>(s->narrowName[0]), s->entryNumber, 0);
  uint32_t checksum = s->runningChecksum;
  for (uint32_t i = 0; i < taken; ++i) {
    data[i] = PlainDataByte(data[i]);
    checksum += perByte + data[i];
  }
  s->runningChecksum = checksum;
  s->dataRemaining -= taken;

  uint32_t wanted = s->entrySize < kLeadBufferSize ? s->entrySize : kLeadBufferSize;
  if (s->handler != nullptr && s->leadCount < wanted) {
    uint32_t copy = kLeadBufferSize - s->leadCount;
    if (copy > taken) copy = taken;
    memcpy(s->leadBuffer + s->leadCount, data, copy);
    s->leadCount += copy;
    if (s->leadCount == wanted) s->handler(s->wideName, s->leadBuffer, s->leadCount, s->handlerContext);
  }

  if (s->outputFile != PLATFORM_INVALID_FILE) {
    if (taken > 0) {
      uint32_t put = 0;
      // A short write that reports success must not pick up an older error.
      PlatformSetLastError(0);
      if (!PlatformWriteFile(s->outputFile, data, taken, &put) || put < taken) {
        if (s->firstError == 0) s->firstError = LastErrorOr(kErrorAccessDenied);
      }
    }
    if (s->dataRemaining == 0) {
      PlatformSetFileTime(s->outputFile, s->archiveTime);
      CloseFileHandle(s->outputFile);
      s->outputFile = PLATFORM_INVALID_FILE;
    }
  }
  return taken;
}

void CarryAppend(EntryParserState* s, const uint8_t* data, uint32_t length) {
  uint32_t room = kCarryBufferSize - s->carryFill;
  if (length > room) length = room;
  memcpy(s->carryBuffer + s->carryFill, data, length);
  s->carryFill += length;
}

}  // namespace

void EntryParserReset(EntryParserState* state, EntryHandler handler, void* handlerContext) {
  memset(state, 0, sizeof *state);
  state->phase = kExpectStreamHeader;
  state->handler = handler;
  state->handlerContext = handlerContext;
  state->outputFile = PLATFORM_INVALID_FILE;
}

int EntryParser(uint8_t* bytes, uint32_t length, void* context) {
  EntryParserState* s = static_cast<EntryParserState*>(context);
  uint32_t used = 0;

  if (!s->broken && s->carryFill > 0) {
    uint32_t kept = s->carryFill;
    bool streamHeader = s->phase == kExpectStreamHeader;
    CarryAppend(s, bytes, length);
    uint32_t r = streamHeader ? ParseStreamHeader(s, s->carryBuffer, s->carryFill)
                              : ParseEntryHeader(s, s->carryBuffer, s->carryFill);
    if (r > 0) {
      used = r > kept ? r - kept : 0;
      s->carryFill = 0;
      if (!streamHeader && s->entrySize == 0) TakeEntryData(s, bytes + used, 0);
    } else {
      used = length;
    }
  }

  if (!s->broken && s->phase == kExpectStreamHeader && used < length) {
    uint32_t r = ParseStreamHeader(s, bytes + used, length - used);
    if (r > 0) {
      used += r;
    } else if (!s->broken) {
      CarryAppend(s, bytes + used, length - used);
      used = length;
    }
  }

  if (!s->broken && s->dataRemaining > 0 && used < length) used += TakeEntryData(s, bytes + used, length - used);

  while (!s->broken && used < length) {
    uint32_t r = ParseEntryHeader(s, bytes + used, length - used);
    if (r == 0) {
      if (s->broken) break;
      s->phase = kEntryHeaderSplit;
      CarryAppend(s, bytes + used, length - used);
      break;
    }
    used += r;
    used += TakeEntryData(s, bytes + used, length - used);
  }
  return 0;
}

bool EntryParserFinish(EntryParserState* state) {
  CloseFileHandle(state->outputFile);
  state->outputFile = PLATFORM_INVALID_FILE;
  return !state->broken && state->carryFill == 0 && state->dataRemaining == 0 && state->phase != kExpectStreamHeader &&
         state->phase != kEntryHeaderSplit;
}
