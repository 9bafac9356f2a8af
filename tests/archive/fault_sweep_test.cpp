// Every truncation of a whole installer's payload, extracted with `setupkit
// extract`, must be reported as broken, never crash, and change nothing in the
// destination nor beside it.
#include <gtest/gtest.h>

#include "archive/entry_format.h"
#include "lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/inspector.h"
#include "setupkit/reading_pass.h"
#include "setupkit/setupkit_test_util.h"

namespace fs = std::filesystem;

namespace {

// Natively every offset is swept. Under Wine each extraction costs some
// milliseconds of file calls through the Wine server, so the Windows tier takes
// every eighth offset: the portable code is the same, only the backend differs.
#ifdef _WIN32
const size_t kSweepStride = 8;
#else
const size_t kSweepStride = 1;
#endif

}  // namespace

// A payload longer than the locator's first read, so that cuts behind that read
// reach the decoder and the entry parser. No padding follows the stream.
TEST(FaultSweep, EveryTruncationOfThePayloadIsBroken) {
  const std::vector<uint8_t> text = TestRandomBytes(3000, 7, true), random = TestRandomBytes(4400, 8);
  const std::map<std::string, std::string> tree = {
      {"FILE_ID.DIZ", "Sweep Product Version 1.0\r\n"}, {"Lang/Sweep_DE.LNG", "[Language]\r\nLanguage=Deutsch\r\n"},
      {"bin/tool.exe", std::string(text.begin(), text.end())},
      {"data/random.bin", std::string(random.begin(), random.end())}, {"empty", ""}};
  std::vector<EntryStreamEntry> entries;
  for (const auto& f : tree) {
    entries.push_back({f.first, std::vector<uint8_t>(f.second.begin(), f.second.end())});
    std::replace(entries.back().name.begin(), entries.back().name.end(), '/', '\\');
  }
  const std::vector<uint8_t> stream = BuildEntryStream({"SWP", "SweepWindow", "tool.exe"}, kArchiveDateMin, entries);
  const std::string installer = TestWriteInstaller(
      kPayloadSearchStart, TestContainer(TestLzmaEncode(stream, false, 65536), uint32_t(stream.size())));
  const std::string sandbox = TestTempDir(), dest = sandbox + "/dest";
  const size_t size = fs::file_size(fs::u8path(installer));
  ASSERT_GT(size, kPayloadSearchStart + 4092 + 1000);
  // From the whole file down, shrinking it in place: only the whole one extracts and
  // replaces the file that was there; a cut one leaves the destination as it was,
  // without its staging folder.
  const std::map<std::string, std::string> before = {{"empty", "old"}};
  TestWriteTree(dest, before);
  for (size_t length = size; length >= kPayloadSearchStart; length -= (length == size ? 1 : kSweepStride)) {
    fs::resize_file(fs::u8path(installer), length);
    ExtractReport report;
    const Problem result = InspectExtract(fs::u8path(installer), fs::u8path(dest), kDefaultMemoryLimit, &report, [](const std::string&) {});
    const std::string& problem = result.text;
    ASSERT_EQ(length == size ? kExitSuccess : kExitBrokenPayload, result.code) << "cut to " << length << ": " << problem;
    ASSERT_TRUE(length == size || TestHasText(problem, "; nothing was extracted, the staging folder was removed"))
        << problem;
    ASSERT_EQ(1, std::distance(fs::directory_iterator(fs::u8path(sandbox)), fs::directory_iterator()))
        << "cut to " << length << " wrote beside the destination";
    ASSERT_EQ(length == size ? tree : before, TestReadTree(dest)) << "cut to " << length;
    ASSERT_EQ(length == size ? 5 : 1, std::distance(fs::directory_iterator(fs::u8path(dest)), fs::directory_iterator()));
    if (length == size) {
      fs::remove_all(fs::u8path(dest));
      TestWriteTree(dest, before);
    }
  }
}
