#include "archive/archive_pass.h"

#include <gtest/gtest.h>
#include <string.h>

#include "archive/entry_format.h"
#include "lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"

namespace {

// Writes each entry to dir\name, or, when its name starts with "x", into the missing folder dir\x.
int ExtractEntry(char16_t* name, const uint8_t* data, uint32_t, void* dir) {
  if (data != nullptr) return 0;
  std::u16string path = TestWidePath(*static_cast<std::string*>(dir)) + (name[0] == u'x' ? u"\\x\\" : u"\\") + name;
  std::copy(path.c_str(), path.c_str() + path.size() + 1, name);
  return 1;
}

}  // namespace

TEST(ArchivePass, ResultsFilesAndSummary) {
  const EntryStreamTexts texts = {"HVX", "HvxMainWindow", "hvx.exe"};
  const uint32_t date = ArchiveDateFromYmd(2012, 2, 29);  // a leap day
  const std::vector<EntryStreamEntry> entries = {
      {"FILE_ID.DIZ", TestRandomBytes(300, 1, true)}, {"empty", {}}, {"data.bin", TestRandomBytes(5000, 2)}};
  std::vector<EntryStreamEntry> unwritable = entries;
  unwritable[1].name = "xempty";
  std::vector<uint8_t> stream = BuildEntryStream(texts, date, entries), wrongChecksum = stream;
  wrongChecksum[3] ^= 1;  // lowest byte of the expected checksum
  // The last byte, 117, adds -128 + 11 + 117 = 0 to the checksum: without it the checksum still matches.
  const std::vector<uint8_t> zeroTerm = BuildEntryStream(texts, date, {{"\x80uro.txt", {1, 2, 117}}});
  const struct {
    const char* what;
    std::string installer;
    int result;
    bool filesWritten = false, endedInsideRecord = false;
  } kCases[] = {
      {"whole", TestWriteStreamInstaller(stream), 0, true},
      {"unwritable entry", TestWriteStreamInstaller(BuildEntryStream(texts, date, unwritable)), 3, true},
      {"checksum mismatch", TestWriteStreamInstaller(wrongChecksum), -1, true},
      {"ends inside data, checksum equal", TestWriteStreamInstaller(zeroTerm, zeroTerm.size() - 1), -1, false, true},
      {"missing file", TestTempDir() + "/none.exe", 2},
      {"no payload", TestWriteInstaller(kPayloadSearchStart + 3 * 4092, {}), -1},
      {"properties 225", TestWriteInstaller(kPayloadSearchStart, TestContainer({{225}, {}}, 9), TestFiller(4096)), -4},
  };
  for (const auto& c : kCases) {
    std::string dir = TestTempDir();
    ArchivePassSummary summary;
    EXPECT_EQ(c.result, ArchivePassReport(TestWidePath(c.installer).c_str(), ExtractEntry, &dir, &summary)) << c.what;
    // Files are written whatever the result.
    EXPECT_TRUE(c.result != 0 || std::string(summary.productCode) + "|" + summary.productWindowClass + "|" +
                                         summary.mainProgramName == "HVX|HvxMainWindow|hvx.exe") << c.what;
    for (size_t i = 0; c.filesWritten && i < entries.size(); ++i) {
      EXPECT_TRUE(i == 1 || entries[i].data == TestReadFile(dir + "/" + entries[i].name)) << c.what << " " << i;
    }
    // What tools report as the cause of a broken payload.
    EXPECT_TRUE(c.result != -1 || c.endedInsideRecord == summary.endedInsideRecord) << c.what;
    EXPECT_TRUE(c.result != 0 || (summary.archiveDate == date && summary.expectedChecksum == summary.actualChecksum));
  }
}

namespace {

// Every call a handler gets, as one line: name, data or none, size.
int RecordCalls(char16_t* name, const uint8_t* data, uint32_t size, void* log) {
  std::string& text = *static_cast<std::string*>(log);
  for (const char16_t* c = name; *c != 0; ++c) text += static_cast<char>(*c);
  text += (data != nullptr ? " data " : " entry ") + std::to_string(size) + (data != nullptr ? std::to_string(data[0]) : "");
  text += "\n";
  return 0;
}

}  // namespace

// A second pass over the kept stream makes the very calls and gives the very
// result of a pass over the file; a stream that does not fit, or is broken, is not kept.
TEST(ArchivePass, AKeptStreamStandsInForTheFile) {
  const std::vector<EntryStreamEntry> entries = {
      {"FILE_ID.DIZ", TestRandomBytes(300, 1, true)}, {"empty", {}}, {"big.bin", TestRandomBytes(200000, 2)}};
  std::vector<uint8_t> stream = BuildEntryStream({"HVX", "Hvx", "hvx.exe"}, 40, entries), broken = stream;
  broken[3] ^= 1;
  const std::string installer = TestWriteStreamInstaller(stream);
  PlatformFile file = PlatformCreateFile(TestWidePath(installer).c_str(), false);
  std::string first, again, fromFile;
  KeptStream kept = {nullptr, 0, 0, 1u << 20, false};
  ASSERT_EQ(0, ArchivePassKeeping(file, RecordCalls, &first, nullptr, &kept));
  ASSERT_TRUE(kept.whole);
  EXPECT_EQ(stream.size(), kept.size);
  ArchivePassSummary summary;
  EXPECT_EQ(0, ArchivePassOnKept(&kept, RecordCalls, &again, &summary));
  EXPECT_EQ(first, again);
  EXPECT_EQ(std::string("HVX|3"), std::string(summary.productCode) + "|" + std::to_string(summary.entryCount));
  EXPECT_EQ(nullptr, kept.bytes) << "the kept stream is released after its pass";
  EXPECT_EQ(-1, ArchivePassOnKept(&kept, RecordCalls, &again, nullptr)) << "a released stream stands for nothing";

  kept = {nullptr, 0, 0, static_cast<uint32_t>(stream.size() - 1), false};
  EXPECT_EQ(0, ArchivePassKeeping(file, RecordCalls, &fromFile, nullptr, &kept));
  EXPECT_FALSE(kept.whole);
  EXPECT_EQ(nullptr, kept.bytes);
  PlatformCloseHandle(file);

  file = PlatformCreateFile(TestWidePath(TestWriteStreamInstaller(broken)).c_str(), false);
  kept = {nullptr, 0, 0, 1u << 20, false};
  EXPECT_EQ(-1, ArchivePassKeeping(file, nullptr, nullptr, nullptr, &kept));
  EXPECT_FALSE(kept.whole);
  PlatformCloseHandle(file);
}
