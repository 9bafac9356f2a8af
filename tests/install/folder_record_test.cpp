#include "install/folder_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Build(const char16_t* version, std::vector<const char16_t*> names, uint32_t capacity = 4096) {
  std::vector<uint8_t> bytes(capacity);
  std::vector<uint32_t> index(kRecordIndexSlots);
  RecordBuilder builder;
  RecordBegin(&builder, bytes.data(), capacity, index.data(), version);
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
  // The stored form, which later versions must read: UTF-16LE lines and a CRC-32 in lower-case hex.
  const std::u16string text = u"\uFEFFsetupkit record 1\r\nversion\t1.3\r\nfile\tTool.exe\r\nend\tbaeb8bc8\r\n";
  std::vector<uint8_t> stored;
  for (char16_t c : text) stored.insert(stored.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  EXPECT_EQ(stored, Build(u"1.3", {u"Tool.exe"}));
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

  // Thousands of names, each added again in other letters: every one kept once.
  std::vector<std::u16string> names;
  for (int i = 0; i < 20000; ++i) names.push_back(u"file" + std::u16string(1, u'a' + i % 26) + u"." + [&] {
    std::u16string digits;
    for (int n = i; n > 0 || digits.empty(); n /= 10) digits.insert(digits.begin(), u'0' + n % 10);
    return digits;
  }());
  std::vector<const char16_t*> added;
  for (const auto& name : names) added.push_back(name.c_str());
  std::vector<std::u16string> upper = names;
  for (auto& name : upper) {
    for (auto& c : name) c = c >= u'a' && c <= u'z' ? c - 32 : c;
    added.push_back(name.c_str());
  }
  std::vector<uint8_t> many = Build(u"2", added, kRecordMax);
  RecordView view;
  ASSERT_EQ(kRecordOk, RecordParse(many.data(), static_cast<uint32_t>(many.size()), &view));
  char16_t name[kPathUnits];
  size_t count = 0;
  for (uint32_t cursor = 0; RecordNextName(&view, &cursor, name, kPathUnits);) EXPECT_EQ(names[count++], name);
  EXPECT_EQ(names.size(), count);
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
