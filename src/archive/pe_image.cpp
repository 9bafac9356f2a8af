#include "archive/pe_image.h"

namespace {

const uint32_t kNewHeaderPointer = 0x3C;
// The PE signature and the COFF header.
const uint32_t kPeAndCoffSize = 24;
// The smallest optional header that holds every field read here up to the PE32 directory count.
const uint32_t kOptionalMin = 96;
const uint32_t kSecurityEntry = 4;
// A certificate table holds at least one WIN_CERTIFICATE header.
const uint32_t kCertificateHeaderSize = 8;

// Four bytes, little-endian; a 16-bit field is masked out of them. Each read is
// bounds-checked once, by its caller: the uninstaller's size budget has little room.
uint32_t Le(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

}  // namespace

int PeImageRead(const uint8_t* header, uint32_t headerSize, uint32_t fileSize, PeImage* out) {
  *out = PeImage();
  if (header == nullptr || headerSize > fileSize || headerSize < kNewHeaderPointer + 4 || (Le(header) & 0xFFFF) != 0x5A4D) {
    return kPeImageNotPe;
  }
  uint32_t pe = Le(header + kNewHeaderPointer);
  if (pe > headerSize - kPeAndCoffSize || Le(header + pe) != 0x4550) return kPeImageNotPe;
  const uint8_t* optional = header + pe + kPeAndCoffSize;
  uint32_t optionalSize = Le(header + pe + 20) & 0xFFFF;
  if (optionalSize < kOptionalMin || optionalSize > headerSize - pe - kPeAndCoffSize) return kPeImageNotPe;
  uint32_t magic = Le(optional) & 0xFFFF;
  if (magic != 0x10B && magic != 0x20B) return kPeImageNotPe;
  // PE32+ widens four fields before the directory count by 4 bytes each.
  uint32_t count = magic == 0x10B ? 92 : 108;
  uint32_t security = count + 4 + 8 * kSecurityEntry;
  uint32_t address = 0, size = 0;
  if (security + 8 <= optionalSize && Le(optional + count) > kSecurityEntry) {
    address = Le(optional + security);
    size = Le(optional + security + 4);
  }
  PeImage found = {static_cast<uint16_t>(Le(header + pe + 4)), fileSize, size};
  if (address != 0 || size != 0) {
    // The table lies behind the headers (SizeOfHeaders, at 60 in both layouts) and within the file.
    if (address < Le(optional + 60) || size < kCertificateHeaderSize || address > fileSize ||
        size > fileSize - address) {
      return kPeImageDamaged;
    }
    found.dataEnd = address;
  }
  *out = found;
  return kPeImageOk;
}
