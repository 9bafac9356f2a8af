#include "archive/pe_image.h"

namespace {

const uint32_t kNewHeaderPointer = 0x3C;
const uint32_t kCoffHeaderSize = 20;
const uint32_t kSecurityEntry = 4;
// A certificate table holds at least one WIN_CERTIFICATE header.
const uint32_t kCertificateHeaderSize = 8;

// A little-endian value of `width` bytes at offset, or 0 when it lies past size.
uint32_t GetLe(const uint8_t* bytes, uint32_t size, uint32_t offset, int width) {
  if (offset > size || static_cast<uint32_t>(width) > size - offset) return 0;
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[offset + i];
  return value;
}

}  // namespace

int PeImageRead(const uint8_t* header, uint32_t headerSize, uint32_t fileSize, PeImage* out) {
  *out = PeImage();
  if (header == nullptr || headerSize > fileSize) return kPeImageNotPe;
  uint32_t pe = GetLe(header, headerSize, kNewHeaderPointer, 4);
  if (GetLe(header, headerSize, 0, 2) != 0x5A4D || pe > headerSize || GetLe(header, headerSize, pe, 4) != 0x4550) {
    return kPeImageNotPe;
  }
  uint32_t coff = pe + 4;
  uint32_t optional = coff + kCoffHeaderSize;
  uint32_t optionalSize = GetLe(header, headerSize, coff + 16, 2);
  uint32_t magic = GetLe(header, headerSize, optional, 2);
  if ((magic != 0x10B && magic != 0x20B) || optionalSize > headerSize - optional) return kPeImageNotPe;
  // PE32+ widens four fields before the directory count by 4 bytes each.
  uint32_t count = magic == 0x10B ? 92 : 108;
  uint32_t security = count + 4 + 8 * kSecurityEntry;
  uint32_t address = 0, size = 0;
  if (GetLe(header, headerSize, optional + count, 4) > kSecurityEntry && security + 8 <= optionalSize) {
    address = GetLe(header, headerSize, optional + security, 4);
    size = GetLe(header, headerSize, optional + security + 4, 4);
  }
  PeImage found = {static_cast<uint16_t>(GetLe(header, headerSize, coff, 2)), fileSize, 0};
  if (address != 0 || size != 0) {
    uint32_t headersEnd = GetLe(header, headerSize, optional + 60, 4);
    if (address < headersEnd || address < optional + optionalSize || size < kCertificateHeaderSize ||
        address > fileSize || size > fileSize - address) {
      return kPeImageDamaged;
    }
    found.dataEnd = address;
    found.certificateSize = size;
  }
  *out = found;
  return kPeImageOk;
}
