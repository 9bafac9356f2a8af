// The packer: its padding makes every installer one the locator finds; its report counts what it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "archive/lzma_test_util.h"
#include "archive/payload_locator.h"
#include "setupkit/packer.h"
#include "setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

uint32_t LocateIn(const std::string& path) {
  TestFile file(path);
  return PayloadLocator(file.file, PlatformGetFileSize(file.file));
}

}  // namespace

TEST(Pack, FindableSizeIsWhatTheLocatorNeeds) {
  const uint64_t s = kPayloadSearchStart;
  // Magic in the first read, ending on its last byte or one before, straddling into the second, in the third.
  for (uint64_t offset : {s, s + 4087, s + 4088, s + 4091, s + 8180}) {
    const uint64_t size = PackFindableSize(offset);
    std::vector<uint8_t> bytes(size, 0);
    for (uint32_t i = 0; i < kPayloadMagicSize; ++i) bytes[offset + i] = PayloadMagicByte(i);
    const std::string path = TestTempDir() + "/magic.bin";
    TestWriteFile(path, bytes);
    EXPECT_EQ(offset + kPayloadMagicSize, LocateIn(path)) << "magic at " << offset;
    fs::resize_file(path, size - 1);
    EXPECT_EQ(0u, LocateIn(path)) << "magic at " << offset << ", one byte short";
  }
}

// What pack reports: the LZMA stream is what follows the magic and the container
// header, and the installer is the file written.
TEST(Pack, ReportCountsTheStreamAndTheFile) {
  std::mt19937 random(7);
  std::string noise(150000, 0);
  for (char& c : noise) c = static_cast<char>(random());
  const std::string product = TestTempDir(), out = TestTempDir() + "/setup.exe";
  TestWriteTree(product, {{"FILE_ID.DIZ", "Pad Version 1.2\n"}, {"Ed.exe", noise}, {"UnInst.exe", "u"}});
  TestRun run = TestPack(TestWriteStub(), product, out);
  ASSERT_EQ(0, run.code) << run.err;
  const uint64_t size = fs::file_size(fs::u8path(out));
  const uint64_t stream = size - kPayloadSearchStart - kPayloadMagicSize - kContainerHeaderSize;
  EXPECT_TRUE(TestHasText(run.out, "150017 bytes in, " + std::to_string(stream) + " bytes out (")) << run.out;
  EXPECT_TRUE(TestHasText(run.out, "installer " + std::to_string(size) + " bytes\n")) << run.out;

  // Progress for a log on stderr: a line at the start and one at the end. The result goes to stdout.
  std::ostringstream shown, err;
  ASSERT_EQ(0, SetupkitRun({"pack", "--stub", TestWriteStub(), "--out", TestTempDir() + "/again.exe", "--product-code",
                            "ABC", "--from", product}, shown, err, kProgressLines));
  EXPECT_TRUE(TestHasText(shown.str(), "3 entries, 150017 bytes in, ")) << shown.str();
  EXPECT_EQ(0u, err.str().find("setupkit: packing 3 files, 150017 bytes\n")) << err.str();
  EXPECT_TRUE(TestHasText(err.str(), "\nsetupkit: packed " + std::to_string(stream) + " bytes (101.5%), installer " +
                                         std::to_string(size) + " bytes, ")) << err.str();
}
