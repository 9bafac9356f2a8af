#include "archive/archive_pass.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <set>

#include "archive/entry_format.h"
#include "lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "shell/installer_context.h"

namespace {

// Writes each entry to dir\name, or to dir\missing\name for the names in `unwritable`.
struct Extract {
  std::string dir = TestTempDir();
  std::set<std::u16string> unwritable;
  int decisions = 0;
};

int ExtractEntry(char16_t* name, const uint8_t* data, uint32_t, void* context) {
  Extract* x = static_cast<Extract*>(context);
  if (data != nullptr) return 0;
  ++x->decisions;
  std::u16string path = TestWidePath(x->dir) + (x->unwritable.count(name) ? u"\\missing\\" : u"\\") + name;
  std::copy(path.c_str(), path.c_str() + path.size() + 1, name);
  return 1;
}

int Pass(const std::string& installer, Extract* x, ArchivePassSummary* summary = nullptr) {
  return ArchivePassReport(TestWidePath(installer).c_str(), ExtractEntry, x, summary);
}

// An installer whose container announces `announced` bytes (by default the whole stream),
// padded with zeros so that the locator's read holding the magic is a full one.
std::string WriteInstaller(const std::vector<uint8_t>& stream, size_t announced = SIZE_MAX, bool pad = true) {
  TestLzma lzma = TestLzmaEncode(stream, false);
  std::vector<uint8_t> container = TestContainer(lzma, uint32_t(std::min(announced, stream.size())));
  return TestWriteInstaller(kPayloadSearchStart, container, std::vector<uint8_t>(pad ? 4096 : 0, 0));
}

// A fresh InstallerContext holding known texts for the scope.
struct ContextScope {
  InstallerContext context = {};
  ContextScope() {
    strcpy(context.productCode, "old");
    strcpy(context.productWindowClass, "oldWindow");
    strcpy(context.mainProgramName, "old.exe");
    InstallerContextSet(&context);
  }
  ~ContextScope() { InstallerContextSet(nullptr); }
  void ExpectUnchanged() const {
    EXPECT_STREQ("old", context.productCode);
    EXPECT_STREQ("oldWindow", context.productWindowClass);
    EXPECT_STREQ("old.exe", context.mainProgramName);
  }
};

const EntryStreamTexts kTexts = {"HVX", "HvxMainWindow", "hvx.exe"};
const uint32_t kDate = ArchiveDateFromYmd(2019, 3, 7);

std::vector<EntryStreamEntry> Entries() {
  return {{"FILE_ID.DIZ", TestCompressibleBytes(300, 1)}, {"empty", {}}, {"data.bin", TestRandomBytes(5000, 2)},
          {"HVX_DE.LNG", TestCompressibleBytes(2000, 3)}};
}

void ExpectFiles(const Extract& x, const std::vector<EntryStreamEntry>& entries) {
  for (const EntryStreamEntry& e : entries) EXPECT_EQ(e.data, TestReadFile(x.dir + "/" + e.name)) << e.name;
}

}  // namespace

TEST(ArchivePass, WritesEveryFileAndSetsTheContextTexts) {
  std::vector<EntryStreamEntry> entries = Entries();
  std::string installer = WriteInstaller(BuildEntryStream(kTexts, kDate, entries));
  ContextScope scope;
  Extract x;
  ArchivePassSummary summary;
  ASSERT_EQ(0, Pass(installer, &x, &summary));
  ExpectFiles(x, entries);
  EXPECT_STREQ("HVX", scope.context.productCode);
  EXPECT_STREQ("HvxMainWindow", scope.context.productWindowClass);
  EXPECT_STREQ("hvx.exe", scope.context.mainProgramName);
  EXPECT_STREQ("HvxMainWindow", summary.productWindowClass);
  EXPECT_EQ(kDate, summary.archiveDate);
  EXPECT_EQ(EntryStreamChecksum(entries), summary.expectedChecksum);
  EXPECT_EQ(summary.expectedChecksum, summary.actualChecksum);
  EXPECT_EQ(4u, summary.entryCount);

  // Without a context, and without a handler, the pass still runs.
  InstallerContextSet(nullptr);
  EXPECT_EQ(0, ArchivePass(TestWidePath(installer).c_str(), nullptr, nullptr));
}

TEST(ArchivePass, UncreatableFileGivesItsErrorAndTheOthersAreWritten) {
  std::vector<EntryStreamEntry> entries = Entries();
  ContextScope scope;
  Extract x;
  x.unwritable = {u"empty", u"data.bin"};
  EXPECT_EQ(3, Pass(WriteInstaller(BuildEntryStream(kTexts, kDate, entries)), &x));
  ExpectFiles(x, {entries[0], entries[3]});
  scope.ExpectUnchanged();
}

TEST(ArchivePass, ChecksumMismatchIsBrokenThoughFilesAreWritten) {
  std::vector<EntryStreamEntry> entries = Entries();
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  stream[3] ^= 1;  // lowest byte of the expected checksum
  ContextScope scope;
  Extract x;
  EXPECT_EQ(-1, Pass(WriteInstaller(stream), &x));
  ExpectFiles(x, entries);
  scope.ExpectUnchanged();
}

TEST(ArchivePass, StreamEndingInsideARecordIsBroken) {
  // The last byte, 117, adds -128 + 11 + 117 = 0 to the checksum: without it the checksum still matches.
  std::vector<EntryStreamEntry> entries = {{"\x80uro.txt", {1, 2, 117}}, {"second", {4}}};
  std::vector<uint8_t> one = BuildEntryStream(kTexts, kDate, {entries[0]});
  ContextScope scope;
  ArchivePassSummary summary;
  Extract x;
  EXPECT_EQ(-1, Pass(WriteInstaller(one, one.size() - 1), &x, &summary));
  EXPECT_EQ(summary.expectedChecksum, summary.actualChecksum);
  EXPECT_TRUE(summary.endedInsideRecord);
  EXPECT_FALSE(summary.limitBroken);
  // Inside the second entry's name, with a checksum that leaves that entry out.
  std::vector<uint8_t> two;
  AppendStreamHeader(&two, kTexts, kDate, EntryStreamChecksum({entries[0]}));
  for (const EntryStreamEntry& e : entries) {
    AppendEntryHeader(&two, e.name, uint32_t(e.data.size()));
    AppendEntryData(&two, e.data.data(), e.data.size());
  }
  EXPECT_EQ(-1, Pass(WriteInstaller(two, two.size() - 3), &x));
  EXPECT_EQ(2, x.decisions);  // one per pass: the cut entry is never announced
  // No StreamHeader at all, or only part of it.
  EXPECT_EQ(-1, Pass(WriteInstaller({}), &x));
  EXPECT_EQ(-1, Pass(WriteInstaller(one, 9), &x));
  scope.ExpectUnchanged();
  // A StreamHeader without entries is a whole stream; one with a bad date is not.
  EXPECT_EQ(-1, Pass(WriteInstaller(BuildEntryStream(kTexts, 31, {})), &x, &summary));
  EXPECT_TRUE(summary.limitBroken);
  EXPECT_FALSE(summary.endedInsideRecord);
  EXPECT_EQ(0, Pass(WriteInstaller(BuildEntryStream(kTexts, kDate, {})), &x, &summary));
  EXPECT_FALSE(summary.endedInsideRecord);
  EXPECT_STREQ("HVX", scope.context.productCode);
}

TEST(ArchivePass, MissingFileOrPayloadAndDecoderFailures) {
  Extract x;
  EXPECT_EQ(2, Pass(x.dir + "/none.exe", &x));
  std::string path = x.dir + "/setup.exe";
  for (uint32_t size : {0u, 5000u, kPayloadSearchStart, kPayloadSearchStart + 3 * 4092}) {
    TestWriteFile(path, TestFiller(size));
    EXPECT_EQ(-1, Pass(path, &x)) << size << " bytes";
  }
  TestLzma lzma = TestLzmaEncode(BuildEntryStream(kTexts, kDate, Entries()), false);
  std::vector<uint8_t> container = TestContainer(lzma, 100);
  container[4] = 225;  // properties byte
  EXPECT_EQ(-4, Pass(TestWriteInstaller(kPayloadSearchStart, container, std::vector<uint8_t>(4096)), &x));
  // The file ends one byte into the container header, at the end of the locator's first read.
  std::vector<uint8_t> cutHeader(container.begin(), container.begin() + kPayloadMagicSize + 1);
  EXPECT_EQ(-6, Pass(TestWriteInstaller(kPayloadSearchStart + 4092 - 5, cutHeader), &x));
  EXPECT_EQ(0, x.decisions);
}

// ---- Truncated installers ----

TEST(ArchivePassErrors, TruncatedInstallersNeverSucceedWrongly) {
  std::vector<EntryStreamEntry> entries = Entries();
  std::string path = WriteInstaller(BuildEntryStream(kTexts, kDate, entries), SIZE_MAX, false);
  const uintmax_t size = std::filesystem::file_size(path);
  ASSERT_GT(size, kPayloadSearchStart + 4092 + 200);
  std::vector<uintmax_t> cuts;
  for (uintmax_t cut = size - 1; cut > size - 64; --cut) cuts.push_back(cut);
  for (uintmax_t cut = size - 64; cut > kPayloadSearchStart; cut -= 97) cuts.push_back(cut);
  cuts.insert(cuts.end(), {kPayloadSearchStart, 50000, 3});
  Extract x;  // the same folder each time: a file left open by one pass would fail the next under Windows
  for (uintmax_t cut : cuts) {
    std::filesystem::resize_file(path, cut);
    int result = Pass(path, &x);
    if (result == 0) {
      ASSERT_GT(cut, size - 16) << "cut to " << cut;  // only the range coder's last bytes may be spare
      ExpectFiles(x, entries);
    } else {
      ASSERT_LT(result, 0) << "cut to " << cut;
    }
  }
}
