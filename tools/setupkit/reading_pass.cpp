#include "setupkit/reading_pass.h"

#include <stdio.h>

#include <new>

#include "archive/decoder.h"
#include "archive/entry_format.h"
#include "archive/file_routines.h"
#include "archive/payload_format.h"
#include "archive/payload_locator.h"
#include "setupkit/file_io.h"
#include "setupkit/system_error.h"

namespace fs = std::filesystem;

namespace {

struct Guard {
  EntryHandler handler;
  void* context;
  bool outOfMemory;
};

int GuardedHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Guard* guard = static_cast<Guard*>(context);
  try {
    return guard->handler(name, data, size, guard->context);
  } catch (const std::bad_alloc&) {
    guard->outOfMemory = true;
    name[0] = 0;
    return 0;
  }
}

// What the payload's decoder would take, from the header behind the magic; 0
// when there is none to read, and the pass says what is wrong.
uint64_t PayloadDecoderMemory(PlatformFile file) {
  const uint32_t size = PlatformGetFileSize(file);
  const uint32_t offset = PayloadLocator(file, size == 0xFFFFFFFF ? 0 : size);
  uint8_t header[kContainerHeaderSize];
  uint32_t got = 0;
  if (offset == 0 || PlatformSetFilePointer(file, offset) != offset ||
      !PlatformReadFile(file, header, kContainerHeaderSize, &got) || got != kContainerHeaderSize) {
    return 0;
  }
  return DecoderMemory(header);
}

std::string Mebibytes(uint64_t bytes) {
  char text[32];
  snprintf(text, sizeof(text), "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

}  // namespace

Problem ReadingPass(const fs::path& installer, uint64_t memoryLimit, EntryHandler handler, void* context,
                    ArchivePassSummary* summary, int* result) {
  int ignored = 0;
  int& outcome = result != nullptr ? *result : ignored;
  *summary = ArchivePassSummary();
  PlatformFile file = PLATFORM_INVALID_FILE;
  outcome = OpenFileHandle(installer.u16string().c_str(), false, &file);
  if (outcome != 0) return ReadingPassProblem(installer, outcome, *summary);
  const uint64_t needed = PayloadDecoderMemory(file);
  if (needed > memoryLimit) {
    CloseFileHandle(file);
    outcome = -kDecodeErrorMem;
    return Failure(ShowPath(installer) + ": its LZMA dictionary needs " + Mebibytes(needed) +
                   " of memory, more than the limit of " + Mebibytes(memoryLimit) + " (--memlimit)");
  }
  Guard guard = {handler, context, false};
  outcome = ArchivePassOnFile(file, GuardedHandler, &guard, summary);
  CloseFileHandle(file);
  if (guard.outOfMemory) throw std::bad_alloc();
  return ReadingPassProblem(installer, outcome, *summary);
}

// Only the -1 cases need a closer look: a missing magic, bad LZMA data, a
// broken stream and a wrong checksum all end there; a broken stream usually
// fails the checksum too.
std::string BrokenPayloadText(int result, const ArchivePassSummary& summary) {
  switch (result) {
    case -kDecodeErrorMem:
      return "not enough memory for the payload's LZMA dictionary";
    case -kDecodeErrorUnsupported:
      return "unsupported LZMA properties in the payload header";
    case -kDecodeErrorInputEof:
      return "the payload header is cut short";
    case -kDecodeErrorRead:
      return "read error inside the payload";
    default:
      break;
  }
  if (summary.fileSize == 0) return "is empty";
  if (summary.payloadOffset == 0) return "no payload found";
  if (summary.decoderResult == kDecodeErrorData) return "LZMA data error (the payload is corrupt or cut short)";
  if (summary.limitBroken) return "the entry stream breaks a limit of the format (a text, name or date)";
  if (summary.endedInsideRecord) return "the entry stream ends inside an entry (unpacked size too small)";
  if (summary.expectedChecksum != summary.actualChecksum) {
    char text[80];
    snprintf(text, sizeof(text), "checksum mismatch (stored %08X, computed %08X)",
             static_cast<unsigned>(summary.expectedChecksum), static_cast<unsigned>(summary.actualChecksum));
    return text;
  }
  return "broken payload";
}

Problem ReadingPassProblem(const fs::path& installer, int result, const ArchivePassSummary& summary) {
  if (result == 0) return NoProblem();
  if (result > 0) {
    return Failure(ShowPath(installer) + ": cannot be read (" + SystemErrorText(static_cast<uint32_t>(result)) + ")");
  }
  return Broken(ShowPath(installer) + ": " + BrokenPayloadText(result, summary));
}

std::string DateText(uint32_t archiveDate) {
  int year, month, day;
  if (!ArchiveDateToYmd(archiveDate, &year, &month, &day)) return std::string();
  char text[16];
  snprintf(text, sizeof(text), "%04d-%02d-%02d", year, month, day);
  return text;
}
