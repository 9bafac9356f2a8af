// The payload an installer carries behind its executable image.
//
//   executable file
//   +----------------------+  0
//   | image                |  headers, code, data, resources (as linked)
//   +----------------------+  payload start, at or after kPayloadSearchStart
//   | magic        4 bytes |  B6 2C B6 91
//   +----------------------+  <- PayloadLocator returns this offset
//   | properties   1 byte  |  (pb * 5 + lp) * 9 + lc; 225 and above are unsupported
//   | dictionary   4 bytes |  little-endian; below 4096 counts as 4096
//   | unpacked     4 bytes |  BIG-endian: bytes of the entry stream (00 2A FB DB = 2,816,987)
//   +----------------------+
//   | LZMA stream          |  raw LZMA, decoded until `unpacked` bytes are produced;
//   |                      |  an end marker is optional
//   +----------------------+
//   | certificate table    |  only when signed; never read
//   +----------------------+
//
// Properties and dictionary form the standard five-byte LZMA properties block;
// packers write 5D 00 00 00 01 (lc 3, lp 0, pb 2, 16 MiB). The first magic at or
// after kPayloadSearchStart wins, so none may stand between that offset and the
// payload.
#pragma once

#include <stdint.h>

const uint32_t kPayloadSearchStart = 89999;
const uint32_t kPayloadMagicSize = 4;
const uint32_t kContainerHeaderSize = 9;
const uint32_t kContainerPropertiesSize = 5;

// The locator reads the file from the search start in pieces of this size; a
// packer that pads the payload's start to a piece boundary uses it too.
const uint32_t kPayloadReadSize = 4092;

// The magic XOR 0xFF: the stub's image must not hold the magic itself, or the
// search would find the stub's own copy once the image grows past the search start.
inline constexpr uint8_t kPayloadMagicMasked[kPayloadMagicSize] = {0x49, 0xD3, 0x49, 0x6E};

// Byte i (0 to 3) of the magic, for writers; the stub only compares masked bytes.
inline uint8_t PayloadMagicByte(uint32_t i) { return static_cast<uint8_t>(kPayloadMagicMasked[i] ^ 0xFF); }

// Writes the magic and the nine header bytes that follow it into out
// (kPayloadMagicSize + kContainerHeaderSize bytes): the LZMA properties byte,
// the dictionary size and the unpacked size, as drawn above.
inline void WriteContainerHeader(uint8_t properties, uint32_t dictionary, uint32_t unpacked, uint8_t* out) {
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) out[i] = PayloadMagicByte(i);
  uint8_t* header = out + kPayloadMagicSize;
  header[0] = properties;
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(dictionary >> (8 * i));
  for (int i = 0; i < 4; ++i) header[5 + i] = static_cast<uint8_t>(unpacked >> (24 - 8 * i));
}

// The unpacked size from the nine header bytes.
inline uint32_t ContainerUnpackedSize(const uint8_t* header) {
  return (static_cast<uint32_t>(header[5]) << 24) | (static_cast<uint32_t>(header[6]) << 16) |
         (static_cast<uint32_t>(header[7]) << 8) | header[8];
}
