// Where a program's image data ends, signed or not, and the trailer read from
// there: a certificate entry that lies is damage, and a signature is never
// taken for a trailer.
#include <gtest/gtest.h>

#include "archive/pe_image.h"
#include "archive/uninstall_trailer.h"
#include "platform/platform.h"
#include "test_files.h"

namespace {

const uint32_t kHeadersEnd = 0x200;

void Put(std::vector<uint8_t>* bytes, uint32_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Headers as the linker writes them (PE header at 0x80), `size` bytes in all,
// with the security entry given; PE32+ with `wide`.
std::vector<uint8_t> Program(uint32_t size, uint32_t address, uint32_t certificateSize, bool wide = false,
                             uint32_t directories = 16) {
  std::vector<uint8_t> bytes(size, 0);
  const uint32_t optional = 0x80 + 24, count = wide ? 108 : 92;
  Put(&bytes, 0, 0x5A4D, 2);
  Put(&bytes, 0x3C, 0x80, 4);
  Put(&bytes, 0x80, 0x4550, 4);
  Put(&bytes, 0x84, wide ? kPeMachineAmd64 : kPeMachineI386, 2);
  Put(&bytes, 0x84 + 16, count + 4 + 8 * 16, 2);
  Put(&bytes, optional, wide ? 0x20B : 0x10B, 2);
  Put(&bytes, optional + 60, kHeadersEnd, 4);
  Put(&bytes, optional + count, directories, 4);
  Put(&bytes, optional + count + 4 + 32, address, 4);
  Put(&bytes, optional + count + 4 + 36, certificateSize, 4);
  return bytes;
}

std::string Describe(const std::vector<uint8_t>& bytes, uint32_t given = kPeHeaderBytes) {
  PeImage image;
  uint32_t size = static_cast<uint32_t>(bytes.size());
  int result = PeImageRead(bytes.data(), given < size ? given : size, size, &image);
  return std::to_string(result) + " " + std::to_string(image.machine) + " " + std::to_string(image.dataEnd) + " " +
         std::to_string(image.certificateSize);
}

}  // namespace

TEST(PeImage, EndsBeforeTheCertificateTableOrReportsDamage) {
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string expected;
  } cases[] = {
      {"unsigned PE32", Program(4096, 0, 0), "0 332 4096 0"},
      {"unsigned PE32+", Program(4096, 0, 0, true), "0 34404 4096 0"},
      {"signed", Program(4096, 3000, 1096), "0 332 3000 1096"},
      {"signed PE32+, data behind the table", Program(4096, 3000, 96, true), "0 34404 3000 96"},
      {"too few directories to have the entry", Program(4096, 3000, 1096, false, 4), "0 332 4096 0"},
      {"table past the end", Program(4096, 3000, 1097), "2 0 0 0"},
      {"table starting past the end", Program(4096, 4097, 8), "2 0 0 0"},
      {"size wrapping around", Program(4096, 3000, 0xFFFFFFF0u), "2 0 0 0"},
      {"table inside the headers", Program(4096, kHeadersEnd - 8, 8), "2 0 0 0"},
      {"size without an address", Program(4096, 0, 16), "2 0 0 0"},
      {"table smaller than its own header", Program(4096, 4092, 4), "2 0 0 0"},
      {"no MZ", std::vector<uint8_t>(4096, 0), "1 0 0 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Describe(c.bytes)) << c.what;

  std::vector<uint8_t> broken = Program(4096, 0, 0);
  Put(&broken, 0x3C, 4000, 4);
  EXPECT_EQ("1 0 0 0", Describe(broken)) << "a PE header beyond the bytes given";
  broken = Program(4096, 0, 0);
  Put(&broken, 0x80 + 24, 0x10C, 2);
  EXPECT_EQ("1 0 0 0", Describe(broken)) << "an unknown optional header";
  // Cut anywhere inside the headers, the reader never accepts what it cannot see.
  const std::vector<uint8_t> signedProgram = Program(4096, 3000, 1096);
  for (uint32_t given = 0; given < 0x80 + 24 + 92 + 4 + 8 * 16; ++given) {
    EXPECT_EQ("1 0 0 0", Describe(signedProgram, given)) << given;
  }
}

TEST(PeImage, TheTrailerIsReadInFrontOfTheSignatureAndNeverFromIt) {
  const char* const names[] = {"Pebble.exe"};
  const TrailerFields fields = {"PBN", "Pebble Notes", "PebbleNotesWindow", "Pebble.exe", names, 1};
  const uint32_t trailer = TrailerSize(&fields), image = 1024, table = 64;
  std::vector<uint8_t> trailerBytes(trailer);
  TrailerWrite(&fields, trailerBytes.data(), trailer);
  auto has = [](const std::vector<uint8_t>& bytes) {
    const std::string path = TestTempDir() + "/UnInst.exe";
    TestWriteFile(path, bytes);
    return FileHasTrailer(TestWidePath(path).c_str());
  };
  // The image, the trailer or not, then a certificate table that the entry names (or not) with `size` bytes.
  auto file = [&](bool trailerInFront, bool trailerInTable, bool entry, uint32_t size) {
    std::vector<uint8_t> certificate(table, 0x30);
    if (trailerInTable) std::copy(trailerBytes.end() - kTrailerFooterSize, trailerBytes.end(), certificate.end() - 16);
    const uint32_t at = image + (trailerInFront ? trailer : 0);
    std::vector<uint8_t> bytes = Program(image, entry ? at : 0, entry ? size : 0);
    if (trailerInFront) bytes.insert(bytes.end(), trailerBytes.begin(), trailerBytes.end());
    bytes.insert(bytes.end(), certificate.begin(), certificate.end());
    return bytes;
  };
  EXPECT_TRUE(has(file(true, false, true, table))) << "signed after the trailer was written";
  EXPECT_FALSE(has(file(false, true, true, table))) << "a footer inside the signature";
  EXPECT_FALSE(has(file(true, true, true, table + 1))) << "a certificate entry past the end";
  EXPECT_FALSE(has(file(true, false, false, 0))) << "the entry unset: the table's bytes end the image";
  std::vector<uint8_t> unsignedProgram = Program(image, 0, 0);
  unsignedProgram.insert(unsignedProgram.end(), trailerBytes.begin(), trailerBytes.end());
  EXPECT_TRUE(has(unsignedProgram));
  unsignedProgram.pop_back();
  EXPECT_FALSE(has(unsignedProgram));
}
