#include "setupkit/stub_check.h"

#include <string.h>

#include <algorithm>

#include "archive/payload_format.h"
#include "archive/pe_image.h"
#include "archive/stub_marker.h"
#include "setupkit/file_io.h"

namespace {

// Little-endian reads that yield false past the end of the bytes.
bool Read16(const std::vector<uint8_t>& b, uint64_t offset, uint32_t* value) {
  if (offset + 2 > b.size()) return false;
  *value = b[offset] | (static_cast<uint32_t>(b[offset + 1]) << 8);
  return true;
}

bool Read32(const std::vector<uint8_t>& b, uint64_t offset, uint32_t* value) {
  if (offset + 4 > b.size()) return false;
  *value = b[offset] | (static_cast<uint32_t>(b[offset + 1]) << 8) | (static_cast<uint32_t>(b[offset + 2]) << 16) |
           (static_cast<uint32_t>(b[offset + 3]) << 24);
  return true;
}

const uint32_t kNewHeaderPointer = 0x3C;
const uint32_t kCoffHeaderSize = 20;
const uint32_t kOptionalMagicPe32 = 0x10B;
const uint32_t kOptionalMagicPe32Plus = 0x20B;

}  // namespace

int64_t StubFindPayloadMagic(const std::vector<uint8_t>& bytes) {
  for (uint64_t i = kPayloadSearchStart; i + kPayloadMagicSize <= bytes.size(); ++i) {
    if (bytes[i] == PayloadMagicByte(0) && bytes[i + 1] == PayloadMagicByte(1) && bytes[i + 2] == PayloadMagicByte(2) &&
        bytes[i + 3] == PayloadMagicByte(3)) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

bool StubHasMarker(const uint8_t* bytes, size_t size) {
  const char* marker = SETUP_STUB_MARKER;
  return std::search(bytes, bytes + size, marker, marker + strlen(marker)) != bytes + size;
}

namespace {

struct PeHeaders {
  uint64_t optional;  // offset of the optional header
  uint32_t optionalSize;
  uint32_t magic;
};

std::string ReadPeHeaders(const std::vector<uint8_t>& stub, PeHeaders* headers) {
  if (stub.size() < 2 || stub[0] != 'M' || stub[1] != 'Z') return "is not a Windows executable (no MZ header)";
  uint32_t pe = 0;
  if (!Read32(stub, kNewHeaderPointer, &pe) || static_cast<uint64_t>(pe) + 4 + kCoffHeaderSize > stub.size() ||
      stub[pe] != 'P' || stub[pe + 1] != 'E' || stub[pe + 2] != 0 || stub[pe + 3] != 0) {
    return "is not a PE executable (no PE header)";
  }
  const uint64_t coff = static_cast<uint64_t>(pe) + 4;
  const uint64_t optional = coff + kCoffHeaderSize;
  uint32_t optionalSize = 0, magic = 0;
  Read16(stub, coff + 16, &optionalSize);
  if (optionalSize < 2 || optional + optionalSize > stub.size() || !Read16(stub, optional, &magic) ||
      (magic != kOptionalMagicPe32 && magic != kOptionalMagicPe32Plus)) {
    return "is not a PE executable (no valid optional header)";
  }
  *headers = PeHeaders{optional, optionalSize, magic};
  return std::string();
}

}  // namespace

std::string StubCheck(const std::vector<uint8_t>& stub) {
  PeHeaders headers;
  const std::string problem = ReadPeHeaders(stub, &headers);
  if (!problem.empty()) return problem;
  if (!StubHasMarker(stub.data(), stub.size())) {
    return "is a Windows program but not a setup.exe stub of this project (no stub marker); give the setup.exe "
           "of a setupkit build";
  }
  PeImage image;
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(stub.size(), 0xFFFFFFFFu));
  // A damaged certificate entry is refused alike: whatever it points at is no place for a payload.
  if (PeImageRead(stub.data(), size, size, &image) != kPeImageOk || image.certificateSize != 0) {
    return "is signed (Authenticode certificate table); sign after packing";
  }
  const int64_t magicAt = StubFindPayloadMagic(stub);
  if (magicAt >= 0) {
    return "already carries a payload (magic at offset " + std::to_string(magicAt) + "); pack the bare stub";
  }
  return std::string();
}

std::string ProgramArchitecture(const std::vector<uint8_t>& start, uint64_t fileSize) {
  PeImage image;
  const uint32_t given = static_cast<uint32_t>(std::min<size_t>(start.size(), kPeHeaderBytes));
  // The certificate entry plays no part here: a file over 4 GiB is measured as its headers.
  const uint32_t size = fileSize > 0xFFFFFFFFu ? given : static_cast<uint32_t>(fileSize);
  if (PeImageRead(start.data(), given, std::max(size, given), &image) != kPeImageOk) return std::string();
  return image.machine == kPeMachineI386 ? "x86" : image.machine == kPeMachineAmd64 ? "x64" : "";
}

std::string FileArchitecture(const std::filesystem::path& path) {
  std::vector<uint8_t> start;
  std::error_code error;
  const uint64_t size = std::filesystem::file_size(path, error);
  if (error || ReadFileBytes(path, kPeHeaderBytes, false, &start).code != kExitSuccess) return std::string();
  return ProgramArchitecture(start, size);
}
