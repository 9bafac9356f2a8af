#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "test_files.h"

namespace {

// Runs op on a 32-unit buffer holding start and filled behind it with a marker;
// returns the buffer's text and fails on any unit written at or past capacity.
template <typename Op>
std::u16string OnBuffer(const std::u16string& start, int capacity, Op op) {
  char16_t b[32];
  for (char16_t& u : b) u = u'#';
  start.copy(b, start.size());
  b[start.size()] = 0;
  op(b);
  for (int i = std::max<int>(capacity, start.size() + 1); i < 32; ++i)
    EXPECT_EQ(u'#', b[i]) << "unit " << i << " written, capacity " << capacity;
  return b;
}

}  // namespace

TEST(AppendWide, ResultAtEachCapacity) {
  const struct { int capacity, result; const char16_t* text; } cases[] = {
      {4, kAppendNoRoom, u"abc"}, {5, kAppendTruncated, u"abcd"}, {6, 0, u"abcde"},
      {0, 0, u"abc"},             {-1, 0, u"abc"},
  };
  for (const auto& c : cases) {
    int result = -1;
    auto append = [&](char16_t* b) { result = AppendWide(u"de", b, c.capacity); };
    EXPECT_EQ(c.text, OnBuffer(u"abc", c.capacity, append));
    EXPECT_EQ(c.result, result) << "capacity " << c.capacity;
  }
  // A full destination has no room even for nothing; an unterminated one counts as full.
  char16_t b[4] = {u'a', u'b', u'c', 0};
  EXPECT_EQ(kAppendNoRoom, AppendWide(u"", b, 4));
  EXPECT_EQ(0, AppendWide(u"", b, 5));
  b[3] = u'd';
  EXPECT_EQ(kAppendNoRoom, AppendWide(u"e", b, 4));
  EXPECT_EQ(0, AppendWide(nullptr, b, 4));

  char n[8] = "abc";
  EXPECT_EQ(kAppendTruncated, AppendNarrow("de", n, 5));
  EXPECT_STREQ("abcd", n);
  EXPECT_EQ(kAppendNoRoom, AppendNarrow("e", n, 5));
}

TEST(CopyWide, CutsAtCapacityAndEmptiesFirst) {
  EXPECT_EQ(u"abc", OnBuffer(u"old", 4, [](char16_t* b) { CopyWide(u"abcdef", b, 4); }));
  EXPECT_EQ(u"", OnBuffer(u"old", 1, [](char16_t* b) { CopyWide(u"abcdef", b, 1); }));
  EXPECT_EQ(u"", OnBuffer(u"old", 8, [](char16_t* b) { CopyWide(nullptr, b, 8); }));
  // Capacity 0 names a buffer without a single unit: nothing may be written, not even a terminator.
  EXPECT_EQ(u"old", OnBuffer(u"old", 0, [](char16_t* b) { CopyWide(u"x", b, 0); }));
  EXPECT_EQ(u"old", OnBuffer(u"old", 0, [](char16_t* b) { SetWide(u"x", b, 0); }));
  EXPECT_EQ(u"old", OnBuffer(u"old", 0, [](char16_t* b) { NarrowToWide("x", b, 0); }));
  char n[4] = "old";
  WideToNarrow(u"x", n, 0);
  EXPECT_STREQ("old", n);
}

TEST(SetWide, CutsAndMovesOwnTextToFront) {
  int result = -1;
  auto set = [&](const char16_t* start, int offset, int capacity) {
    return OnBuffer(start, capacity, [&](char16_t* b) {
      result = SetWide(offset < 0 ? u"0123456789" : b + offset, b, capacity);
    });
  };
  EXPECT_EQ(u"0123456", set(u"old", -1, 8));
  EXPECT_EQ(kAppendTruncated, result);
  EXPECT_EQ(u"Product 1.0", set(u"Name: Product 1.0", 6, 32));
  EXPECT_EQ(0, result);
  EXPECT_EQ(u"Product", set(u"Name: Product 1.0", 6, 8));
  EXPECT_EQ(kAppendTruncated, result);
}

TEST(AppendNarrowToWide, ConvertsBehindTextWithinCapacity) {
  EXPECT_EQ(u"abcd", OnBuffer(u"ab", 5, [](char16_t* b) { AppendNarrowToWide("cdef", b, 5); }));
  EXPECT_EQ(u"abcd", OnBuffer(u"abcd", 5, [](char16_t* b) { AppendNarrowToWide("x", b, 5); }));
  EXPECT_EQ(u"abcd", OnBuffer(u"ab", 10, [](char16_t* b) { AppendNarrowToWide("cd", b, 10); }));
}

TEST(PathText, SeparatorsAndComponents) {
  auto ensure = [](const char16_t* path, int capacity) {
    return OnBuffer(path, capacity, [&](char16_t* b) { EnsureTrailingSeparator(b, capacity); });
  };
  EXPECT_EQ(u"", ensure(u"", 10));
  EXPECT_EQ(u"C:\\", ensure(u"C:", 10));
  EXPECT_EQ(u"C:\\dir/", ensure(u"C:\\dir/", 10));
  EXPECT_EQ(u"C:\\dir", ensure(u"C:\\dir", 7));

  const struct {
    const char16_t *path, *component;
    int capacity, result;
    const char16_t* joined;
  } cases[] = {
      {u"C:\\dir", u"\\sub", 32, 0, u"C:\\dir\\sub"},
      {u"C:/dir/", u"/sub", 32, 0, u"C:/dir/sub"},
      {u"", u"sub", 32, 0, u"sub"},
      {u"C:\\dir", u"", 32, 0, u"C:\\dir"},
      {u"C:\\dir", u"file.txt", 10, kAppendTruncated, u"C:\\dir\\fi"},
      // The separator takes the last free unit and leaves none for the component.
      {u"C:\\dir", u"file.txt", 8, kAppendNoRoom, u"C:\\dir\\"},
  };
  for (const auto& c : cases) {
    int result = -1;
    EXPECT_EQ(c.joined, OnBuffer(c.path, c.capacity, [&](char16_t* b) {
                result = AppendPathComponent(c.component, b, c.capacity);
              }));
    EXPECT_EQ(c.result, result) << "capacity " << c.capacity;
  }
}

TEST(PathText, FileNamePartAndTrim) {
  const struct { const char16_t *path, *stripped; } cases[] = {
      {u"C:\\dir\\file.exe", u"C:\\dir"}, {u"C:\\file.exe", u"C:\\"}, {u"C:\\", u"C:\\"},
      {u"file.exe", u""},                  {u"C:/dir/x", u"C:/dir"},  {u"\\file", u""},
      {u"ab\\c", u"ab"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.stripped, OnBuffer(c.path, 32, [](char16_t* b) { StripFileName(b); }))
        << "path " << testing::PrintToString(std::u16string(c.path));
  }

  EXPECT_EQ(4, FileNameOffset(u"a\\b/c.txt"));
  EXPECT_EQ(0, FileNameOffset(u"c.txt"));
  EXPECT_EQ(4, FileNameOffset(u"dir\\"));

  EXPECT_EQ(u"ab\t", OnBuffer(u"ab\t  ", 32, [](char16_t* b) { TrimTrailingSpaces(b); }));
  EXPECT_EQ(u"", OnBuffer(u"   ", 32, [](char16_t* b) { TrimTrailingSpaces(b); }));
}

TEST(FindText, FirstCaseSensitiveMatch) {
  const char16_t* text = u"Version: 1.0 version 2";
  EXPECT_EQ(text + 13, FindText(text, u"version"));
  EXPECT_EQ(nullptr, FindText(text, u"2 "));
  EXPECT_EQ(nullptr, FindText(u"", u"a"));
  EXPECT_EQ(text, FindText(text, u""));
}

TEST(PathExists, FilesAndFoldersExistMissingPathsDoNot) {
  std::string dir = TestTempDir();
  TestWriteFile(dir + "/present.txt", {1, 2, 3});
  EXPECT_EQ(0, PathExists(TestWidePath(dir).c_str()));
  EXPECT_EQ(0, PathExists(TestWidePath(dir + "/present.txt").c_str()));
  EXPECT_EQ(-1, PathExists(TestWidePath(dir + "/missing.txt").c_str()));
  EXPECT_EQ(-1, PathExists(TestWidePath(dir + "/missing/deeper").c_str()));
}
