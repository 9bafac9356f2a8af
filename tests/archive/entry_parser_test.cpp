#include "archive/entry_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "archive/entry_format.h"
#include "lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "text/bounded_text.h"

namespace {

struct Call {
  std::u16string name;
  bool isData;
  uint32_t size;
  std::vector<uint8_t> bytes;
  bool operator==(const Call& o) const {
    return name == o.name && isData == o.isData && size == o.size && bytes == o.bytes;
  }
};

std::ostream& operator<<(std::ostream& out, const Call& c) {
  return out << (c.isData ? "data(" : "decision(") << std::string(c.name.begin(), c.name.end()) << ", " << c.size
             << ")";
}

void SetName(char16_t* name, const std::u16string& text) {
  std::copy(text.c_str(), text.c_str() + text.size() + 1, name);
}

// Records every handler call. Decisions: `decide` when set, else accept into
// `dir` (the name rewritten to dir\name) when set, else decline.
struct Recorder {
  std::vector<Call> calls;
  std::string dir;
  std::function<int(char16_t* name)> decide;
};

int RecordCall(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Recorder* r = static_cast<Recorder*>(context);
  std::vector<uint8_t> bytes;
  if (data != nullptr) bytes.assign(data, data + size);
  r->calls.push_back({name, data != nullptr, size, bytes});
  if (data != nullptr) return 0;
  if (r->decide) return r->decide(name);
  if (r->dir.empty()) return 0;
  SetName(name, TestWidePath(r->dir) + u"\\" + name);
  return 1;
}

struct Parsed {
  EntryParserState state;
  Recorder recorder;
  bool whole;
};

// Feeds `stream` as the driver would: each chunk, ending at the next of `cuts`,
// copied to the start of one 64 KiB buffer. Then ends the pass.
std::unique_ptr<Parsed> Parse(const std::vector<uint8_t>& stream, std::vector<size_t> cuts, Recorder recorder = {}) {
  auto p = std::make_unique<Parsed>();
  p->recorder = recorder;
  EntryParserReset(&p->state, RecordCall, &p->recorder);
  std::vector<uint8_t> buffer(65536);
  cuts.push_back(stream.size());
  size_t from = 0;
  for (size_t cut : cuts) {
    std::copy(stream.begin() + from, stream.begin() + cut, buffer.begin());
    EXPECT_EQ(0, EntryParser(buffer.data(), static_cast<uint32_t>(cut - from), &p->state));
    from = cut;
  }
  p->whole = EntryParserFinish(&p->state);
  return p;
}

std::vector<size_t> Every(size_t step, size_t size) {
  std::vector<size_t> cuts;
  for (size_t c = step; c < size; c += step) cuts.push_back(c);
  return cuts;
}

const EntryStreamTexts kTexts = {"ABC", "AbcMainWindow", "abc.exe"};
const uint32_t kDate = ArchiveDateFromYmd(2012, 6, 15);

uint64_t NoonOf(int year, int month, int day) {
  PlatformDateTime t = {uint16_t(year), uint16_t(month), 0, uint16_t(day), 12, 0, 0, 0};
  uint64_t fileTime = 0;
  EXPECT_TRUE(PlatformLocalTimeToFileTime(&t, &fileTime));
  return fileTime;
}

}  // namespace

TEST(EntryParser, AcceptedEntriesAreWrittenWithTheArchiveTime) {
  std::vector<EntryStreamEntry> entries = {
      {"FILE_ID.DIZ", TestCompressibleBytes(10, 1)}, {"empty.txt", {}}, {"one", {0xA4}},
      {"k1024", TestRandomBytes(1024, 2)}, {"k1025", TestRandomBytes(1025, 3)},
      {"big.bin", TestRandomBytes(70000, 4)}, {"last.txt", {}}};
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  Recorder accept;
  accept.dir = TestTempDir();
  auto p = Parse(stream, Every(65536, stream.size()), accept);
  EXPECT_TRUE(p->whole);
  EXPECT_EQ(0, p->state.firstError);
  EXPECT_EQ(EntryStreamChecksum(entries), p->state.expectedChecksum);
  EXPECT_EQ(p->state.expectedChecksum, p->state.runningChecksum);
  EXPECT_EQ(entries.size(), p->state.entryNumber);
  EXPECT_STREQ("ABC", p->state.productCode);
  EXPECT_STREQ("AbcMainWindow", p->state.productWindowClass);
  EXPECT_STREQ("abc.exe", p->state.mainProgramName);
  EXPECT_EQ(kDate, p->state.archiveDate);
  EXPECT_EQ(NoonOf(2012, 6, 15), p->state.archiveTime);

  // A decision per entry, then for an entry with data one data call with min(size, 1024) leading bytes.
  std::vector<Call> expected;
  for (const EntryStreamEntry& e : entries) {
    std::u16string name(e.name.begin(), e.name.end());
    expected.push_back({name, false, uint32_t(e.data.size()), {}});
    size_t lead = std::min<size_t>(e.data.size(), 1024);
    if (lead > 0) {
      std::vector<uint8_t> bytes(e.data.begin(), e.data.begin() + lead);
      expected.push_back({TestWidePath(accept.dir) + u"\\" + name, true, uint32_t(lead), bytes});
    }
    std::string path = accept.dir + "/" + e.name;
    EXPECT_EQ(e.data, TestReadFile(path)) << e.name;
    EXPECT_EQ(p->state.archiveTime, TestFileWriteTime(path)) << e.name;
  }
  EXPECT_EQ(expected, p->recorder.calls);

  // Declined, in small chunks: the same calls but for the names the handler did not rewrite.
  auto declined = Parse(stream, Every(333, stream.size()));
  ASSERT_EQ(expected.size(), declined->recorder.calls.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i].bytes, declined->recorder.calls[i].bytes) << i;
  EXPECT_EQ(p->state.runningChecksum, declined->state.runningChecksum);
}

TEST(EntryParser, EverySplitParsesLikeOneChunk) {
  std::vector<uint8_t> stream =
      BuildEntryStream(kTexts, kDate, {{"folder\\a.txt", {1, 2, 3}}, {"zero", {}}, {"b", {9}}, {"c\\last", {}}});
  auto whole = Parse(stream, {});
  ASSERT_TRUE(whole->whole);
  for (size_t a = 0; a <= stream.size(); ++a) {
    for (size_t b = a; b <= stream.size(); ++b) {
      auto split = Parse(stream, {a, b});
      ASSERT_EQ(whole->recorder.calls, split->recorder.calls) << "cuts at " << a << " and " << b;
      ASSERT_EQ(whole->state.runningChecksum, split->state.runningChecksum) << "cuts at " << a << " and " << b;
      ASSERT_TRUE(split->whole) << "cuts at " << a << " and " << b;
      ASSERT_STREQ("AbcMainWindow", split->state.productWindowClass) << "cuts at " << a << " and " << b;
    }
  }
  // Byte by byte with empty chunks between, accepting: empty files get made and timed, the last one too.
  std::vector<size_t> cuts;
  for (size_t c = 0; c <= stream.size(); ++c) cuts.insert(cuts.end(), {c, c});
  std::string dir = TestTempDir();
  Recorder accept;
  accept.decide = [&](char16_t* name) {
    SetName(name, TestWidePath(dir) + u"\\" + std::u16string(name).substr(FileNameOffset(name)));
    return 1;
  };
  auto bytewise = Parse(stream, cuts, accept);
  EXPECT_TRUE(bytewise->whole);
  EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), TestReadFile(dir + "/a.txt"));
  for (const char* name : {"zero", "last"}) {
    EXPECT_EQ(0u, TestReadFile(dir + "/" + name).size()) << name;
    EXPECT_EQ(bytewise->state.archiveTime, TestFileWriteTime(dir + "/" + name)) << name;
  }
}

TEST(EntryParser, HandlerRewritesOrEmptiesTheName) {
  std::string dir = TestTempDir();
  Recorder r;
  r.decide = [&](char16_t* name) {
    SetName(name, name[0] == u'x' ? TestWidePath(dir) + u"\\renamed.dat" : u"");
    return 1;
  };
  auto p = Parse(BuildEntryStream(kTexts, kDate, {{"x", {7, 8}}, {"y", {9}}}), {}, r);
  EXPECT_EQ(std::vector<uint8_t>({7, 8}), TestReadFile(dir + "/renamed.dat"));
  ASSERT_EQ(4u, p->recorder.calls.size());
  EXPECT_EQ(TestWidePath(dir) + u"\\renamed.dat", p->recorder.calls[1].name);
  EXPECT_EQ((Call{u"", true, 1, {9}}), p->recorder.calls[3]);  // emptied: no file, still the data call
  EXPECT_EQ(0, p->state.firstError);
}

TEST(EntryParser, ChecksumTakesTheFirstNameByteAsSigned) {
  // "\xE9t\xE9", entry 1: (-23 + 11 + 1) + (-23 + 11 + 2) = -21; "\x80", entry 2: -128 + 12 + 0 = -116.
  std::vector<EntryStreamEntry> entries = {{"\xE9t\xE9", {1, 2}}, {"\x80", {0}}};
  EXPECT_EQ(uint32_t(-137), EntryStreamChecksum(entries));
  auto p = Parse(BuildEntryStream(kTexts, kDate, entries), {});
  EXPECT_EQ(uint32_t(-137), p->state.runningChecksum);
  EXPECT_EQ(uint32_t(-137), p->state.expectedChecksum);
  EXPECT_EQ(u"\u00E9t\u00E9", p->recorder.calls[0].name);
  EXPECT_EQ(u"\u20AC", p->recorder.calls[2].name);
}

TEST(EntryParser, ArchiveDateDayNumbers) {
  const struct { uint32_t value; int year, month, day; } kDays[] = {
      {32, 2012, 1, 1}, {62, 2012, 1, 31}, {63, 2012, 2, 1}, {91, 2012, 2, 29}, {403, 2012, 12, 31}, {404, 2013, 1, 1}};
  for (const auto& d : kDays) {
    auto p = Parse(BuildEntryStream(kTexts, d.value, {}), {});
    EXPECT_TRUE(p->whole) << d.value;
    EXPECT_EQ(d.value, p->state.archiveDate);
    EXPECT_EQ(NoonOf(d.year, d.month, d.day), p->state.archiveTime) << d.value;
  }
}

TEST(EntryParser, FirstOutputErrorWinsAndLaterEntriesAreWritten) {
  std::string dir = TestTempDir();
  Recorder r;
  r.decide = [&](char16_t* name) {
    // a: its folder is missing (3); c: it names a folder (5).
    std::u16string own = u"\\" + std::u16string(name);
    SetName(name, TestWidePath(dir) + (name[0] == u'a' ? u"\\missing\\a" : name[0] == u'c' ? u"" : own));
    return 1;
  };
  auto p = Parse(BuildEntryStream(kTexts, kDate, {{"a", {1}}, {"b", {2}}, {"c", {3}}, {"d", {4}}}), {}, r);
  EXPECT_EQ(3, p->state.firstError);
  EXPECT_TRUE(p->whole);
  EXPECT_EQ(std::vector<uint8_t>({2}), TestReadFile(dir + "/b"));
  EXPECT_EQ(std::vector<uint8_t>({4}), TestReadFile(dir + "/d"));
}

// ---- Invalid and truncated streams ----

TEST(EntryParserErrors, LimitsBreakTheStreamWhereverItIsSplit) {
  const struct {
    const char* what;
    EntryStreamTexts texts;
    uint32_t date;
    const char* badName;  // an entry after "ok": "" for an empty name, else one of 1020 bytes
    size_t callsBefore;
  } kCases[] = {
      {"product code of 4", {"ABCD", "w", "m"}, kDate, nullptr, 0},
      {"window class of 32", {"A", std::string(32, 'w'), "m"}, kDate, nullptr, 0},
      {"main program of 32", {"A", "w", std::string(32, 'm')}, kDate, nullptr, 0},
      {"date 31", kTexts, 31, nullptr, 0},
      {"date 0", kTexts, 0, nullptr, 0},
      {"2012-02-31", kTexts, ArchiveDateFromYmd(2012, 2, 31), nullptr, 0},
      {"2013-02-29", kTexts, ArchiveDateFromYmd(2013, 2, 29), nullptr, 0},
      {"date 0xFFFFFFFF", kTexts, 0xFFFFFFFFu, nullptr, 0},
      {"empty name", kTexts, kDate, "", 2},
      {"name of 1020", kTexts, kDate, "1020", 2},
  };
  for (const auto& c : kCases) {
    std::vector<EntryStreamEntry> entries = {{"ok", {5}}};
    if (c.badName != nullptr) entries.push_back({*c.badName ? std::string(1020, 'n') : "", {1, 2, 3}});
    entries.push_back({"after", {6}});
    // The serializers store what they are given, limits or not.
    std::vector<uint8_t> stream = BuildEntryStream(c.texts, c.date, entries);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
      auto p = Parse(stream, {cut});
      ASSERT_TRUE(p->state.broken) << c.what << ", cut at " << cut;
      ASSERT_FALSE(p->whole) << c.what << ", cut at " << cut;
      // Nothing after the bad record reaches the handler, so no file is made for it.
      ASSERT_EQ(c.callsBefore, p->recorder.calls.size()) << c.what << ", cut at " << cut;
      ASSERT_LE(p->state.carryFill, kCarryBufferSize);
      ASSERT_STREQ(c.badName ? "ABC" : "", p->state.productCode) << c.what;
    }
  }
  // The longest name that is allowed still fits the carry buffer, wherever it is split.
  std::string longest(kEntryNameMax, 'n');
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, {{"a", {1}}, {longest, {2, 3}}});
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    auto p = Parse(stream, {cut});
    ASSERT_TRUE(p->whole) << "cut at " << cut;
    ASSERT_EQ(4u, p->recorder.calls.size()) << "cut at " << cut;
    ASSERT_EQ(std::u16string(longest.begin(), longest.end()), p->recorder.calls[2].name) << "cut at " << cut;
  }
}

// Found by fuzzing: the stored byte 0x7F unscrambles to NUL, so a name that
// starts with it reached the handler empty instead of breaking the stream.
TEST(EntryParserErrors, NameStartingWithNulBreaksTheStream) {
  std::vector<EntryStreamEntry> entries = {{"ok", {5}}, {std::string("\0name", 5), {1, 2}}, {"after", {6}}};
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    auto p = Parse(stream, {cut});
    ASSERT_TRUE(p->state.broken) << "cut at " << cut;
    ASSERT_FALSE(p->whole) << "cut at " << cut;
    ASSERT_EQ(2u, p->recorder.calls.size()) << "cut at " << cut;
    ASSERT_EQ(1u, p->state.entryNumber) << "cut at " << cut;
  }
}

TEST(EntryParserErrors, TruncatedStreamsAreNeverWhole) {
  std::vector<EntryStreamEntry> entries = {{"a", {1, 2, 3, 4}}, {"empty", {}}, {"b", {5, 6}}};
  std::vector<uint8_t> stream = BuildEntryStream(kTexts, kDate, entries);
  // Where a stream may end: after the StreamHeader and after each entry.
  std::vector<size_t> ends = {StreamHeaderSize(kTexts)};
  for (const EntryStreamEntry& e : entries) ends.push_back(ends.back() + EntryHeaderSize(e.name) + e.data.size());
  ASSERT_EQ(stream.size(), ends.back());
  for (size_t length = 0; length <= stream.size(); ++length) {
    Recorder accept;
    accept.dir = TestTempDir();
    auto p = Parse(std::vector<uint8_t>(stream.begin(), stream.begin() + length), {length / 2}, accept);
    bool boundary = std::find(ends.begin(), ends.end(), length) != ends.end();
    EXPECT_EQ(boundary, p->whole) << "stream cut to " << length;
    EXPECT_EQ(PLATFORM_INVALID_FILE, p->state.outputFile) << "stream cut to " << length;
    if (length < ends[0]) {
      EXPECT_STREQ("", p->state.productCode) << "stream cut to " << length;
    }
    if (length > ends[0] + 6 && length < ends[1]) {
      // Cut inside a's data: the file keeps what arrived, without the archive time.
      EXPECT_EQ(std::vector<uint8_t>(entries[0].data.begin(), entries[0].data.begin() + (length - ends[0] - 6)),
                TestReadFile(accept.dir + "/a"));
      EXPECT_NE(p->state.archiveTime, TestFileWriteTime(accept.dir + "/a"));
    }
  }
}
