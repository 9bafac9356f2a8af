#include "archive/uninstall_trailer.h"

#include "archive/pe_image.h"
#include "platform/platform.h"

namespace {

const uint8_t kMagic[4] = {'U', 'T', 'R', 'L'};
// Each text's limit, in the order the body holds them.
const uint32_t kTextLimits[4] = {3, 31, 31, 31};

uint32_t TextLength(const char* text) {
  uint32_t length = 0;
  while (text != nullptr && text[length] != 0) ++length;
  return length;
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

uint32_t GetU16(const uint8_t* at) { return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8; }

const char* FieldText(const TrailerFields* fields, int index) {
  const char* texts[4] = {fields->productCode, fields->productName, fields->windowClass, fields->mainProgram};
  return texts[index];
}

// A byte run that may hold no NUL, as the reader would otherwise cut it.
bool HasNul(const uint8_t* bytes, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    if (bytes[i] == 0) return true;
  }
  return false;
}

// Reads size bytes at offset of an open file; false on a short read.
bool TrailerFileRead(PlatformFile file, uint32_t offset, uint8_t* buffer, uint32_t size) {
  if (PlatformSetFilePointer(file, offset) != offset) return false;
  for (uint32_t done = 0; done < size;) {
    uint32_t got = 0;
    if (!PlatformReadFile(file, buffer + done, size - done, &got) || got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace

uint32_t TrailerChecksum(const uint8_t* bytes, uint32_t size) {
  // Bitwise rather than by table: the uninstaller checks one small body once.
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t TrailerSize(const TrailerFields* fields) {
  if (fields == nullptr || (fields->files == nullptr && fields->fileCount != 0)) return 0;
  uint32_t body = 4;
  for (int i = 0; i < 4; ++i) {
    uint32_t length = TextLength(FieldText(fields, i));
    if (length > kTextLimits[i]) return 0;
    body += 1 + length;
  }
  for (uint32_t i = 0; i < fields->fileCount; ++i) {
    uint32_t length = TextLength(fields->files[i]);
    if (length == 0 || length > kTrailerNameMax) return 0;
    body += 2 + length;
    if (body > kTrailerBodyMax) return 0;
  }
  return body + kTrailerFooterSize;
}

uint32_t TrailerWrite(const TrailerFields* fields, uint8_t* out, uint32_t capacity) {
  uint32_t size = TrailerSize(fields);
  if (size == 0 || size > capacity || out == nullptr) return 0;
  uint32_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const char* text = FieldText(fields, i);
    uint32_t length = TextLength(text);
    out[at++] = static_cast<uint8_t>(length);
    for (uint32_t k = 0; k < length; ++k) out[at++] = static_cast<uint8_t>(text[k]);
  }
  PutU32(out + at, fields->fileCount);
  at += 4;
  for (uint32_t i = 0; i < fields->fileCount; ++i) {
    uint32_t length = TextLength(fields->files[i]);
    out[at++] = static_cast<uint8_t>(length);
    out[at++] = static_cast<uint8_t>(length >> 8);
    for (uint32_t k = 0; k < length; ++k) out[at++] = static_cast<uint8_t>(fields->files[i][k]);
  }
  uint32_t body = at;
  for (int i = 0; i < 4; ++i) out[at++] = kMagic[i];
  out[at++] = kTrailerVersion;
  for (int i = 0; i < 3; ++i) out[at++] = 0;
  PutU32(out + at, body);
  PutU32(out + at + 4, TrailerChecksum(out, body));
  return size;
}

int TrailerBodySize(const uint8_t* footer, uint32_t fileSize, uint32_t* bodySize) {
  *bodySize = 0;
  if (footer == nullptr || fileSize < kTrailerFooterSize) return kTrailerMissing;
  for (int i = 0; i < 4; ++i) {
    if (footer[i] != kMagic[i]) return kTrailerMissing;
  }
  // A later format may use the reserved bytes; this reader knows them as zeros only.
  if (footer[4] != kTrailerVersion || footer[5] != 0 || footer[6] != 0 || footer[7] != 0) return kTrailerNewer;
  uint32_t size = GetU32(footer + 8);
  if (size > kTrailerBodyMax || size > fileSize - kTrailerFooterSize) return kTrailerCut;
  *bodySize = size;
  return kTrailerOk;
}

int TrailerRead(const uint8_t* tail, uint32_t size, Trailer* out) {
  *out = Trailer();
  if (tail == nullptr || size < kTrailerFooterSize) return kTrailerMissing;
  const uint8_t* footer = tail + size - kTrailerFooterSize;
  uint32_t bodySize = 0;
  int result = TrailerBodySize(footer, size, &bodySize);
  if (result != kTrailerOk) return result;
  const uint8_t* body = footer - bodySize;
  if (TrailerChecksum(body, bodySize) != GetU32(footer + 12)) return kTrailerChecksum;

  Trailer found = {};
  char* texts[4] = {found.productCode, found.productName, found.windowClass, found.mainProgram};
  uint32_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= bodySize) return kTrailerMalformed;
    uint32_t length = body[at++];
    if (length > kTextLimits[i] || length > bodySize - at || HasNul(body + at, length)) return kTrailerMalformed;
    for (uint32_t k = 0; k < length; ++k) texts[i][k] = static_cast<char>(body[at + k]);
    at += length;
  }
  if (bodySize - at < 4) return kTrailerMalformed;
  found.fileCount = GetU32(body + at);
  at += 4;
  found.names = body + at;
  found.namesSize = bodySize - at;
  for (uint32_t i = 0; i < found.fileCount; ++i) {
    if (bodySize - at < 2) return kTrailerMalformed;
    uint32_t length = GetU16(body + at);
    at += 2;
    if (length == 0 || length > kTrailerNameMax || length > bodySize - at || HasNul(body + at, length)) {
      return kTrailerMalformed;
    }
    at += length;
  }
  if (at != bodySize) return kTrailerMalformed;
  *out = found;
  return kTrailerOk;
}

bool TrailerNextFile(const Trailer* trailer, uint32_t* cursor, char* name, int capacity) {
  if (name != nullptr && capacity > 0) name[0] = 0;
  if (trailer == nullptr || cursor == nullptr || trailer->names == nullptr || *cursor + 2 > trailer->namesSize) {
    return false;
  }
  const uint8_t* at = trailer->names + *cursor;
  uint32_t length = GetU16(at);
  if (length > trailer->namesSize - *cursor - 2) return false;
  if (name != nullptr && capacity > 0) {
    uint32_t kept = length < static_cast<uint32_t>(capacity - 1) ? length : static_cast<uint32_t>(capacity - 1);
    for (uint32_t k = 0; k < kept; ++k) name[k] = static_cast<char>(at[2 + k]);
    name[kept] = 0;
  }
  *cursor += 2 + length;
  return true;
}

int TrailerFileFooter(PlatformFile file, uint8_t* footer, uint32_t* end, uint32_t* bodySize) {
  *end = 0;
  *bodySize = 0;
  uint8_t header[kPeHeaderBytes];
  uint32_t size = PlatformGetFileSize(file);
  uint32_t headerSize = size < kPeHeaderBytes ? size : kPeHeaderBytes;
  PeImage image;
  if (size == 0xFFFFFFFFu || !TrailerFileRead(file, 0, header, headerSize) ||
      PeImageRead(header, headerSize, size, &image) != kPeImageOk || image.dataEnd < kTrailerFooterSize ||
      !TrailerFileRead(file, image.dataEnd - kTrailerFooterSize, footer, kTrailerFooterSize)) {
    return kTrailerMissing;
  }
  *end = image.dataEnd;
  return TrailerBodySize(footer, image.dataEnd, bodySize);
}

bool FileHasTrailer(const char16_t* path) {
  PlatformFile file = PlatformCreateFile(path, false);
  if (file == PLATFORM_INVALID_FILE) return false;
  uint8_t footer[kTrailerFooterSize];
  uint32_t end = 0, bodySize = 0;
  int result = TrailerFileFooter(file, footer, &end, &bodySize);
  PlatformCloseHandle(file);
  return result == kTrailerOk;
}
