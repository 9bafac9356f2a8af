#include "install/folder_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Build(const char16_t* version, std::vector<const char16_t*> names, uint32_t capacity = 4096) {
  std::vector<uint8_t> bytes(capacity);
  RecordBuilder builder;
  RecordBegin(&builder, bytes.data(), capacity, version);
  for (const char16_t* name : names) RecordAddName(&builder, name);
  bytes.resize(RecordFinish(&builder));
  return bytes;
}

// "version: name name ...", or "damaged".
std::string Read(const std::vector<uint8_t>& bytes) {
  RecordView view;
  if (RecordParse(bytes.data(), static_cast<uint32_t>(bytes.size()), &view) != kRecordOk) return "damaged";
  std::u16string text = view.version;
  text += u":";
  char16_t name[kPathUnits];
  for (uint32_t cursor = 0; RecordNextName(&view, &cursor, name, kPathUnits);) text += std::u16string(u" ") + name;
  return std::string(text.begin(), text.end());
}

}  // namespace

TEST(FolderRecord, NamesAreMergedOnceAndOnlyWholeRecordsRead) {
  std::vector<uint8_t> record =
      Build(u"1.3", {u"Tool.exe", u"New1.3.txt", u"TOOL.EXE", u"a\\b.txt", u"", u"c/d", u"Readme.txt"});
  EXPECT_EQ("1.3: Tool.exe New1.3.txt Readme.txt", Read(record));
  EXPECT_EQ("1.1  (x):", Read(Build(u"1.1\r\n(x)", {})));
  // Every cut and every changed byte is seen: nothing of such a record is used.
  for (size_t size = 0; size < record.size(); ++size) {
    EXPECT_EQ("damaged", Read(std::vector<uint8_t>(record.begin(), record.begin() + size))) << size;
  }
  for (size_t i = 0; i < record.size(); ++i) {
    std::vector<uint8_t> changed = record;
    changed[i] ^= 0x20;
    EXPECT_EQ("damaged", Read(changed)) << i;
  }
  EXPECT_TRUE(Build(u"1", {u"A-name-too-long-for-the-buffer.txt"}, 80).empty()) << "a record that lost a line";
}

TEST(FolderRecord, VersionsCompareAsDottedNumbers) {
  struct {
    const char16_t *a, *b;
    int expected;
  } cases[] = {{u"1.10", u"1.9", 1},  {u"1.9", u"1.10", -1}, {u"1.2", u"1.2.0", 0}, {u"1.2.1", u"1.2", 1},
               {u"2", u"1.99", 1},    {u"1.3 (beta build)", u"1.3", 0}, {u"1.3b", u"1.3", 0},
               {u"10.0", u"9.9.9", 1}, {u"1.", u"1", 0}, {u"", u"1.0", kVersionUnknown},
               {u"1.0", u"beta", kVersionUnknown}, {u"v2", u"1", kVersionUnknown},
               {u"99999999999999999999", u"1", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, CompareVersions(c.a, c.b)) << std::string(c.a, c.a + std::u16string(c.a).size()) << " vs "
                                                     << std::string(c.b, c.b + std::u16string(c.b).size());
  }
}
