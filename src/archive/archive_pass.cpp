#include "archive/archive_pass.h"

#include <string.h>

#include "archive/decoder.h"
#include "archive/file_routines.h"
#include "archive/payload_locator.h"

namespace {

const int kBrokenPayload = -1;

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
  if (summary != nullptr) memset(summary, 0, sizeof *summary);
  if (file == PLATFORM_INVALID_FILE) return kErrorInvalidHandle;
  int result = 0;
  PlatformSetFilePointer(file, 0);

  // About 5 KiB; the pass runs on the dialog's thread, whose stack holds it easily.
  EntryParserState state;
  bool whole = false;
  uint32_t size = FileSizeOrZero(file);
  uint32_t offset = size == 0 ? 0 : PayloadLocator(file, size);
  if (offset == 0) {
    result = kBrokenPayload;
  } else {
    EntryParserReset(&state, handler, handlerContext);
    PlatformSetFilePointer(file, offset);
    int decoded = DecodePayload(file, EntryParser, &state);
    result = decoded != 0 ? -decoded : state.firstError;
    whole = EntryParserFinish(&state);
    if (summary != nullptr) {
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
  }
  if (summary != nullptr) {
    summary->fileSize = size;
    summary->payloadOffset = offset;
  }
  if (result != 0) return result;

  if (!whole || state.runningChecksum != state.expectedChecksum) return kBrokenPayload;
  return 0;
}

int ArchivePass(const char16_t* executablePath, EntryHandler handler, void* handlerContext) {
  return ArchivePassReport(executablePath, handler, handlerContext, nullptr);
}
