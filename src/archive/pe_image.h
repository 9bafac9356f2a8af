// What a program's PE headers say about its file: the machine it runs on and
// where its image data ends. An Authenticode signature is a certificate table
// that the security data directory (entry 4; its address is a file offset, not
// an RVA) places behind the image data, so whatever a tool appended to the
// image before signing (the uninstaller's trailer) ends where that table starts:
//
//   +--------------------------+----------------------+------------------------------+
//   | headers, sections        | appended data        | certificate table (optional) |
//   +--------------------------+----------------------+------------------------------+
//   0                                                 dataEnd                      fileSize
//
// The reader checks, in this order: "MZ", the PE header's offset against the
// bytes given, "PE\0\0", the optional header's magic and size, then the security
// entry against the headers' end and the file's size.
#pragma once

#include <stdint.h>

// The bytes of a file's start a reader takes: our programs' headers end far
// before (a PE32+ header set is 0x80 + 24 + 240 bytes), and the file alignment is 512.
const uint32_t kPeHeaderBytes = 512;

const uint16_t kPeMachineI386 = 0x14C;
const uint16_t kPeMachineAmd64 = 0x8664;

enum PeImageResult : int {
  kPeImageOk = 0,
  kPeImageNotPe = 1,    // no MZ, PE or optional header in the bytes given
  kPeImageDamaged = 2,  // a certificate table that starts inside the headers, ends past the file or is too small
};

struct PeImage {
  uint16_t machine;           // the COFF header's machine field
  uint32_t dataEnd;           // the certificate table's offset, or fileSize when there is none
  uint32_t certificateSize;   // 0 when the file is not signed
};

// Reads the headers of a file of fileSize bytes from header, its first
// headerSize bytes (kPeHeaderBytes, or fewer when the file is shorter; more is
// fine). Fills *out on kPeImageOk; otherwise *out is zeroed.
int PeImageRead(const uint8_t* header, uint32_t headerSize, uint32_t fileSize, PeImage* out);
