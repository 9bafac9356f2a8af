#include "archive/entry_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "archive/entry_format.h"
#include "lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A handler call as a line: "decision <name> <size>" or "data <name> <size> <bytes>".
std::u16string CallText(const std::u16string& name, uint32_t size, const uint8_t* data = nullptr) {
  std::u16string text = (data ? u"data " : u"decision ") + name + u" " + Wide(std::to_string(size));
  return data ? text + u" " + std::u16string(data, data + size) : text;
}

typedef std::function<std::u16string(const char16_t* name)> Decide;  // a file to write, or empty for none

struct Parsed {
  EntryParserState state;
  std::vector<std::u16string> calls;
  Decide decide;  // declines every entry when not set
  bool whole;
};

int RecordCall(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Parsed* p = static_cast<Parsed*>(context);
  p->calls.push_back(CallText(name, size, data));
  if (data != nullptr || !p->decide) return 0;
  std::u16string target = p->decide(name);
  std::copy(target.c_str(), target.c_str() + target.size() + 1, name);
  return 1;
}

// Feeds `stream` as the driver would: each chunk, ending at the next of `cuts`,
// copied to the start of one 64 KiB buffer. Then ends the pass.
Parsed Parse(const std::vector<uint8_t>& stream, std::vector<size_t> cuts, Decide decide = nullptr) {
  Parsed p = {{}, {}, decide, false};
  EntryParserReset(&p.state, RecordCall, &p);
  std::vector<uint8_t> buffer(65536);
  cuts.push_back(stream.size());
  for (size_t from = 0, i = 0; i < cuts.size(); from = cuts[i++]) {
    std::copy(stream.begin() + from, stream.begin() + cuts[i], buffer.begin());
    EXPECT_EQ(0, EntryParser(buffer.data(), static_cast<uint32_t>(cuts[i] - from), &p.state));
  }
  p.whole = EntryParserFinish(&p.state);
  return p;
}

const EntryStreamTexts kTexts = {"ABC", "AbcMainWindow", "abc.exe"};
const uint32_t kDate = ArchiveDateFromYmd(2012, 12, 31);  // day 31 of month 12: both wraps of the day number

}  // namespace

// Byte by byte with empty chunks between, so that every header waits in the carry buffer and
// the leading bytes and files are collected across chunks. The handler keeps most names,
// renames one, empties two (no file) and points two where writing fails; the first failure is kept.
TEST(EntryParser, EntriesAreWrittenAsTheHandlerDecides) {
  const std::string longest(kEntryNameMax, 'n');
  const std::vector<EntryStreamEntry> entries = {
      {"FILE_ID.DIZ", TestRandomBytes(10, 1, true)}, {"empty.txt", {}}, {"one", {0xA4}},
      {"k1024", TestRandomBytes(1024, 2)}, {"k1025", TestRandomBytes(1025, 3)}, {"big.bin", TestRandomBytes(5000, 4)},
      {"full", {1}}, {"missing", {2}}, {"emptied", {3}}, {"renamed", {4}}, {longest, {5}}, {"last.txt", {}}};
  const std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  const std::string root = TestTempDir();
  const std::u16string dir = TestWidePath(root);
#ifdef _WIN32
  const std::u16string kFull = dir + u"\\none\\full";
  const int kFirstError = 3;
#else
  const std::u16string kFull = u"/dev/full";  // opens, then every write fails for want of space
  const int kFirstError = 112;
#endif
  std::map<std::u16string, std::u16string> targets = {{u"full", kFull}, {u"missing", dir + u"\\x\\missing"},
      {u"emptied", u""}, {u"renamed", dir + u"\\other"}, {Wide(longest), u""}};
  auto decide = [&](const char16_t* name) { return targets.count(name) ? targets[name] : dir + u"\\" + name; };
  std::vector<size_t> cuts;
  for (size_t c = 0; c <= stream.size(); ++c) cuts.insert(cuts.end(), {c, c});
  Parsed p = Parse(stream, cuts, decide);
  EXPECT_TRUE(p.whole);
  EXPECT_EQ(kFirstError, p.state.firstError);
  EXPECT_EQ(EntryStreamChecksum(entries), p.state.runningChecksum);
  EXPECT_EQ("ABC|AbcMainWindow|abc.exe", std::string(p.state.productCode) + "|" + p.state.productWindowClass + "|" +
                                             p.state.mainProgramName);
  PlatformDateTime noon = {2012, 12, 0, 31, 12, 0, 0, 0};
  uint64_t archiveTime = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &archiveTime));
  EXPECT_EQ(archiveTime, p.state.archiveTime);
  EXPECT_EQ(std::vector<uint8_t>({4}), TestReadFile(root + "/other"));
  // A decision per entry, then for an entry with data one data call with min(size, 1024)
  // leading bytes, under the name the decision left.
  std::vector<std::u16string> expected;
  for (const EntryStreamEntry& e : entries) {
    expected.push_back(CallText(Wide(e.name), uint32_t(e.data.size())));
    uint32_t lead = uint32_t(std::min<size_t>(e.data.size(), 1024));
    if (lead > 0) expected.push_back(CallText(decide(Wide(e.name).c_str()), lead, e.data.data()));
    if (targets.count(Wide(e.name)) == 0) {
      EXPECT_EQ(e.data, TestReadFile(root + "/" + e.name)) << e.name;
      EXPECT_EQ(archiveTime, TestFileWriteTime(root + "/" + e.name)) << e.name;
    }
  }
  EXPECT_EQ(expected, p.calls);
}

TEST(EntryParser, EverySplitParsesLikeOneChunk) {
  std::vector<uint8_t> stream =
      BuildEntryStream(kTexts, kDate, {{"folder\\a.txt", {1, 2, 3}}, {"zero", {}}, {"b", {9}}, {"c\\last", {}}});
  Parsed whole = Parse(stream, {});
  ASSERT_TRUE(whole.whole);
  for (size_t a = 0; a <= stream.size(); ++a) {
    for (size_t b = a; b <= stream.size(); ++b) {
      Parsed split = Parse(stream, {a, b});
      ASSERT_EQ(whole.calls, split.calls) << "cuts at " << a << " and " << b;
      ASSERT_TRUE(split.whole && split.state.runningChecksum == whole.state.runningChecksum &&
                  std::string(split.state.productWindowClass) == "AbcMainWindow")
          << "cuts at " << a << " and " << b;
    }
  }
}

TEST(EntryParser, StoredFormAndSignedChecksum) {
  // Byte for byte as the installers already out there store it: StreamHeader (checksum 201, "A",
  // "", "", day 32), then entry "b" of one byte 0x5C, whose checksum term is 98 + 11 + 92.
  const std::vector<uint8_t> stored = {0x2D, 0x8A, 0x62, 0x8C, 0xC0, 0, 0, 0, 0x2D, 0x8A, 0x61, 0xE3,
                                       0x2D, 0x8A, 0x61, 0xC4, 0xE1, 0, 0};
  Parsed p = Parse(stored, {});
  EXPECT_TRUE(p.whole && p.state.runningChecksum == 201 && p.state.expectedChecksum == 201 && p.state.archiveDate == 32)
      << p.state.runningChecksum;
  const uint8_t plain = 0x5C;
  EXPECT_EQ((std::vector<std::u16string>{CallText(u"b", 1), CallText(u"b", 1, &plain)}), p.calls);
  // "\xE9t\xE9", entry 1: (-23 + 11 + 1) + (-23 + 11 + 2) = -21; "\x80", entry 2: -128 + 12 + 0 = -116.
  p = Parse(BuildEntryStream(kTexts, kDate, {{"\xE9t\xE9", {1, 2}}, {"\x80", {0}}}), {});
  EXPECT_EQ(uint32_t(-137), p.state.runningChecksum);
}

// ---- Invalid and truncated streams ----

TEST(EntryParserErrors, LimitsBreakTheStreamWhereverItIsSplit) {
  const struct {
    const char* what;
    EntryStreamTexts texts;
    uint32_t date;
    std::vector<EntryStreamEntry> bad;  // an entry between "ok" and "after"; none when the header is bad
  } kCases[] = {
      {"product code of 4", {"ABCD", "w", "m"}, kDate, {}},
      {"window class of 32", {"A", std::string(32, 'w'), "m"}, kDate, {}},
      {"main program of 32", {"A", "w", std::string(32, 'm')}, kDate, {}},
      {"day number 31", kTexts, 31, {}},
      {"2013-02-29", kTexts, ArchiveDateFromYmd(2013, 2, 29), {}},
      {"day number 0xFFFFFFFF", kTexts, 0xFFFFFFFFu, {}},
      {"empty name", kTexts, kDate, {{"", {1, 2}}}},
      {"name of 1020", kTexts, kDate, {{std::string(1020, 'n'), {1, 2}}}},
      // Found by fuzzing: the stored byte 0x7F unscrambles to NUL and left the name empty.
      {"name starting with NUL", kTexts, kDate, {{std::string("\0name", 5), {1, 2}}}},
  };
  for (const auto& c : kCases) {
    std::vector<EntryStreamEntry> entries = {{"ok", {5}}};
    entries.insert(entries.end(), c.bad.begin(), c.bad.end());
    entries.push_back({"after", {6}});
    std::vector<uint8_t> stream = BuildEntryStream(c.texts, c.date, entries);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
      Parsed p = Parse(stream, {cut});
      ASSERT_TRUE(p.state.broken && !p.whole) << c.what << ", cut at " << cut;
      // Nothing after the bad record reaches the handler, so no file is made for it.
      ASSERT_EQ(c.bad.empty() ? 0u : 2u, p.calls.size()) << c.what << ", cut at " << cut;
      ASSERT_STREQ(c.bad.empty() ? "" : "ABC", p.state.productCode) << c.what;
    }
  }
}

// The installer-level sweep never gets here: a cut file fails in the decoder first.
TEST(EntryParserErrors, StreamsEndingInsideARecordAreNeverWhole) {
  std::vector<EntryStreamEntry> entries = {{"a", {1, 2, 3, 4}}, {"empty", {}}, {"b", {5, 6}}};
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  // Where a stream may end: after the StreamHeader and after each entry.
  std::vector<size_t> ends = {StreamHeaderSize(kTexts)};
  for (const EntryStreamEntry& e : entries) ends.push_back(ends.back() + EntryHeaderSize(e.name) + e.data.size());
  ASSERT_EQ(stream.size(), ends.back());
  for (size_t length = 0; length <= stream.size(); ++length) {
    const std::string dir = TestTempDir();
    Parsed p = Parse(std::vector<uint8_t>(stream.begin(), stream.begin() + length), {length / 2},
                     [&](const char16_t* name) { return TestWidePath(dir) + u"\\" + name; });
    EXPECT_EQ(std::count(ends.begin(), ends.end(), length) == 1, p.whole) << "stream cut to " << length;
    EXPECT_EQ(PLATFORM_INVALID_FILE, p.state.outputFile) << "stream cut to " << length;
    if (length > ends[0] + 6 && length < ends[1]) {
      // Cut inside a's data: the file keeps what arrived, without the archive time.
      EXPECT_EQ(std::vector<uint8_t>(entries[0].data.begin(), entries[0].data.begin() + (length - ends[0] - 6)),
                TestReadFile(dir + "/a"));
      EXPECT_NE(p.state.archiveTime, TestFileWriteTime(dir + "/a"));
    }
  }
}
